// Scores after a marginal fit, and the ability distribution estimated under
// items held at known values.
#include "estimation/marginal/mml_scoring.h"

#include <gtest/gtest.h>

#include <cmath>
#include <utility>
#include <vector>

#include "estimation/marginal/mml_em.h"
#include "estimation/marginal/mml_population.h"
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

    // The mode under the standard normal and under a population of another
    // mean and SD (the prior's slope is -(theta - mean) / SD^2).
    for (const auto& population : {std::pair{0.0, 1.0}, std::pair{0.4, 1.6}}) {
        // Named copies: the lambda below may not capture a structured binding
        // in clang 14.
        const double populationMean = population.first, populationSd = population.second;
        SCOPED_TRACE(populationSd);
        ScoreMap(posteriors, items.Spans(), q, populationMean, populationSd, pool,
                 {theta, se, valid});
        for (std::size_t j = 0; j < 2; ++j) {
            // The log posterior's slope is zero at the mode, its curvature gives the SE.
            auto logPosterior = [&](double t) {
                const double z = (t - populationMean) / populationSd;
                double v = -0.5 * z * z;
                for (std::size_t i = 0; i < 6; ++i) {
                    const auto code = codes[j * 6 + i];
                    if (code > 1) continue;
                    const double p = Probability(t, items.a[i], items.b[i], items.c[i]);
                    v += std::log(code == 1 ? p : 1 - p);
                }
                return v;
            };
            const double h = 1e-4;
            const double slope =
                (logPosterior(theta[j] + h) - logPosterior(theta[j] - h)) / (2 * h);
            const double curvature = (logPosterior(theta[j] + h) - 2 * logPosterior(theta[j]) +
                                      logPosterior(theta[j] - h)) /
                                     (h * h);
            EXPECT_NEAR(slope, 0, 1e-6);
            EXPECT_NEAR(se[j], 1 / std::sqrt(-curvature), 1e-4);
        }
    }
}

// On a narrow grid the posteriors of all-correct and all-wrong examinees sit
// at its ends: EAP takes every point, the last one too, and MAP stops at
// the grid's ends and not before.
TEST(MarginalScoring, ScoresOnANarrowGridReachItsEnds) {
    Items items;
    const std::vector<std::uint8_t> codes = {1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0};
    const ResponseView view{codes.data(), 2, 6};
    const Quadrature q = NormalQuadrature(7, 1.0);  // the modes lie beyond +-1.3
    WorkerPool pool(1);
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
                const double p = Probability(q.theta[k], items.a[i], items.b[i], items.c[i]);
                l *= codes[j * 6 + i] == 1 ? p : 1 - p;
            }
            total += l;
            first += l * q.theta[k];
            second += l * q.theta[k] * q.theta[k];
        }
        const double mean = first / total;
        EXPECT_NEAR(theta[j], mean, 1e-12) << j;
        EXPECT_NEAR(se[j], std::sqrt(second / total - mean * mean), 1e-12) << j;
    }
    ScoreMap(posteriors, items.Spans(), q, 0, 1, pool, {theta, se, valid});
    EXPECT_EQ(theta[0], q.theta.back());
    EXPECT_EQ(theta[1], q.theta.front());
}

// 3PL items and responses of abilities drawn from N(mean, sd^2).
struct Drawn {
    std::vector<sim::SimulatedItem> items;
    std::vector<std::uint8_t> codes;
    std::vector<double> a, b, c;
    std::size_t persons = 0;

    Drawn(std::uint64_t seed, std::size_t itemCount, std::size_t personCount, double mean,
          double sd)
        : persons(personCount) {
        sim::Random random(seed);
        items = sim::DrawItems(random, itemCount, sim::ItemModel::ThreePL);
        std::vector<double> theta = sim::DrawAbilities(random, personCount);
        for (double& t : theta) t = mean + sd * t;
        codes = sim::DrawResponses(random, theta, items);
        for (const auto& item : items) {
            a.push_back(item.a);
            b.push_back(item.b);
            c.push_back(item.c);
        }
    }
    ResponseView View() const { return {codes.data(), persons, items.size()}; }
};

TEST(MarginalPopulation, HeldItemsLetTheAbilityMeanAndSdBeEstimated) {
    Drawn d(31, 30, 5000, 0.5, 1.3);
    const auto& drawn = d.items;
    auto& a = d.a;
    auto& b = d.b;
    auto& c = d.c;
    const ResponseView view = d.View();
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

// The population's standard errors are the inverse of minus the Hessian of
// the marginal log-likelihood in (mean, SD), the items held: Louis' formula
// against a central-difference Hessian of the likelihood itself.
TEST(MarginalPopulation, ItsStandardErrorsAreTheLikelihoodsCurvature) {
    Drawn d(7, 12, 800, -0.4, 0.8);
    const ResponseView view = d.View();
    const std::vector<double>&a = d.a, &b = d.b, &c = d.c;
    WorkerPool pool(2);
    PopulationEstimate population;
    population.estimated = true;
    population.mean = -0.35;
    population.sd = 0.85;
    const Quadrature q = NormalQuadrature(61, 6, population.mean, population.sd);
    PatternPosteriors posteriors(view, q.Points(), test::BestKernels());
    LogCurveTables at;
    at.Fill(a, b, c, q);
    posteriors.Fill(at, q);
    SetPopulationErrors(posteriors, q, pool, population);

    auto logLikelihood = [&](double mean, double sd) {
        const Quadrature moved = NormalQuadrature(61, 6, mean, sd);
        LogCurveTables tables;
        tables.Fill(a, b, c, moved);
        std::vector<double> weights(61);
        double total = 0;
        for (std::size_t j = 0; j < view.persons; ++j) {
            PosteriorRange range;
            total += Posterior(view.Row(j), tables, moved, weights, range);
        }
        return total;
    };
    const double h = 1e-3, m = population.mean, s = population.sd;
    const double f = logLikelihood(m, s);
    const double mm = (logLikelihood(m + h, s) - 2 * f + logLikelihood(m - h, s)) / (h * h);
    const double ss = (logLikelihood(m, s + h) - 2 * f + logLikelihood(m, s - h)) / (h * h);
    const double ms = (logLikelihood(m + h, s + h) - logLikelihood(m + h, s - h) -
                       logLikelihood(m - h, s + h) + logLikelihood(m - h, s - h)) /
                      (4 * h * h);
    // Minus the Hessian, inverted.
    const double determinant = mm * ss - ms * ms;
    EXPECT_NEAR(population.seMean, std::sqrt(-ss / determinant), 0.01 * population.seMean);
    EXPECT_NEAR(population.seSd, std::sqrt(-mm / determinant), 0.01 * population.seSd);
}

}  // namespace
}  // namespace tarvo::mml
