// Scores after a marginal fit, and the ability distribution estimated under
// items held at known values.
#include "estimation/marginal/mml_scoring.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "estimation/marginal/mml_em.h"
#include "mml_test_data.h"
#include "simulator.h"

namespace tarvo::mml {
namespace {

struct Items {
    std::vector<double> a{1.2, 0.8, 1.5, 0.6, 1.0, 1.1};
    std::vector<double> b{-1.0, -0.3, 0.2, 0.8, 1.4, 0.0};
    std::vector<double> c{0.2, 0.1, 0.0, 0.25, 0.15, 0.05};
    ItemSpans Spans() { return {a, b, c}; }
};

double Probability(double theta, double a, double b, double c) {
    return c + (1 - c) / (1 + std::exp(-1.7 * a * (theta - b)));
}

TEST(MarginalScoring, EapIsThePosteriorMeanAndMapItsMode) {
    Items items;
    // Correct, wrong, missing, correct, wrong, correct; and all wrong.
    const std::vector<std::uint8_t> codes = {1, 0, 9, 1, 0, 1, 0, 0, 0, 0, 0, 0};
    const ResponseView view{codes.data(), 2, 6};
    const Quadrature q = NormalQuadrature(61, 6);
    WorkerPool pool(2);
    std::vector<double> theta(2), se(2);
    std::vector<std::int32_t> valid(2);
    PatternPosteriors posteriors(view, q.Points(), test::BestKernels());
    LogCurveTables tables;
    tables.Fill(items.a, items.b, items.c, q);
    posteriors.Fill(tables, q);
    ScoreEap(posteriors, q, pool, {theta, se, valid});
    for (std::size_t j = 0; j < 2; ++j) {
        double total = 0, first = 0, second = 0;
        for (int k = 0; k < q.Points(); ++k) {
            double l = q.weight[k];
            for (std::size_t i = 0; i < 6; ++i) {
                const auto code = codes[j * 6 + i];
                if (code > 1) continue;
                const double p = Probability(q.theta[k], items.a[i], items.b[i], items.c[i]);
                l *= code == 1 ? p : 1 - p;
            }
            total += l;
            first += l * q.theta[k];
            second += l * q.theta[k] * q.theta[k];
        }
        const double mean = first / total;
        EXPECT_NEAR(theta[j], mean, 1e-9);
        EXPECT_NEAR(se[j], std::sqrt(second / total - mean * mean), 1e-9);
    }
    EXPECT_EQ(valid[0], 5);
    EXPECT_EQ(valid[1], 6);

    ScoreMap(posteriors, items.Spans(), q, 0, 1, pool, {theta, se, valid});
    for (std::size_t j = 0; j < 2; ++j) {
        // The log posterior's slope is zero at the mode, its curvature gives the SE.
        auto logPosterior = [&](double t) {
            double v = -0.5 * t * t;
            for (std::size_t i = 0; i < 6; ++i) {
                const auto code = codes[j * 6 + i];
                if (code > 1) continue;
                const double p = Probability(t, items.a[i], items.b[i], items.c[i]);
                v += std::log(code == 1 ? p : 1 - p);
            }
            return v;
        };
        const double h = 1e-4;
        const double slope = (logPosterior(theta[j] + h) - logPosterior(theta[j] - h)) / (2 * h);
        const double curvature =
            (logPosterior(theta[j] + h) - 2 * logPosterior(theta[j]) + logPosterior(theta[j] - h)) /
            (h * h);
        EXPECT_NEAR(slope, 0, 1e-6);
        EXPECT_NEAR(se[j], 1 / std::sqrt(-curvature), 1e-4);
    }
}

TEST(MarginalPopulation, HeldItemsLetTheAbilityMeanAndSdBeEstimated) {
    sim::Random random(31);
    const auto drawn = sim::DrawItems(random, 30, sim::ItemModel::ThreePL);
    std::vector<double> theta = sim::DrawAbilities(random, 5000);
    for (double& t : theta) t = 0.5 + 1.3 * t;
    const auto codes = sim::DrawResponses(random, theta, drawn);
    std::vector<double> a, b, c;
    for (const auto& item : drawn) {
        a.push_back(item.a);
        b.push_back(item.b);
        c.push_back(item.c);
    }
    const ResponseView view{codes.data(), theta.size(), drawn.size()};
    MarginalSettings settings;
    settings.estimatePopulation = true;
    std::vector<char> estimated(drawn.size(), 0);
    estimated[0] = 1;  // one item free, the others hold the scale
    WorkerPool pool(2);
    Quadrature q = NormalQuadrature(settings.quadraturePoints, settings.quadratureRange);
    ExpectedCounts counts;
    PatternPosteriors posteriors(view, q.Points(), test::BestKernels());
    const EmOutcome out = RunEm(posteriors, settings, estimated, ItemSpans{a, b, c}, pool, q,
                                counts, [](int, double, double) { return true; });
    EXPECT_TRUE(out.converged);
    EXPECT_NEAR(out.populationMean, 0.5, 0.06);
    EXPECT_NEAR(out.populationSd, 1.3, 0.06);
    for (std::size_t i = 1; i < drawn.size(); ++i) EXPECT_EQ(a[i], drawn[i].a);
    EXPECT_NEAR(a[0], drawn[0].a, 0.25);
    EXPECT_NEAR(b[0], drawn[0].b, 0.25);
}

}  // namespace
}  // namespace tarvo::mml
