// The nominal model's curves against their definition and its derivatives
// against difference quotients, at extreme values too; its start values'
// order.

#include "estimation/models/nominal_model.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <vector>

namespace tarvo::nominal {
namespace {

struct Case {
    double theta;
    std::vector<double> slopes;
    std::vector<double> intercepts;
};

std::vector<Case> Cases() {
    return {
        {0.3, {0.5}, {-0.2}},
        {-1.7, {1.2, -0.4, 2.5}, {0.3, -1.1, 0.8}},
        {2.4, {-0.7, 0.9, 1.6, -2.2, 0.1}, {1.4, 0.2, -0.6, 0.9, -1.8}},
        // Large exponents: no overflow, every probability finite.
        {5.5, {40, -30, 55}, {-100, 80, -200}},
    };
}

std::vector<double> ProbabilitiesOf(const Case& c, double theta) {
    std::vector<double> p(c.slopes.size() + 1);
    Probabilities(theta, c.slopes, c.intercepts, p);
    return p;
}

TEST(NominalCurves, FollowTheDefinitionAndSumToOne) {
    for (const Case& c : Cases()) {
        const std::vector<double> p = ProbabilitiesOf(c, c.theta);
        double sum = 0;
        for (const double value : p) {
            EXPECT_TRUE(std::isfinite(value));
            sum += value;
        }
        EXPECT_NEAR(sum, 1.0, 1e-14);
        // Odds of option k against the reference option.
        for (std::size_t k = 0; k < c.slopes.size(); ++k) {
            const double z = c.slopes[k] * c.theta + c.intercepts[k];
            if (std::abs(z) > 30 || p[0] == 0) continue;
            EXPECT_NEAR(std::log(p[k + 1] / p[0]), z, 1e-10);
        }
    }
}

TEST(NominalCurves, DerivativesMatchDifferenceQuotients) {
    for (const Case& c : Cases()) {
        const int m = static_cast<int>(c.slopes.size());
        const int free = FreeCount(m + 1);
        const std::vector<double> p = ProbabilitiesOf(c, c.theta);
        std::vector<double> derivatives((m + 1) * free);
        Derivatives(c.theta, p, derivatives);
        const double h = 1e-6;
        for (int u = 0; u < free; ++u) {
            Case up = c, down = c;
            std::vector<double>& upValues = u < m ? up.slopes : up.intercepts;
            std::vector<double>& downValues = u < m ? down.slopes : down.intercepts;
            upValues[u % m] += h;
            downValues[u % m] -= h;
            const std::vector<double> pu = ProbabilitiesOf(up, c.theta);
            const std::vector<double> pd = ProbabilitiesOf(down, c.theta);
            for (int k = 0; k <= m; ++k) {
                EXPECT_NEAR(derivatives[k * free + u], (pu[k] - pd[k]) / (2 * h), 1e-7)
                    << "theta " << c.theta << " option " << k << " parameter " << u;
            }
        }
        std::vector<double> byTheta(m + 1);
        ThetaDerivatives(c.slopes, p, byTheta);
        const std::vector<double> pu = ProbabilitiesOf(c, c.theta + h);
        const std::vector<double> pd = ProbabilitiesOf(c, c.theta - h);
        for (int k = 0; k <= m; ++k) {
            EXPECT_NEAR(byTheta[k], (pu[k] - pd[k]) / (2 * h), 1e-6) << "option " << k;
        }
    }
}

TEST(NominalCurves, KeyedDiscriminationIgnoresTheReference) {
    // Slopes (0, 1, 3, -1) relative to option 0, or the same shifted by 2:
    // the same curves, the same discrimination of the keyed option 2.
    const std::array<double, 3> slopes{1, 3, -1};
    EXPECT_DOUBLE_EQ(KeyedDiscrimination(slopes, 2), 3 - (0 + 1 - 1) / 3.0);
    EXPECT_DOUBLE_EQ(KeyedDiscrimination(slopes, 0), 0 - (1 + 3 - 1) / 3.0);
    EXPECT_EQ(KeyedDiscrimination(slopes, -1), 0);
}

TEST(NominalStart, KeyedOptionHighestThenByMeanRestScore) {
    // Option 1 is keyed though option 3's choosers have the higher rest
    // score; option 2 was never chosen.
    const std::array<OptionSummary, 4> options{{{50, 2.0}, {300, 6.0}, {0, 0.0}, {80, 7.5}}};
    std::array<double, 3> slopes{}, intercepts{};
    StartValues(options, 1, slopes, intercepts);
    // Relative to option 0, the order is 2 < 0 < 3 < 1.
    EXPECT_LT(slopes[1], 0.0);
    EXPECT_GT(slopes[2], 0.0);
    EXPECT_GT(slopes[0], slopes[2]);
    EXPECT_NEAR(intercepts[0], std::log(300.5 / 50.5), 1e-12);
    EXPECT_TRUE(std::isfinite(intercepts[1]));
    EXPECT_LT(intercepts[1], -4.0);
}

TEST(NominalStart, SummariesCountOnlyTheItemsOptions) {
    // Three examinees, two items; item 0 has options 0..2, code 9 missing.
    const std::array<std::uint8_t, 6> codes{2, 1, 0, 0, 9, 1};
    const std::array<double, 3> right{2, 0, 1};  // item 0 keyed 2, item 1 keyed 1
    std::array<OptionSummary, 3> summary{};
    SummariseOptions(codes, 2, 0, 3, 2, right, summary);
    EXPECT_EQ(summary[0].count, 1);
    EXPECT_EQ(summary[0].meanRest, 0);
    EXPECT_EQ(summary[1].count, 0);
    EXPECT_EQ(summary[2].count, 1);
    EXPECT_EQ(summary[2].meanRest, 1);  // right on item 1 only
}

}  // namespace
}  // namespace tarvo::nominal
