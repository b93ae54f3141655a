// The score table, the test curves and the true-score equating of the
// reference forms' new form carried over by Stocking-Lord's constants,
// against every response pattern summed (see reference_forms.h).
#include "linking/tables/score_table.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <vector>

#include "irt/item_information.h"
#include "irt/summed_scores.h"
#include "linking/forms/transform.h"
#include "linking/methods/link_methods.h"
#include "linking/reference_forms.h"
#include "linking/tables/scored_items.h"
#include "linking/tables/test_curves.h"
#include "linking/tables/true_score_equating.h"

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

// A small mixed test: three right/wrong items, a graded item scored 0..3
// and a partial credit item scored 0..2 (raw scores 0..8).
std::vector<ScoredItem> MixedTest() {
    std::vector<ScoredItem> items(5);
    const double rightWrong[3][3] = {{1.2, -0.5, 0.2}, {0.8, 0.3, 0.15}, {1.5, 1.0, 0}};
    for (int i = 0; i < 3; ++i) {
        items[i].a = rightWrong[i][0];
        items[i].b[0] = rightWrong[i][1];
        items[i].c = rightWrong[i][2];
    }
    items[3].scoring = ItemScoring::Graded;
    items[3].categories = 4;
    items[3].a = 1.1;
    items[3].b = {-1, 0.2, 1.3};
    items[4].scoring = ItemScoring::PartialCredit;
    items[4].categories = 3;
    items[4].a = 0.7;
    items[4].b = {-0.4, 0.9};
    return items;
}

// Each category's probability written out from the models' definitions.
std::vector<double> CategoriesByDefinition(const ScoredItem& item, double t) {
    auto logistic = [](double z) { return 1 / (1 + std::exp(-z)); };
    const double slope = 1.7 * item.a;
    const int m = item.categories - 1;
    std::vector<double> p(item.categories);
    if (item.scoring == ItemScoring::RightWrong) {
        p[1] = item.c + (1 - item.c) * logistic(slope * (t - item.b[0]));
        p[0] = 1 - p[1];
    } else if (item.scoring == ItemScoring::Graded) {
        for (int k = 0; k <= m; ++k) {
            const double atLeast = k == 0 ? 1 : logistic(slope * (t - item.b[k - 1]));
            const double above = k == m ? 0 : logistic(slope * (t - item.b[k]));
            p[k] = atLeast - above;
        }
    } else {
        double sum = 0, logit = 0;
        for (int k = 0; k <= m; ++k) {
            if (k > 0) logit += slope * (t - item.b[k - 1]);
            p[k] = std::exp(logit);
            sum += p[k];
        }
        for (double& share : p) share /= sum;
    }
    return p;
}

// P(raw score = s | t) over every response pattern.
std::vector<double> EveryPatternSummed(const std::vector<ScoredItem>& items, double t) {
    std::vector<std::vector<double>> p;
    int highest = 0;
    for (const ScoredItem& item : items) {
        p.push_back(CategoriesByDefinition(item, t));
        highest += item.categories - 1;
    }
    std::vector<double> likelihood(highest + 1, 0.0);
    std::vector<int> pattern(items.size(), 0);
    while (true) {
        double product = 1;
        int score = 0;
        for (std::size_t i = 0; i < items.size(); ++i) {
            product *= p[i][pattern[i]];
            score += pattern[i];
        }
        likelihood[score] += product;
        std::size_t i = 0;
        while (i < items.size() && ++pattern[i] == items[i].categories) pattern[i++] = 0;
        if (i == items.size()) break;
    }
    return likelihood;
}

// A maximum by golden sections: the way the table's ML abilities were
// once found, kept here as the independent check of the faster search.
double GoldenMaximum(const std::function<double(double)>& f, double low, double high) {
    const double ratio = (std::sqrt(5.0) - 1) / 2;
    while (high - low > 1e-10) {
        const double x1 = high - ratio * (high - low), x2 = low + ratio * (high - low);
        if (f(x1) < f(x2)) {
            low = x1;
        } else {
            high = x2;
        }
    }
    return (low + high) / 2;
}

// The ML ability of every score by the grid of -10..10 in steps of 0.05 and
// golden sections around its best point; NaN where the best point is an end
// of the grid or no higher than the likelihood at either end of the scale.
std::vector<double> IndependentMlAbilities(const std::function<std::vector<double>(double)>& of) {
    std::vector<std::vector<double>> grid;
    for (int k = 0; k <= 400; ++k) grid.push_back(of(-10 + 0.05 * k));
    const std::vector<double> low = of(-200), high = of(200);
    std::vector<double> ml(low.size(), NAN);
    for (std::size_t s = 0; s < ml.size(); ++s) {
        int best = 0;
        for (int k = 1; k <= 400; ++k) best = grid[k][s] > grid[best][s] ? k : best;
        if (best == 0 || best == 400 || !(grid[best][s] > low[s]) || !(grid[best][s] > high[s])) {
            continue;
        }
        ml[s] = GoldenMaximum([&](double t) { return of(t)[s]; }, -10 + 0.05 * (best - 1),
                              -10 + 0.05 * (best + 1));
    }
    return ml;
}

TEST(SummedScoreTable, OfAMixedTestAgreesWithEveryPatternSummed) {
    // Also with the graded item turned round (a < 0): as theta grows it
    // falls to 0 while the others rise to their tops, so the likelihood of
    // 8 - 3 = 5 is highest where theta goes to infinity.
    for (const bool turned : {false, true}) {
        std::vector<ScoredItem> items = MixedTest();
        if (turned) {
            items[3].a = -1.1;
            items[3].b = {1.3, 0.2, -1};
        }
        const AbilityGrid population = NormalGrid(31, 5, 0.2, 1.1);
        const std::vector<ScoreRow> table = SummedScoreTable(items, population);
        ASSERT_EQ(table.size(), 9u);
        const auto patterns = [&](double t) { return EveryPatternSummed(items, t); };
        const std::vector<double> ml = IndependentMlAbilities(patterns);
        std::size_t withMl = 0;
        for (std::size_t s = 0; s < 9; ++s) {
            double mass = 0, first = 0, second = 0;
            for (std::size_t q = 0; q < population.size(); ++q) {
                const double w = population.weight[q] * patterns(population.theta[q])[s];
                mass += w;
                first += w * population.theta[q];
                second += w * population.theta[q] * population.theta[q];
            }
            EXPECT_NEAR(table[s].proportion, mass, 1e-13) << s;
            EXPECT_NEAR(table[s].eap, first / mass, 1e-11) << s;
            EXPECT_NEAR(table[s].eapSd, std::sqrt(second / mass - std::pow(first / mass, 2)), 1e-9)
                << s;
            EXPECT_EQ(std::isnan(table[s].ml), std::isnan(ml[s])) << s << ": " << table[s].ml;
            if (!std::isnan(ml[s])) {
                EXPECT_NEAR(table[s].ml, ml[s], 1e-7) << s;
                ++withMl;
            }
        }
        if (turned) {
            EXPECT_TRUE(std::isnan(table[5].ml));
        } else {
            // Every score but 0 and the top has one: the c's sum to 0.35.
            EXPECT_EQ(withMl, 7u);
        }
    }
}

TEST(SummedScoreTable, FindsTheMlAbilitiesOfSteepItemsAsCloselyAsAFullSearch) {
    // Slopes up to 4.7: each likelihood is narrow and far from a parabola
    // over the search grid's steps.
    ItemForm form;
    form.Resize(40);
    for (std::size_t i = 0; i < 40; ++i) {
        form.a[i] = 1.5 + 0.08 * static_cast<double>(i % 11) * 4;
        form.b[i] = -2.5 + 0.125 * static_cast<double>(i);
        form.c[i] = 0.05 * static_cast<double>(i % 4);
    }
    const auto recursion = [&](double t) {
        std::vector<double> correct(40), out(41);
        for (std::size_t i = 0; i < 40; ++i) {
            correct[i] = CurveAt(t, form.a[i], form.b[i], form.c[i]).p;
        }
        SummedScoreLikelihoods(correct, 1, out);
        return out;
    };
    const std::vector<double> ml = IndependentMlAbilities(recursion);
    const std::vector<ScoreRow> table = SummedScoreTable(form, NormalGrid(61, 6));
    ASSERT_EQ(table.size(), 41u);
    for (std::size_t s = 0; s <= 40; ++s) {
        EXPECT_EQ(std::isnan(table[s].ml), std::isnan(ml[s])) << s;
        if (!std::isnan(ml[s])) {
            EXPECT_NEAR(table[s].ml, ml[s], 1e-7) << s;
        }
    }
}

TEST(ScoredItems, CategoryCurvesAreTheModelsAndTheirSlopes) {
    for (const ScoredItem& item : MixedTest()) {
        for (const double t : {-2.3, 0.1, 1.7}) {
            CategoryCurves curves;
            CategoryCurvesAt(item, t, curves);
            const std::vector<double> p = CategoriesByDefinition(item, t);
            const std::vector<double> up = CategoriesByDefinition(item, t + 1e-6);
            const std::vector<double> down = CategoriesByDefinition(item, t - 1e-6);
            double expected = 0, information = 0;
            for (int k = 0; k < item.categories; ++k) {
                EXPECT_NEAR(curves.p[k], p[k], 1e-14);
                const double slope = (up[k] - down[k]) / 2e-6;
                EXPECT_NEAR(curves.first[k], slope, 1e-8);
                expected += k * p[k];
                information += slope * slope / p[k];
            }
            EXPECT_NEAR(ExpectedItemScore(item, t), expected, 1e-14);
            EXPECT_NEAR(ScoredItemInformation(item, t), information, 1e-7);
        }
    }
    // The test curves sum the items'.
    const TestCurves curves = MakeTestCurves(MixedTest(), {0.4});
    double expected = 0;
    for (const ScoredItem& item : MixedTest()) expected += ExpectedItemScore(item, 0.4);
    EXPECT_NEAR(curves.expected[0], expected, 1e-14);
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

// Five steep 2PL items (a = 3): the likelihood of the top score is 1 in
// double precision from theta near 7 on and still rises towards it, and
// that of score 0 falls from the left; neither has a finite maximum, so
// neither has an ML ability (the cell is empty, not 7.272470).
TEST(SummedScoreTable, ZeroAndTheTopScoreOfSteepItemsHaveNoMlAbility) {
    ItemForm form;
    form.Resize(5);
    form.a = {3, 3, 3, 3, 3};
    form.b = {0, 0, 0, 0, 0};
    form.c = {0, 0, 0, 0, 0};
    const std::vector<ScoreRow> table = SummedScoreTable(form, NormalGrid(41, 4, 0, 1));
    ASSERT_EQ(table.size(), 6u);
    EXPECT_TRUE(std::isnan(table[0].ml)) << table[0].ml;
    EXPECT_TRUE(std::isnan(table[5].ml)) << table[5].ml;
    for (int s = 1; s < 5; ++s) EXPECT_TRUE(std::isfinite(table[s].ml)) << s;
}

// Score 0 of a form without c's is equated by the line to 0, at no theta
// (not the theta of -512 a search would stop at).
TEST(TrueScoreEquating, ScoreZeroWithoutGuessingHasNoTheta) {
    ItemForm form = test::ReferenceBase();
    form.c.assign(form.size(), 0);
    const Equating equating = TrueScoreEquating(form, form);
    ASSERT_TRUE(equating.rows) << equating.error;
    const EquatingRow& zero = equating.rows->front();
    EXPECT_TRUE(std::isnan(zero.theta)) << zero.theta;
    EXPECT_EQ(zero.baseScore, 0);
    EXPECT_NEAR((*equating.rows)[1].baseScore, 1, 1e-9);
}

}  // namespace
}  // namespace tarvo::linking
