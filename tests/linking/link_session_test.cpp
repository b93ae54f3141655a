// A whole link as the front ends run it: its progress and its stop, the
// delta-method errors of many common items, and 4PL forms read from a
// polytomous run's result file.
#include "linking/link_session.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "linking/methods/curve_criteria.h"
#include "linking/methods/curve_sensitivity.h"
#include "linking/reference_forms.h"
#include "support/temp_dir.h"

namespace tarvo::linking {
namespace {

using test_support::TempDir;

// A form's items in the columns of the bundled samples.
std::string ItemLines(const ItemForm& form) {
    std::string text;
    for (std::size_t i = 0; i < form.size(); ++i) {
        char line[120];
        std::snprintf(line, sizeof line, "%-8s             %9.5f %9.5f %9.5f\r\n",
                      form.id[i].c_str(), form.a[i], form.b[i], form.c[i]);
        text += line;
    }
    return text;
}

// A 4PL run's item section: model, categories, a, b1, c, u and their errors.
std::string FourPLResult(const ItemForm& form, const std::string& otherModel = "") {
    std::string text = "SeqItem,AccNo,Model,Categories,a,b1,c,u,seea,seeb1,seec,seeu\r\n";
    for (std::size_t i = 0; i < form.size(); ++i) {
        const std::string model = i == 2 && !otherModel.empty() ? otherModel : "4pl";
        char line[200];
        std::snprintf(line, sizeof line,
                      "%4zu,%s,%s,   2,%9.6f,%9.6f,%9.6f,%9.6f,  0.100,  0.120,  0.030,  0.020\r\n",
                      i + 1, form.id[i].c_str(), model.c_str(), form.a[i], form.b[i], form.c[i],
                      form.u[i]);
        text += line;
    }
    return text;
}

struct Heard {
    std::vector<LinkPhase> phases;
    std::vector<double> fractions;
};

class LinkSessionTest : public ::testing::Test {
  protected:
    LinkSessionTest() {
        request.basePath = dir.Write("base.itm", ItemLines(test::ReferenceBase()));
        request.newPath = dir.Write("new.itm", ItemLines(test::ReferenceNew()));
        request.progress = [this](LinkPhase phase, double fraction) {
            heard.phases.push_back(phase);
            heard.fractions.push_back(fraction);
        };
    }

    bool Heard(LinkPhase phase) const {
        for (const LinkPhase p : heard.phases) {
            if (p == phase) return true;
        }
        return false;
    }

    TempDir dir;
    LinkRequest request;
    struct Heard heard;
};

TEST_F(LinkSessionTest, ProgressGoesFromNothingToAllWithoutGoingBack) {
    for (const int bootstrap : {0, 20}) {
        heard = {};
        request.bootstrap = bootstrap;
        request.dropDrifting = bootstrap > 0;
        const LinkOutcome outcome = RunLink(request);
        ASSERT_TRUE(outcome.error.empty()) << outcome.error;
        EXPECT_FALSE(outcome.stopped);
        ASSERT_FALSE(heard.fractions.empty());
        EXPECT_EQ(heard.fractions.front(), 0);
        EXPECT_EQ(heard.fractions.back(), 1);
        for (std::size_t k = 1; k < heard.fractions.size(); ++k) {
            EXPECT_GE(heard.fractions[k], heard.fractions[k - 1]) << "report " << k;
        }
        EXPECT_EQ(heard.phases.front(), LinkPhase::Reading);
        EXPECT_EQ(heard.phases.back(), LinkPhase::Tables);
        for (const LinkPhase phase : {LinkPhase::Methods, LinkPhase::Drift}) {
            EXPECT_TRUE(Heard(phase)) << LinkPhaseName(phase);
        }
        EXPECT_EQ(Heard(LinkPhase::Errors), bootstrap == 0);
        EXPECT_EQ(Heard(LinkPhase::Bootstrap), bootstrap > 0);
    }
}

// A stop asked at any point ends the link there, stopped, with nothing
// after it: never constants without their errors, nor a form carried over.
TEST_F(LinkSessionTest, AStopEndsTheLinkAsStoppedWhereverItIsAsked) {
    for (const double at : {0.0, 0.1, 0.3, 0.5, 0.7, 0.8, 0.95}) {
        bool asked = false;
        request.progress = [&](LinkPhase, double fraction) { asked = asked || fraction >= at; };
        request.stop = [&] { return asked; };
        const LinkOutcome outcome = RunLink(request);
        EXPECT_TRUE(outcome.stopped) << at;
        EXPECT_NE(outcome.error.find("the link was stopped"), std::string::npos) << outcome.error;
        EXPECT_TRUE(outcome.scoreTable.empty()) << at;
        for (const MethodResult& result : outcome.first) {
            // A method stopped half way has no constants at all.
            EXPECT_TRUE(result.constants.ok || result.constants.problem == kStoppedProblem)
                << result.constants.problem;
        }
    }
}

// The criteria's gradient moves with one item's parameters by that item's
// own change alone: the sensitivity formed item by item is the whole
// gradient's central difference, for both criteria, both ways and items
// with an upper asymptote.
TEST(GradientSensitivity, IsTheWholeGradientsChangeWithEachParameter) {
    AnchorSet set = test::ReferenceAnchors();
    for (std::size_t k = 0; k < set.size(); k += 3) set.uNew[k] = set.uBase[k] = 0.9;
    const AbilityGrid grid = NormalGrid(21, 4);
    const double A = 1.15, B = 0.25;
    std::vector<double>* columns[kPairParameters] = {&set.aBase, &set.bBase, &set.cBase, &set.uBase,
                                                     &set.aNew,  &set.bNew,  &set.cNew,  &set.uNew};
    for (const LinkMethod method : {LinkMethod::Haebara, LinkMethod::StockingLord}) {
        for (const bool symmetric : {false, true}) {
            Sensitivity fast;
            ASSERT_TRUE(GradientSensitivity(method, set, grid, symmetric, A, B, fast));
            for (std::size_t k = 0; k < set.size(); ++k) {
                for (std::size_t u = 0; u < kPairParameters; ++u) {
                    double& parameter = (*columns[u])[k];
                    const double original = parameter, h = 1e-5;
                    double up[2], down[2];
                    parameter = original + h;
                    CurveCriterion(method, set, grid, symmetric, A, B, up);
                    parameter = original - h;
                    CurveCriterion(method, set, grid, symmetric, A, B, down);
                    parameter = original;
                    const std::size_t at = kPairParameters * k + u;
                    EXPECT_NEAR(fast.dA[at], (up[0] - down[0]) / (2 * h), 1e-6) << k << " " << u;
                    EXPECT_NEAR(fast.dB[at], (up[1] - down[1]) / (2 * h), 1e-6) << k << " " << u;
                }
            }
        }
    }
}

// 20,000 common items once cost the delta method 240,000 evaluations of the
// whole criterion; item by item they finish well within the test's time.
TEST(GradientSensitivity, TwentyThousandCommonItemsGetTheirErrors) {
    const AnchorSet reference = test::ReferenceAnchors();
    std::vector<std::size_t> picks(20000);
    for (std::size_t k = 0; k < picks.size(); ++k) picks[k] = k % reference.size();
    AnchorSet set;
    PickAnchors(reference, picks, set);
    for (std::size_t k = 0; k < set.size(); ++k) set.bNew[k] += 0.01 * static_cast<double>(k % 7);
    for (const LinkMethod method : {LinkMethod::Haebara, LinkMethod::StockingLord}) {
        double lastReported = -1;
        int reports = 0;
        const StepWatch watch(
            [&](double fraction) {
                EXPECT_GE(fraction, lastReported);
                lastReported = fraction;
                ++reports;
            },
            {});
        const LinkConstants k = Link(method, set, LinkSettings{}, watch);
        ASSERT_TRUE(k.ok) << k.problem;
        // Each error shrinks with the square root of the items' number.
        EXPECT_GT(k.seA, 0);
        EXPECT_LT(k.seA, 0.01);
        EXPECT_LT(k.seB, 0.01);
        EXPECT_GT(reports, 20);  // blocks of items while the errors are formed
        EXPECT_EQ(lastReported, 1);
    }
}

// A form linked to a copy of itself carried by known constants: the 4PL's
// upper asymptotes move with neither, so every method finds them again.
TEST(FourPLForms, ARunsResultFileLinksToItsTransformedCopy) {
    TempDir dir;
    ItemForm base = test::ReferenceBase();
    const double uppers[] = {0.9, 0.85, 0.9, 0.8, 0.85, 0.95, 0.8, 0.9};
    for (std::size_t k = 0; k < base.size(); ++k) base.u[k] = uppers[k];
    const double A = 1.3, B = -0.4;
    ItemForm fresh = base;
    for (std::size_t k = 0; k < base.size(); ++k) {
        fresh.a[k] = A * base.a[k];
        fresh.b[k] = (base.b[k] - B) / A;
    }
    LinkRequest request;
    request.basePath = dir.Write("base.csv", FourPLResult(base));
    request.newPath = dir.Write("new.csv", FourPLResult(fresh));
    const LinkOutcome outcome = RunLink(request);
    ASSERT_TRUE(outcome.error.empty()) << outcome.error;
    EXPECT_EQ(outcome.base.model, FormModel::FourPL);
    EXPECT_DOUBLE_EQ(outcome.fresh.u[3], 0.8);
    EXPECT_DOUBLE_EQ(outcome.fresh.seU[3], 0.02);
    for (const MethodResult& result : outcome.first) {
        // Six decimals as printed: the constants to about 1e-5.
        EXPECT_NEAR(result.constants.A, A, 2e-5) << LinkMethodName(result.method);
        EXPECT_NEAR(result.constants.B, B, 2e-5) << LinkMethodName(result.method);
        EXPECT_TRUE(std::isfinite(result.constants.seA)) << LinkMethodName(result.method);
    }
    // The tables use the upper asymptotes: the top true scores are beyond
    // every curve, and the new form carried over is the base form.
    ASSERT_TRUE(outcome.equating.rows) << outcome.equating.error;
    const std::vector<EquatingRow>& rows = *outcome.equating.rows;
    EXPECT_TRUE(std::isnan(rows[7].theta));  // 7 is above the sum of the u's, 6.95
    EXPECT_NEAR(rows[7].baseScore, 7, 1e-4);
    EXPECT_NEAR(rows[5].baseScore, 5, 1e-4);
    const double highest = outcome.newCurves.expected.back();
    EXPECT_LT(highest, 6.95);
    EXPECT_NEAR(highest, outcome.baseCurves.expected.back(), 1e-4);
}

TEST(FourPLForms, AnItemThatIsNotRightOrWrongIsRefusedByItsFileAndItem) {
    TempDir dir;
    ItemForm base = test::ReferenceBase();
    for (const std::string model : {"grm", "nominal"}) {
        LinkRequest request;
        request.basePath = dir.Write("base.csv", FourPLResult(base, model));
        request.newPath = dir.Write("new.csv", FourPLResult(base));
        const LinkOutcome outcome = RunLink(request);
        EXPECT_EQ(outcome.error, request.basePath + ", item 3 (ITEM03): a " + model +
                                     " item; a link takes right/wrong items (1PL to 4PL) only");
    }
    // An upper asymptote at or below c is no curve.
    base.u[4] = 0.1;
    const std::string path = dir.Write("low.csv", FourPLResult(base));
    const FormRead read = ReadLinkForm(path, ItemColumns{}, std::nullopt);
    EXPECT_FALSE(read.form);
    EXPECT_EQ(read.error,
              path + ", item 5 (ITEM05): the u must be above c and at most 1, not '0.1'");
}

}  // namespace
}  // namespace tarvo::linking
