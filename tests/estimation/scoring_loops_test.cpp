// The shared step of the scoring loops: the precision of the step, the bound
// tests of every parameter in their NaN-deciding direction, the blind step of
// c and the pass limit.
#include "estimation/scoring_loops.h"

#include <gtest/gtest.h>

#include <limits>

namespace tarvo {
namespace {

using scoring::LoopRule;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

TEST(ScoringStepTest, StepIsTakenInThePrecisionOfTheSums) {
    // 0.1 + 1/5 rounds once from extended precision to the double nearest
    // 0.3, but twice in double arithmetic, one unit above it.
    double extended = 0.1;
    scoring::ScoringStep<scoring::kItemBRule>(extended, 1.0L, 5.0L, 1);
    EXPECT_EQ(extended, 0.3);

    double plain = 0.1;
    scoring::ScoringStep<scoring::kItemBRule>(plain, 1.0, 5.0, 1);
    EXPECT_EQ(plain, 0.1 + 0.2);
    EXPECT_NE(plain, 0.3);
}

struct RuleCase {
    const char* name;
    const LoopRule& rule;
    bool (*step)(double& x, double score, double info, int pass);
};

const RuleCase kRules[] = {
    {"theta", scoring::kThetaRule, &scoring::ScoringStep<scoring::kThetaRule, double>},
    {"a", scoring::kItemARule, &scoring::ScoringStep<scoring::kItemARule, double>},
    {"b", scoring::kItemBRule, &scoring::ScoringStep<scoring::kItemBRule, double>},
    {"c", scoring::kItemCRule, &scoring::ScoringStep<scoring::kItemCRule, double>},
};

TEST(ScoringStepTest, BoundTestsDecideWhereNaNAndInfinitiesEnd) {
    for (const RuleCase& r : kRules) {
        SCOPED_TRACE(r.name);
        const double start = (r.rule.upperLimit + r.rule.lowerLimit) / 2;
        struct Case {
            double score;
            double expected;
            bool done;
        };
        const Case cases[] = {
            // A bound ends the loop at once, whatever the change.
            {kNaN, r.rule.aboveUpper, true},
            {kInf, r.rule.aboveUpper, true},
            {-kInf, r.rule.belowLower, true},
            // Landing exactly on a limit passes both tests.
            {r.rule.upperLimit - start, r.rule.upperLimit, false},
            {r.rule.lowerLimit - start, r.rule.lowerLimit, false},
        };
        for (const Case& c : cases) {
            double x = start;
            EXPECT_EQ(r.step(x, c.score, 1, 1), c.done);
            EXPECT_EQ(x, c.expected);
        }
    }
}

TEST(ScoringStepTest, WithoutInformationOnlyCStepsBlind) {
    for (const RuleCase& r : kRules) {
        SCOPED_TRACE(r.name);
        double x = 0.5;
        const bool done = r.step(x, 0, 0, 1);
        if (r.rule.blindStep != 0) {
            EXPECT_EQ(x, 0.5 + static_cast<double>(0.01f));
            EXPECT_FALSE(done);
        } else {
            EXPECT_EQ(x, r.rule.aboveUpper);  // 0/0 is caught by the upper test
            EXPECT_TRUE(done);
        }
    }
}

TEST(ScoringStepTest, StopsOnTheToleranceOrAfterPass201) {
    for (const RuleCase& r : kRules) {
        SCOPED_TRACE(r.name);
        const double moving = 2 * r.rule.tolerance;
        const double settled = r.rule.tolerance / 2;
        double x = 0.5;
        EXPECT_FALSE(r.step(x, moving, 1, 200));
        EXPECT_TRUE(r.step(x, moving, 1, 201));
        EXPECT_TRUE(r.step(x, settled, 1, 1));
    }
}

}  // namespace
}  // namespace tarvo
