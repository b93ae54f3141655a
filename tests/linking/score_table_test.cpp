// The score table, the test curves and the true-score equating of the
// reference forms' new form carried over by Stocking-Lord's constants,
// against every response pattern summed (see reference_forms.h).
#include "linking/score_table.h"

#include <gtest/gtest.h>

#include <cmath>

#include "irt/item_information.h"
#include "linking/link_methods.h"
#include "linking/reference_forms.h"
#include "linking/test_curves.h"
#include "linking/transform.h"
#include "linking/true_score_equating.h"

namespace tarvo::linking {
namespace {

ItemForm MovedNewForm() {
    const LinkConstants k =
        Link(LinkMethod::StockingLord, test::ReferenceAnchors(), LinkSettings{});
    return TransformItems(test::ReferenceNew(), k.A, k.B);
}

TEST(TransformItems, CarriesTheNewItemsToTheBaseScale) {
    // Printed by the reference script.
    const double a[] = {0.8495348981, 1.1650764316, 1.0315780905, 1.4260050075,
                        0.6250149607, 1.1236110378, 0.8920116430, 1.3673466455};
    const double b[] = {-1.3970131108, -0.8353881545, -0.1471998277, 0.0386901226,
                        0.3630087593,  0.9641847689,  1.2647727736,  1.9687815217};
    const ItemForm moved = MovedNewForm();
    const ItemForm fresh = test::ReferenceNew();
    for (std::size_t i = 0; i < 8; ++i) {
        EXPECT_NEAR(moved.a[i], a[i], 1e-6);
        EXPECT_NEAR(moved.b[i], b[i], 1e-6);
        EXPECT_EQ(moved.c[i], fresh.c[i]);
        EXPECT_NEAR(moved.seA[i] * fresh.a[i], fresh.seA[i] * moved.a[i], 1e-15);
    }
}

TEST(SummedScoreTable, AgreesWithEveryPatternSummed) {
    struct Row {
        double proportion, eap, sd, ml;
    };
    // score 0 .. 8; NaN: no ML ability.
    const Row expected[] = {
        {0.0137240291, -1.5925187264, 0.6223762908, NAN},
        {0.0550531837, -1.2891933782, 0.6389104634, NAN},
        {0.1138486719, -0.9436028882, 0.6453767648, -1.58959970},
        {0.1645220143, -0.5643866027, 0.6403996325, -0.69816781},
        {0.1913956511, -0.1519888114, 0.6305581027, -0.08358806},
        {0.1878215058, 0.2735110282, 0.6169270040, 0.49689016},
        {0.1487738380, 0.7029023503, 0.6129499262, 1.12441732},
        {0.0894861103, 1.1666723257, 0.6284006498, 1.85453181},
        {0.0353749959, 1.7485860701, 0.6826043731, NAN},
    };
    const std::vector<ScoreRow> table = SummedScoreTable(MovedNewForm(), NormalGrid(61, 6));
    ASSERT_EQ(table.size(), 9u);
    double total = 0;
    for (std::size_t s = 0; s < 9; ++s) {
        EXPECT_EQ(table[s].score, static_cast<int>(s));
        EXPECT_NEAR(table[s].proportion, expected[s].proportion, 1e-6) << s;
        EXPECT_NEAR(table[s].eap, expected[s].eap, 1e-6) << s;
        EXPECT_NEAR(table[s].eapSd, expected[s].sd, 1e-6) << s;
        if (std::isnan(expected[s].ml)) {
            EXPECT_TRUE(std::isnan(table[s].ml)) << s << ": " << table[s].ml;
        } else {
            EXPECT_NEAR(table[s].ml, expected[s].ml, 1e-6) << s;
        }
        total += table[s].proportion;
    }
    EXPECT_NEAR(total, 1, 1e-12);
}

TEST(SummedScoreTable, TwoPlItemsHaveAnMlAbilityForEveryInnerScore) {
    ItemForm form = test::ReferenceBase();
    ApplyModel(form, FormModel::TwoPL);
    const std::vector<ScoreRow> table = SummedScoreTable(form, NormalGrid(61, 6, 0.5, 1.2));
    EXPECT_TRUE(std::isnan(table.front().ml));
    EXPECT_TRUE(std::isnan(table.back().ml));
    for (std::size_t s = 1; s + 1 < table.size(); ++s) {
        ASSERT_FALSE(std::isnan(table[s].ml)) << s;
        if (s > 1) {
            EXPECT_GT(table[s].ml, table[s - 1].ml);
        }
        EXPECT_GT(table[s].eap, table[s - 1].eap);
    }
}

TEST(TestCurves, AreTheSumsOfTheItemCurves) {
    const ItemForm form = test::ReferenceBase();
    const TestCurves curves = MakeTestCurves(form, {-2, 0, 1.5});
    for (std::size_t q = 0; q < 3; ++q) {
        double expected = 0, information = 0;
        for (std::size_t i = 0; i < form.size(); ++i) {
            const double t = curves.theta[q];
            const double p =
                form.c[i] + (1 - form.c[i]) / (1 + std::exp(-1.7 * form.a[i] * (t - form.b[i])));
            expected += p;
            const double lifted = (p - form.c[i]) / (1 - form.c[i]);
            information += std::pow(1.7 * form.a[i] * lifted, 2) * (1 - p) / p;
        }
        EXPECT_NEAR(curves.expected[q], expected, 1e-12);
        EXPECT_NEAR(curves.information[q], information, 1e-12);
        EXPECT_NEAR(curves.se[q], 1 / std::sqrt(information), 1e-12);
    }
    // Far below b the information keeps its digits.
    EXPECT_GT(ItemInformation(-30, 1, 0, 0.2), 0);
}

TEST(TrueScoreEquating, AgreesWithTheCurvesSolvedIndependently) {
    // NaN: equated by the straight line below the sum of the c's.
    const double theta[] = {NAN,          NAN,          -1.7077978211, -0.7652957576, -0.1350024015,
                            0.4484121011, 1.0993887344, 1.8711366879,  INFINITY};
    const double base[] = {0,
                           0.9712230216,
                           1.9968192906,
                           2.9890808460,
                           4.0051594461,
                           5.0129470106,
                           5.9956404185,
                           6.9694540088,
                           8};
    const Equating equating = TrueScoreEquating(MovedNewForm(), test::ReferenceBase());
    ASSERT_TRUE(equating.rows) << equating.error;
    ASSERT_EQ(equating.rows->size(), 9u);
    for (std::size_t s = 0; s < 9; ++s) {
        const EquatingRow& row = (*equating.rows)[s];
        EXPECT_EQ(row.newScore, static_cast<int>(s));
        if (std::isfinite(theta[s])) {
            EXPECT_NEAR(row.theta, theta[s], 1e-8) << s;
        } else {
            EXPECT_EQ(std::isnan(row.theta), std::isnan(theta[s])) << s;
        }
        EXPECT_NEAR(row.baseScore, base[s], 1e-8) << s;
    }
}

TEST(TrueScoreEquating, RefusesItemsWhoseCurveDoesNotRise) {
    ItemForm form = test::ReferenceBase();
    form.a[2] = 0;
    const Equating equating = TrueScoreEquating(form, test::ReferenceBase());
    EXPECT_FALSE(equating.rows);
    EXPECT_NE(equating.error.find("a above 0"), std::string::npos);
}

}  // namespace
}  // namespace tarvo::linking
