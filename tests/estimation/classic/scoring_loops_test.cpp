// The shared rules of the scoring loops: the precision of the step, the bound
// tests of every parameter in their NaN-deciding direction, the blind step of
// c, the tolerances, the pass limit and the stop rule of CalibrateItem's
// cycle.
#include "estimation/classic/scoring_loops.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

namespace tarvo {
namespace {

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

// The rules of each parameter's loop as literal values, so that a change of
// any constant under test fails here: the limits and what lies beyond them
// (0.999 and 0.0001 held in single precision), and the change below which
// the loop ends (0.00001, 0.001 and 0.0001 held in single precision).
struct RuleCase {
    const char* name;
    bool (*step)(double& x, double score, double info, int pass);
    double upperLimit, aboveUpper, lowerLimit, belowLower, tolerance;
    bool stepsBlind;
};

const RuleCase kRules[] = {
    {"theta", &scoring::ScoringStep<scoring::kThetaRule, double>, 3, 3, -3, -3,
     9.999999747378752e-06, false},
    {"a", &scoring::ScoringStep<scoring::kItemARule, double>, 2, 2, 0, 9.999999747378752e-05,
     0.0010000000474974513, false},
    {"b", &scoring::ScoringStep<scoring::kItemBRule, double>, 5, 5, -5, -5, 9.999999747378752e-05,
     false},
    {"c", &scoring::ScoringStep<scoring::kItemCRule, double>, 1, 0.9990000128746033, 0,
     9.999999747378752e-05, 9.999999747378752e-05, true},
};

TEST(ScoringStepTest, BoundTestsDecideWhereNaNAndInfinitiesEnd) {
    for (const RuleCase& r : kRules) {
        SCOPED_TRACE(r.name);
        const double start = (r.upperLimit + r.lowerLimit) / 2;
        struct Case {
            double start, score;
            double expected;
            bool done;
        };
        const double up = std::nextafter(r.upperLimit, kInf) - r.upperLimit;
        const double down = std::nextafter(r.lowerLimit, -kInf) - r.lowerLimit;
        const Case cases[] = {
            // A bound ends the loop at once, whatever the change.
            {start, kNaN, r.aboveUpper, true},
            {start, kInf, r.aboveUpper, true},
            {start, -kInf, r.belowLower, true},
            // Landing exactly on a limit passes both tests.
            {start, r.upperLimit - start, r.upperLimit, false},
            {start, r.lowerLimit - start, r.lowerLimit, false},
            // The next double beyond a limit is sent to the bound's value.
            {r.upperLimit, up, r.aboveUpper, true},
            {r.lowerLimit, down, r.belowLower, true},
        };
        for (const Case& c : cases) {
            double x = c.start;
            EXPECT_EQ(r.step(x, c.score, 1, 1), c.done) << c.start << " + " << c.score;
            EXPECT_EQ(x, c.expected) << c.start << " + " << c.score;
        }
    }
}

TEST(ScoringStepTest, WithoutInformationOnlyCStepsBlind) {
    for (const RuleCase& r : kRules) {
        SCOPED_TRACE(r.name);
        double x = 0.5;
        const bool done = r.step(x, 0, 0, 1);
        if (r.stepsBlind) {
            EXPECT_EQ(x, 0.5 + 0.009999999776482582);  // 0.01 in single precision
            EXPECT_FALSE(done);
        } else {
            EXPECT_EQ(x, r.aboveUpper);  // 0/0 is caught by the upper test
            EXPECT_TRUE(done);
        }
    }
}

TEST(ScoringStepTest, StopsOnAChangeBelowTheToleranceOrAfterPass201) {
    for (const RuleCase& r : kRules) {
        SCOPED_TRACE(r.name);
        // From 0 the change is the step itself, exactly: a change of the
        // tolerance goes on, the next double below it ends the loop.
        double x = 0;
        EXPECT_FALSE(r.step(x, r.tolerance, 1, 1));
        x = 0;
        EXPECT_TRUE(r.step(x, std::nextafter(r.tolerance, 0.0), 1, 1));
        x = 0;
        EXPECT_FALSE(r.step(x, r.tolerance, 1, 200));
        x = 0;
        EXPECT_TRUE(r.step(x, r.tolerance, 1, 201));
    }
}

// CalibrateItem's cycle with scripted loops: each loop moves its parameter
// by the step given for the cycle (none beyond the script's end).
struct ScriptedCycle {
    std::vector<double> bSteps, aSteps, cSteps;
    int mode = 3;
};

int CyclesRun(const ScriptedCycle& script, ItemParameters& p) {
    int cycles = 0;
    auto stepOf = [&](const std::vector<double>& steps) {
        return cycles - 1 < static_cast<int>(steps.size()) ? steps[cycles - 1] : 0.0;
    };
    ItemStandardErrors se{-1, -1, -1};
    scoring::CycleItemLoops(
        se, p, script.mode,
        [&](double&, ItemParameters& q) {
            ++cycles;
            q.b += stepOf(script.bSteps);
        },
        [&](double&, ItemParameters& q) { q.a += stepOf(script.aSteps); },
        [&](double&, ItemParameters& q) { q.c += stepOf(script.cSteps); });
    return cycles;
}

TEST(CycleItemLoopsTest, ACycleInWhichAnyParameterMovedIsFollowedByAnother) {
    // 0.0001 in single precision ends the cycles only when every change of
    // the cycle is below it.
    const double tolerance = 9.999999747378752e-05;
    const double below = std::nextafter(tolerance, 0.0);
    struct Case {
        const char* name;
        ScriptedCycle script;
        int cycles;
    };
    const Case cases[] = {
        {"nothing moves", {{}, {}, {}}, 1},
        {"only b moves in cycle 2", {{0.5, 0.5}, {}, {}}, 3},
        {"only a moves in cycle 2", {{0.5}, {0, 0.5}, {}}, 3},
        {"only c moves in cycle 2", {{0.5}, {}, {0, 0.5}}, 3},
        {"c moves by the tolerance", {{}, {}, {tolerance}}, 2},
        {"c moves by less", {{}, {}, {below}}, 1},
        {"a moves by the tolerance", {{}, {tolerance}, {}}, 2},
        {"b moves by the tolerance", {{tolerance}, {}, {}}, 2},
        {"c keeps moving: 200 cycles", {{}, {}, std::vector<double>(300, 0.5)}, 200},
        // Modes without c never run its loop, so a scripted c step is not taken.
        {"mode 4 has no c loop", {{}, {}, {0.5}, 4}, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ItemParameters p{0, 0, 0};
        EXPECT_EQ(CyclesRun(c.script, p), c.cycles);
    }
}

}  // namespace
}  // namespace tarvo
