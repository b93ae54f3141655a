#include "fit/summed_score_fit.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "fit/chi_square.h"
#include "fit/compute_fit.h"
#include "fit_test_data.h"
#include "irt/item_curve.h"
#include "irt/summed_scores.h"

namespace tarvo::fit {
namespace {

// The expected proportion straight from its definition: the other items'
// score likelihoods by the recursion from scratch, item by item.
std::vector<double> ExpectedByDefinition(const std::vector<double>& a, const std::vector<double>& b,
                                         const std::vector<double>& c, const mml::Quadrature& grid,
                                         std::size_t item) {
    const std::size_t items = a.size(), points = grid.theta.size();
    std::vector<double> correct;
    for (std::size_t i = 0; i < items; ++i) {
        if (i == item) continue;
        for (std::size_t q = 0; q < points; ++q)
            correct.push_back(CurveAt(grid.theta[q], a[i], b[i], c[i]).p);
    }
    std::vector<double> rest(items * points);
    SummedScoreLikelihoods(correct, points, rest);
    std::vector<double> out(items);
    for (std::size_t r = 0; r < items; ++r) {
        double mass = 0, right = 0;
        for (std::size_t q = 0; q < points; ++q) {
            const double w = grid.weight[q] * rest[r * points + q];
            mass += w;
            right += w * CurveAt(grid.theta[q], a[item], b[item], c[item]).p;
        }
        out[r] = right / mass;
    }
    return out;
}

TEST(RestScoreExpected, HalvingEqualsTheRecursionWithoutEachItem) {
    // Item counts that halve evenly, unevenly and not at all.
    const mml::Quadrature grid = mml::NormalQuadrature(21, 5);
    for (const std::size_t items : {1u, 2u, 3u, 5u, 8u, 13u}) {
        std::vector<double> a, b, c;
        for (std::size_t i = 0; i < items; ++i) {
            a.push_back(0.5 + 0.13 * i);
            b.push_back(-1.5 + 0.31 * i);
            c.push_back(i % 3 == 0 ? 0.0 : 0.2);
        }
        std::vector<double> out(items * items);
        ExpectedProportionsByRestScore(a, b, c, {grid.theta, grid.weight}, out);
        for (std::size_t i = 0; i < items; ++i) {
            const std::vector<double> expected = ExpectedByDefinition(a, b, c, grid, i);
            for (std::size_t r = 0; r < items; ++r) {
                EXPECT_NEAR(out[i * items + r], expected[r], 1e-13)
                    << items << " items, item " << i << " rest " << r;
            }
        }
    }
}

TEST(TotalScoreCounts, RestScoreTablesFromCompleteExamineesOnly) {
    // Three items; the third examinee has a missing response.
    const std::vector<std::uint8_t> codes{1, 0, 1,  //
                                          1, 1, 1,  //
                                          0, 9, 1,  //
                                          0, 0, 1,  //
                                          1, 0, 0};
    const TotalScoreCounts counts = CountTotalScores(codes, 3);
    EXPECT_EQ(counts.complete, 4u);
    EXPECT_EQ(counts.leftOut, 1u);
    std::vector<double> examinees(3), correct(3);
    // Item 0: rest scores 1 (right), 2 (right), 1 (wrong), 0 (right).
    counts.RestScoreTable(0, examinees, correct);
    EXPECT_EQ(examinees, (std::vector<double>{1, 2, 1}));
    EXPECT_EQ(correct, (std::vector<double>{1, 1, 1}));
    // Item 2: rest scores 1 (right), 2 (right), 0 (right), 1 (wrong).
    counts.RestScoreTable(2, examinees, correct);
    EXPECT_EQ(examinees, (std::vector<double>{1, 2, 1}));
    EXPECT_EQ(correct, (std::vector<double>{1, 1, 1}));
}

// A table from per-group examinees, correct answers and expected proportions.
Sx2Outcome Outcome(std::vector<double> n, std::vector<double> o, std::vector<double> e,
                   int estimated) {
    Sx2Scratch scratch;
    return Sx2FromTable({n, o, e}, estimated, scratch);
}

// Pearson's term of one cell.
double Term(double o, double e) { return (o - e) * (o - e) / e; }

TEST(Sx2Table, SmallCellsJoinTheirNearestSmallCellOrTheSmallestOfTheTable) {
    // Expected incorrect counts 3.8, 9.1, 14, 8, 5, 0.6 and correct 0.2,
    // 0.9, 6, 12, 15, 18.4. The smallest, group 0's correct (0.2), has group
    // 1's correct (0.9, below 1) at distance 1 and joins it (1.1). Then
    // group 5's incorrect (0.6) finds nothing below 1 at any distance and
    // joins the smallest cell of the table, group 1's correct (1.7).
    const std::vector<double> n{4, 10, 20, 20, 20, 19};
    const std::vector<double> o{1, 1, 5, 13, 16, 18};
    const std::vector<double> e{0.05, 0.09, 0.3, 0.6, 0.75, 18.4 / 19};
    const Sx2Outcome out = Outcome(n, o, e, 2);
    ASSERT_EQ(out.gap, Sx2Gap::None);
    EXPECT_EQ(out.groups, 6);
    EXPECT_EQ(out.joinedCells, 2);
    EXPECT_EQ(out.df, 6 - 2 - 2);
    // By hand over the cells left; group 1's correct holds 1 + 1 + 1
    // observed (its own, group 0's correct, group 5's incorrect) against 1.7.
    const double expected = Term(3, 3.8) + Term(9, 9.1) + Term(3, 1.7) + Term(15, 14) + Term(5, 6) +
                            Term(7, 8) + Term(13, 12) + Term(4, 5) + Term(16, 15) + Term(18, 18.4);
    EXPECT_NEAR(out.statistic, expected, 1e-12);
    EXPECT_NEAR(out.p, ChiSquareUpperTail(expected, 2), 1e-15);
}

TEST(Sx2Table, EmptyGroupsAreLeftOutAndASmallCellJoinsItsGroupsOther) {
    // Group 1 has no examinees; group 3's one examinee expects 0.4 incorrect
    // and 0.6 correct: the 0.4 joins the 0.6 beside it, which is 1 then.
    const std::vector<double> n{10, 0, 10, 1, 30, 10};
    const std::vector<double> o{3, 0, 5, 1, 20, 8};
    const std::vector<double> e{0.3, 0.4, 0.5, 0.6, 0.6, 0.8};
    const Sx2Outcome out = Outcome(n, o, e, 1);
    ASSERT_EQ(out.gap, Sx2Gap::None);
    EXPECT_EQ(out.groups, 5);
    EXPECT_EQ(out.joinedCells, 1);
    EXPECT_EQ(out.df, 3);
    // Only group 4 differs from its expectation: 10 and 20 against 12 and 18.
    EXPECT_NEAR(out.statistic, Term(10, 12) + Term(20, 18), 1e-12);
}

TEST(Sx2Table, UndefinedWithoutExamineesOrDegreesOfFreedom) {
    EXPECT_EQ(Outcome({0, 0}, {0, 0}, {0.3, 0.6}, 1).gap, Sx2Gap::NoCompleteExaminees);
    // Every cell below 1: four of the six join away, leaving nothing for a
    // 1-parameter item.
    const Sx2Outcome joined = Outcome({1, 1, 1}, {0, 1, 1}, {0.2, 0.5, 0.8}, 1);
    EXPECT_EQ(joined.gap, Sx2Gap::NoDegreesOfFreedom);
    EXPECT_EQ(joined.groups, 3);
    EXPECT_EQ(joined.joinedCells, 4);
    EXPECT_TRUE(std::isnan(joined.statistic));
    EXPECT_TRUE(std::isnan(joined.p));
    // A held item (no estimated parameter) keeps every group as a df.
    EXPECT_EQ(Outcome({20, 20}, {10, 12}, {0.5, 0.55}, 0).df, 2);
}

TEST(SummedScoreFit, SingleItemsAndDataWithoutCompleteExamineesSayWhy) {
    const mml::Quadrature grid = mml::NormalQuadrature(61, 6);
    const std::vector<double> one{1.0};
    const std::vector<int> estimated1{3};
    const std::vector<std::uint8_t> codes1{1, 0, 1};
    auto out = SummedScoreFit(one, one, one, estimated1, {grid.theta, grid.weight},
                              CountTotalScores(codes1, 1));
    EXPECT_EQ(out[0].gap, Sx2Gap::NoOtherItems);

    const std::vector<double> two{1.0, 1.0}, zero{0.0, 0.0};
    const std::vector<int> estimated2{1, 1};
    const std::vector<std::uint8_t> codes2{1, 9, 9, 0};
    out = SummedScoreFit(two, zero, zero, estimated2, {grid.theta, grid.weight},
                         CountTotalScores(codes2, 2));
    EXPECT_EQ(out[1].gap, Sx2Gap::NoCompleteExaminees);
}

// The generalized S-X2 of items of any number of categories.

ScoredItem Graded(double a, std::vector<double> b) {
    ScoredItem item;
    item.scoring = ItemScoring::Graded;
    item.categories = static_cast<int>(b.size()) + 1;
    item.a = a;
    std::copy(b.begin(), b.end(), item.b.begin());
    return item;
}

ScoredItem RightWrong(double a, double b, double c) {
    ScoredItem item;
    item.a = a;
    item.b[0] = b;
    item.c = c;
    return item;
}

TEST(CategorySummedScoreFit, TwoCategoriesAreTheRightWrongSx2) {
    const FitData data = Sim1000x20();
    std::vector<ScoredItem> items;
    for (std::size_t i = 0; i < data.Items(); ++i) {
        items.push_back(RightWrong(data.a[i], data.b[i], data.c[i]));
    }
    const AbilityGrid grid{data.gridTheta, data.gridWeight};
    const std::vector<Sx2Outcome> rightWrong =
        SummedScoreFit(data.a, data.b, data.c, data.estimated, grid,
                       CountTotalScores(data.responses, data.Items()));
    CategoryFitCounts counts;
    const std::vector<Sx2Outcome> general =
        CategorySummedScoreFit(items, data.estimated, grid, data.responses, counts);
    EXPECT_EQ(counts.complete, 1000u);
    ASSERT_EQ(general.size(), rightWrong.size());
    for (std::size_t i = 0; i < general.size(); ++i) {
        ASSERT_EQ(general[i].gap, Sx2Gap::None) << i;
        EXPECT_EQ(general[i].groups, rightWrong[i].groups) << i;
        EXPECT_EQ(general[i].df, rightWrong[i].df) << i;
        EXPECT_NEAR(general[i].statistic, rightWrong[i].statistic, 1e-12 * rightWrong[i].statistic)
            << i;
        EXPECT_NEAR(general[i].p, rightWrong[i].p, 1e-12) << i;
    }
}

// P(X = k) of a three-category GRM item, written out.
std::array<double, 3> GradedByHand(double theta, double a, double b1, double b2) {
    const double atLeast1 = 1 / (1 + std::exp(-1.7 * a * (theta - b1)));
    const double atLeast2 = 1 / (1 + std::exp(-1.7 * a * (theta - b2)));
    return {1 - atLeast1, atLeast1 - atLeast2, atLeast2};
}

TEST(CategorySummedScoreFit, TinyTestByHand) {
    // Two GRM items scored 0..2 and a right/wrong item.
    const std::vector<ScoredItem> items{Graded(1.2, {-0.5, 0.7}), Graded(0.8, {-1.0, 0.4}),
                                        RightWrong(1.0, 0.2, 0.0)};
    const mml::Quadrature grid = mml::NormalQuadrature(15, 4);
    const RestScoreCategories expected =
        ExpectedCategoriesByRestScore(items, {grid.theta, grid.weight});
    ASSERT_EQ(expected.categories, (std::vector<std::size_t>{3, 3, 2}));
    // Item 0's rest score, items 1 and 2, runs 0 .. 3: every pair of their
    // answers, summed over the grid.
    ASSERT_EQ(expected.RestScores(0), 4u);
    std::array<std::array<double, 3>, 4> mass{};
    std::array<double, 4> all{};
    for (std::size_t q = 0; q < grid.theta.size(); ++q) {
        const double t = grid.theta[q];
        const std::array<double, 3> own = GradedByHand(t, 1.2, -0.5, 0.7);
        const std::array<double, 3> other = GradedByHand(t, 0.8, -1.0, 0.4);
        const double right = 1 / (1 + std::exp(-1.7 * (t - 0.2)));
        for (int x1 = 0; x1 < 3; ++x1) {
            for (int x2 = 0; x2 < 2; ++x2) {
                const double w = grid.weight[q] * other[x1] * (x2 == 1 ? right : 1 - right);
                all[x1 + x2] += w;
                for (int k = 0; k < 3; ++k) mass[x1 + x2][k] += w * own[k];
            }
        }
    }
    for (std::size_t r = 0; r < 4; ++r) {
        double total = 0;
        for (std::size_t k = 0; k < 3; ++k) {
            const double e = expected.values[expected.offset[0] + r * 3 + k];
            EXPECT_NEAR(e, mass[r][k] / all[r], 1e-14) << "rest " << r << " category " << k;
            total += e;
        }
        // The expected counts of a group add up to its examinees.
        EXPECT_NEAR(total, 1, 1e-14) << r;
    }
    // The right/wrong item's rest score runs 0 .. 4.
    EXPECT_EQ(expected.RestScores(2), 5u);

    // A table without joins: X2 over all cells, df = groups x 2 - 3.
    const std::vector<double> n{40, 50, 30};
    const std::vector<double> o{20, 15, 5, 10, 25, 15, 3, 9, 18};
    const std::vector<double> e{0.5, 0.3, 0.2, 0.25, 0.5, 0.25, 0.1, 0.3, 0.6};
    Sx2Scratch scratch;
    const Sx2Outcome out = Sx2FromCategoryTable({3, n, o, e}, 3, scratch);
    double x2 = 0;
    for (std::size_t cell = 0; cell < o.size(); ++cell) {
        const double expectedCount = n[cell / 3] * e[cell];
        x2 += (o[cell] - expectedCount) * (o[cell] - expectedCount) / expectedCount;
    }
    ASSERT_EQ(out.gap, Sx2Gap::None);
    EXPECT_EQ(out.groups, 3);
    EXPECT_EQ(out.df, 3);
    EXPECT_NEAR(out.statistic, x2, 1e-12);
    // Category 2 of the lowest group expects 0.8 and nothing within reach is
    // below 1: it joins the smallest cell of the table, the highest group's
    // category 0 (3 + 0.8 expected, 3 + 5 observed), which costs one df.
    const std::vector<double> small{0.5, 0.48, 0.02, 0.25, 0.5, 0.25, 0.1, 0.3, 0.6};
    const Sx2Outcome joined = Sx2FromCategoryTable({3, n, o, small}, 3, scratch);
    ASSERT_EQ(joined.gap, Sx2Gap::None);
    EXPECT_EQ(joined.groups, 3);
    EXPECT_EQ(joined.joinedCells, 1);
    EXPECT_EQ(joined.df, 2);
    const double byHand = Term(20, 20) + Term(15, 19.2) + Term(10, 12.5) + Term(25, 25) +
                          Term(15, 12.5) + Term(8, 3.8) + Term(9, 9) + Term(18, 18);
    EXPECT_NEAR(joined.statistic, byHand, 1e-12);
}

// Scores of a GRM item drawn for the ability; a negative slope scores
// the item the other way round.
std::uint8_t DrawGraded(const ScoredItem& item, double theta, double u) {
    std::array<double, kMostCategories> p{};
    CategoryProbabilitiesAt(item, theta, p.data());
    std::uint8_t k = 0;
    for (double below = p[0]; k + 1 < item.categories && u >= below; below += p[++k]) {
    }
    return k;
}

TEST(CategorySummedScoreFit, GradedItemsFitAndAReversedItemIsFlagged) {
    std::vector<ScoredItem> items;
    for (int i = 0; i < 6; ++i) {
        items.push_back(Graded(0.7 + 0.15 * i, {-1.2 + 0.1 * i, -0.1 * i, 1.0 + 0.1 * i}));
    }
    // Item 5 answers as if its slope had the other sign.
    ScoredItem reversed = items[5];
    reversed.a = -reversed.a;
    std::swap(reversed.b[0], reversed.b[2]);
    std::mt19937 random(22);
    std::normal_distribution<double> ability;
    std::uniform_real_distribution<double> uniform;
    const std::size_t persons = 1500;
    std::vector<std::uint8_t> codes;
    for (std::size_t j = 0; j < persons; ++j) {
        const double theta = ability(random);
        for (std::size_t i = 0; i < items.size(); ++i) {
            codes.push_back(DrawGraded(i == 5 ? reversed : items[i], theta, uniform(random)));
        }
    }
    // The generating items, held: every group left is a degree of freedom.
    const std::vector<int> held(items.size(), 0);
    const mml::Quadrature grid = mml::NormalQuadrature(41, 5);
    CategoryFitInputs in;
    in.items = items;
    in.estimatedParameters = held;
    in.responses = codes;
    in.grid = {grid.theta, grid.weight};
    const FitResults fit = ComputeCategoryFit(in);
    EXPECT_TRUE(fit.itemsBySx2Only);
    EXPECT_EQ(fit.sx2Examinees, persons);
    EXPECT_TRUE(fit.items[5].misfit);
    EXPECT_LT(fit.items[5].pAdjusted, 1e-6);
    // The other items misfit only through the reversed one in their rest
    // score; without it they fit, X2 near its df on average.
    std::vector<ScoredItem> fitting(items.begin(), items.begin() + 5);
    std::vector<std::uint8_t> fittingCodes;
    for (std::size_t j = 0; j < persons; ++j) {
        fittingCodes.insert(fittingCodes.end(), codes.begin() + j * 6, codes.begin() + j * 6 + 5);
    }
    in.items = fitting;
    in.estimatedParameters = std::span<const int>(held).first(5);
    in.responses = fittingCodes;
    const FitResults good = ComputeCategoryFit(in);
    double x2 = 0, df = 0;
    for (const ItemFit& item : good.items) {
        EXPECT_FALSE(item.misfit);
        x2 += item.sx2;
        df += item.df;
    }
    EXPECT_GT(x2 / df, 0.7);
    EXPECT_LT(x2 / df, 1.4);
}

}  // namespace
}  // namespace tarvo::fit
