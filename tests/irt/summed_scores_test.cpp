#include "irt/summed_scores.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "irt/item_curve.h"

namespace tarvo {
namespace {

// The score distribution at one point by summing over every response
// pattern: what the recursion must equal.
std::vector<double> ByEveryPattern(const std::vector<int>& categories,
                                   const std::vector<std::vector<double>>& probabilities) {
    std::size_t highest = 0;
    for (const int m : categories) highest += static_cast<std::size_t>(m - 1);
    std::vector<double> distribution(highest + 1, 0.0);
    std::vector<int> pattern(categories.size(), 0);
    while (true) {
        double p = 1;
        std::size_t score = 0;
        for (std::size_t i = 0; i < categories.size(); ++i) {
            p *= probabilities[i][static_cast<std::size_t>(pattern[i])];
            score += static_cast<std::size_t>(pattern[i]);
        }
        distribution[score] += p;
        std::size_t i = 0;
        while (i < pattern.size() && ++pattern[i] == categories[i]) pattern[i++] = 0;
        if (i == pattern.size()) break;
    }
    return distribution;
}

TEST(SummedScores, RightWrongItemsMatchEveryPatternAtEveryPoint) {
    const std::vector<double> a{0.8, 1.4, 0.5, 2.0, 1.1, 0.9, 1.7};
    const std::vector<double> b{-1.5, 0.2, 1.0, -0.3, 2.2, 0.0, -2.4};
    const std::vector<double> c{0.2, 0.0, 0.25, 0.1, 0.0, 0.3, 0.15};
    const std::vector<double> grid{-4, -1.3, 0, 0.7, 3.9};
    const std::size_t items = a.size(), points = grid.size();
    std::vector<double> correct(items * points);
    for (std::size_t i = 0; i < items; ++i)
        for (std::size_t q = 0; q < points; ++q)
            correct[i * points + q] = CurveAt(grid[q], a[i], b[i], c[i]).p;

    std::vector<double> out((items + 1) * points);
    SummedScoreLikelihoods(correct, points, out);
    for (std::size_t q = 0; q < points; ++q) {
        std::vector<std::vector<double>> at(items);
        for (std::size_t i = 0; i < items; ++i) {
            at[i] = {1 - correct[i * points + q], correct[i * points + q]};
        }
        const std::vector<double> expected = ByEveryPattern(std::vector<int>(items, 2), at);
        double total = 0;
        for (std::size_t s = 0; s <= items; ++s) {
            EXPECT_NEAR(out[s * points + q], expected[s], 1e-15) << "score " << s << " point " << q;
            total += out[s * points + q];
        }
        EXPECT_NEAR(total, 1, 1e-14);
    }
}

TEST(SummedScores, MixedCategoryCountsMatchEveryPatternAndTheRightWrongForm) {
    // Items of 2, 4, 1 (a constant score), 3 and 2 categories.
    const std::vector<int> categories{2, 4, 1, 3, 2};
    const std::size_t points = 3;
    const std::vector<std::vector<std::vector<double>>> perPoint{
        {{0.3, 0.7}, {0.1, 0.2, 0.3, 0.4}, {1.0}, {0.5, 0.25, 0.25}, {0.9, 0.1}},
        {{0.6, 0.4}, {0.4, 0.3, 0.2, 0.1}, {1.0}, {0.2, 0.3, 0.5}, {0.5, 0.5}},
        {{0.01, 0.99}, {0.7, 0.1, 0.1, 0.1}, {1.0}, {0.0, 0.0, 1.0}, {0.35, 0.65}},
    };
    std::vector<double> probabilities;
    for (std::size_t i = 0; i < categories.size(); ++i)
        for (int k = 0; k < categories[i]; ++k)
            for (std::size_t q = 0; q < points; ++q)
                probabilities.push_back(perPoint[q][i][static_cast<std::size_t>(k)]);

    ASSERT_EQ(HighestSummedScore(categories), 7u);
    std::vector<double> out(8 * points);
    SummedScoreLikelihoods(categories, probabilities, points, out);
    for (std::size_t q = 0; q < points; ++q) {
        const std::vector<double> expected = ByEveryPattern(categories, perPoint[q]);
        for (std::size_t s = 0; s < expected.size(); ++s) {
            EXPECT_NEAR(out[s * points + q], expected[s], 1e-15) << "score " << s << " point " << q;
        }
    }

    // Right/wrong items given as two categories agree with their own form.
    const std::vector<double> correct{0.7, 0.4, 0.99, 0.1, 0.5, 0.65};
    const std::vector<double> twoRows{0.3, 0.6, 0.01, 0.7, 0.4, 0.99,
                                      0.9, 0.5, 0.35, 0.1, 0.5, 0.65};
    std::vector<double> general(3 * points), rightWrong(3 * points);
    SummedScoreLikelihoods(std::vector<int>{2, 2}, twoRows, points, general);
    SummedScoreLikelihoods(correct, points, rightWrong);
    for (std::size_t k = 0; k < general.size(); ++k) EXPECT_NEAR(general[k], rightWrong[k], 1e-16);
}

TEST(SummedScores, AddingItemsOneByOneInAnyOrderGivesTheWholeRecursion) {
    // The step adds an item onto a distribution built elsewhere and never
    // reads the row it creates: it is filled with garbage first.
    const std::vector<double> correct{0.7, 0.2, 0.45, 0.9, 0.05, 0.6, 0.33, 0.5, 0.99};
    const std::size_t points = 3;
    std::vector<double> whole(4 * points);
    SummedScoreLikelihoods(correct, points, whole);

    std::vector<double> rows(4 * points, 123.0);
    std::fill_n(rows.begin(), points, 1.0);
    for (std::size_t n = 0; n < 3; ++n) {
        const std::size_t item = 2 - n;  // the items in reverse order
        AddRightWrongItem(std::span<const double>(correct).subspan(item * points, points), n,
                          points, rows);
    }
    for (std::size_t k = 0; k < rows.size(); ++k) EXPECT_NEAR(rows[k], whole[k], 1e-16);
}

TEST(SummedScores, NoItemsLeaveScoreZeroCertain) {
    std::vector<double> out(4, -1);
    SummedScoreLikelihoods(std::span<const double>{}, 4, out);
    for (const double v : out) EXPECT_EQ(v, 1.0);
}

}  // namespace
}  // namespace tarvo
