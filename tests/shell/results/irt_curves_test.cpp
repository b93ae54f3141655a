// The plots' curves: response function, information, standard error,
// observed proportions of ability groups and the ability histogram.
#include "shell/results/irt_curves.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numeric>

namespace tarvo::results {
namespace {

TEST(IrtCurves, TheCharacteristicCurveIsHalfwayAtB) {
    const ItemParameters items[] = {{1.2, -0.5, 0.2}, {0.4, 2.3, 0}, {2.0, -4.9, 0.35}, {1, 0, 0}};
    for (const ItemParameters& item : items) {
        const Curve curve = CharacteristicCurve(item, ThetaGrid(-4, 4, 160, {item.b}));
        const auto at = std::find(curve.theta.begin(), curve.theta.end(), item.b);
        if (item.b < -4) {
            EXPECT_EQ(at, curve.theta.end());  // outside the plotted range
            continue;
        }
        ASSERT_NE(at, curve.theta.end()) << item.b;
        EXPECT_NEAR(curve.value[static_cast<std::size_t>(at - curve.theta.begin())],
                    item.c + (1 - item.c) / 2, 1e-15);
        // Increasing everywhere and within c..1.
        for (std::size_t i = 1; i < curve.value.size(); ++i) {
            EXPECT_GE(curve.value[i], curve.value[i - 1]);
            EXPECT_GE(curve.value[i], item.c);
            EXPECT_LE(curve.value[i], 1.0);
        }
    }
}

TEST(IrtCurves, ItemInformationMatchesTheFormula) {
    // 2PL: I = (1.7a)^2 P Q, largest at b.
    const ItemParameters twoPl{1.5, 0.3, 0};
    EXPECT_NEAR(ItemInformation(twoPl, 0.3), 1.7 * 1.7 * 1.5 * 1.5 * 0.25, 1e-12);
    // 3PL at a hand-computed point.
    const ItemParameters threePl{1.0, 0.0, 0.2};
    const double p = 0.2 + 0.8 / (1 + std::exp(-1.7));
    const double expected = 1.7 * 1.7 * ((1 - p) / p) * std::pow((p - 0.2) / 0.8, 2);
    EXPECT_NEAR(ItemInformation(threePl, 1.0), expected, 1e-12);
    EXPECT_GT(ItemInformation(threePl, 0.0), 0);
    EXPECT_EQ(ItemInformation({1, 0, 1}, 0), 0);  // c = 1 says nothing
}

TEST(IrtCurves, TestInformationIsTheSumAndTheErrorItsInverseRoot) {
    const std::vector<ItemParameters> items{{1.2, -1, 0.2}, {0.7, 0.5, 0.1}, {1.8, 1.2, 0}};
    const std::vector<double> grid = ThetaGrid(-4, 4, 80);
    const Curve test = TestInformationCurve(items, grid);
    const Curve error = StandardErrorCurve(test);
    ASSERT_EQ(test.theta, grid);
    ASSERT_EQ(error.theta, grid);
    for (std::size_t i = 0; i < grid.size(); ++i) {
        double sum = 0;
        for (const ItemParameters& item : items) sum += InformationCurve(item, grid).value[i];
        EXPECT_NEAR(test.value[i], sum, 1e-12 * sum);
        EXPECT_NEAR(error.value[i], 1 / std::sqrt(sum), 1e-12);
    }
    // No items: no information, so no error curve at all.
    EXPECT_TRUE(StandardErrorCurve(TestInformationCurve({}, grid)).theta.empty());
}

TEST(IrtCurves, TheBandSurroundsTheModelAtEachGroup) {
    const ItemParameters item{1, 0, 0.2};
    const std::vector<AbilityGroup> groups{{-1, 0.3, 100}, {0, 0.6, 25}, {4, 1, 4}, {-4, 0, 1}};
    const Band band = ExpectedBand(item, groups);
    ASSERT_EQ(band.theta.size(), 4u);
    for (std::size_t g = 0; g < 3; ++g) {
        const double p = ResponseProbability(item, groups[g].meanTheta);
        const double half = 1.96 * std::sqrt(p * (1 - p) / groups[g].count);
        EXPECT_NEAR(band.lower[g], std::max(0.0, p - half), 1e-15);
        EXPECT_NEAR(band.upper[g], std::min(1.0, p + half), 1e-15);
    }
    EXPECT_EQ(band.upper[2], 1.0);  // kept within 0..1
    EXPECT_EQ(band.lower[3], 0.0);  // at both ends
}

TEST(IrtCurves, TheHistogramCountsEveryFiniteThetaOnce) {
    std::vector<double> thetas;
    for (int i = 0; i < 10000; ++i) thetas.push_back(-3 + 6.0 * i / 9999);
    thetas.push_back(NAN);
    const Histogram histogram = AbilityHistogram(thetas);
    EXPECT_EQ(histogram.total, 10000u);
    EXPECT_EQ(histogram.counts.size(), 40u);  // capped
    EXPECT_EQ(std::accumulate(histogram.counts.begin(), histogram.counts.end(), std::size_t{0}),
              10000u);
    double area = 0;
    for (std::size_t bin = 0; bin < histogram.counts.size(); ++bin) {
        area += histogram.Density(bin) * histogram.width;
    }
    EXPECT_NEAR(area, 1, 1e-12);

    const Histogram same = AbilityHistogram({0.5, 0.5, 0.5});
    ASSERT_EQ(same.counts.size(), 1u);
    EXPECT_EQ(same.counts[0], 3u);
    EXPECT_EQ(AbilityHistogram({}).total, 0u);
    EXPECT_NEAR(StandardNormalDensity(0), 0.3989422804014327, 1e-15);
}

// A nominal item's curves are its options': one per option, summing to one,
// the reference option's exp(0) against the others' exp(a_k theta + c_k);
// its expected score is the chance of its key.
TEST(IrtCurves, ANominalItemHasOneCurvePerOptionAndScoresItsKey) {
    CategoryItem item;
    item.nominal = true;
    item.slopes = {0, -0.5, 1.5};
    item.intercepts = {0, 0.3, -0.2};
    item.keyed = 2;
    const std::vector<double> grid = ThetaGrid(-3, 3, 12);
    const std::vector<Curve> curves = CategoryCurves(item, grid);
    ASSERT_EQ(curves.size(), 3u);
    const Curve expected = ExpectedScoreCurve(item, grid);
    const Curve information = InformationCurve(item, grid);
    for (std::size_t i = 0; i < grid.size(); ++i) {
        EXPECT_NEAR(curves[0].value[i] + curves[1].value[i] + curves[2].value[i], 1, 1e-12);
        EXPECT_NEAR(curves[2].value[i] / curves[0].value[i], std::exp(1.5 * grid[i] - 0.2), 1e-9);
        EXPECT_DOUBLE_EQ(expected.value[i], curves[2].value[i]);
        EXPECT_GT(information.value[i], 0);
    }
    // No key: nothing is scored.
    item.keyed = -1;
    EXPECT_EQ(ExpectedScoreCurve(item, grid).value[3], 0);
}

}  // namespace
}  // namespace tarvo::results
