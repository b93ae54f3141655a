#include "fit/summed_score_fit.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "fit/chi_square.h"
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

TEST(Sx2Table, TailsJoinInwardUntilEveryExpectedCountReachesOne) {
    // Expected correct counts 0.2, 0.9, 6, 12, 15, 18.4 and incorrect
    // 3.8, 9.1, 14, 8, 5, 0.6: the low tail joins groups 0 and 1 (1.1 and
    // 12.9), the high tail is large enough only with group 4 joined.
    const std::vector<double> n{4, 10, 20, 20, 20, 19};
    const std::vector<double> o{1, 1, 5, 13, 16, 18};
    const std::vector<double> e{0.05, 0.09, 0.3, 0.6, 0.75, 18.4 / 19};
    const Sx2Outcome out = Outcome(n, o, e, 2);
    ASSERT_EQ(out.gap, Sx2Gap::None);
    EXPECT_EQ(out.groups, 4);
    EXPECT_EQ(out.df, 2);
    // By hand over the groups {0,1}, {2}, {3}, {4,5}.
    auto cell = [](double o, double e, double n) {
        return (o - e) * (o - e) / e + (o - e) * (o - e) / (n - e);
    };
    const double expected =
        cell(2, 1.1, 14) + cell(5, 6, 20) + cell(13, 12, 20) + cell(34, 15 + 18.4, 39);
    EXPECT_NEAR(out.statistic, expected, 1e-12);
    EXPECT_NEAR(out.p, ChiSquareUpperTail(expected, 2), 1e-15);
}

TEST(Sx2Table, EmptyGroupsAreLeftOutAndASmallInnerGroupJoinsItsSmallerNeighbour) {
    // Group 1 has no examinees; group 3 (one examinee) is small inside and
    // joins group 2, whose smaller expected count is below group 4's.
    const std::vector<double> n{10, 0, 10, 1, 30, 10};
    const std::vector<double> o{3, 0, 5, 1, 20, 8};
    const std::vector<double> e{0.3, 0.4, 0.5, 0.6, 0.6, 0.8};
    const Sx2Outcome out = Outcome(n, o, e, 1);
    ASSERT_EQ(out.gap, Sx2Gap::None);
    EXPECT_EQ(out.groups, 4);
    EXPECT_EQ(out.df, 3);
}

TEST(Sx2Table, UndefinedWithoutExamineesOrDegreesOfFreedom) {
    EXPECT_EQ(Outcome({0, 0}, {0, 0}, {0.3, 0.6}, 1).gap, Sx2Gap::NoCompleteExaminees);
    // Everything joins into one group: nothing left for a 1-parameter item.
    const Sx2Outcome joined = Outcome({1, 1, 1}, {0, 1, 1}, {0.2, 0.5, 0.8}, 1);
    EXPECT_EQ(joined.gap, Sx2Gap::NoDegreesOfFreedom);
    EXPECT_EQ(joined.groups, 1);
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

}  // namespace
}  // namespace tarvo::fit
