// Whole marginal fits: the published 2PL estimates of the LSAT section 7
// data, the 3PL and Rasch maxima other programs reach, and recovery of known
// item parameters with honest standard errors.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "estimation/marginal/mml_em.h"
#include "estimation/marginal/mml_information.h"
#include "mml_test_data.h"
#include "simulator.h"
#include "support/lsat_data.h"

namespace tarvo::mml {
namespace {

struct Fit {
    std::vector<double> a, b, c, seA, seB;
    EmOutcome outcome;
};

Fit FitCodes(const std::vector<std::uint8_t>& codes, std::size_t items,
             const MarginalSettings& settings) {
    const ResponseView view{codes.data(), codes.size() / items, items};
    Fit fit;
    fit.a.assign(items, 0);
    fit.b.assign(items, 0);
    fit.c.assign(items, 0);
    const ItemSpans spans{fit.a, fit.b, fit.c};
    std::vector<char> estimated(items, 1);
    SetStartValues(settings.model, view, estimated, PriorsFor(settings), spans);
    WorkerPool pool(2);
    Quadrature q = NormalQuadrature(settings.quadraturePoints, settings.quadratureRange);
    ExpectedCounts counts;
    PatternPosteriors posteriors(view, q.Points(), test::BestKernels());
    fit.outcome = RunEm(posteriors, settings, estimated, spans, pool, q, counts,
                        [](int, double, double) { return true; });
    const ParameterLayout layout = MakeLayout(settings, estimated, spans);
    std::vector<double> se;
    if (StandardErrorsFrom(
            ObservedInformation(posteriors, layout, settings, spans, q, counts, pool), layout.count,
            se)) {
        for (std::size_t i = 0; i < items; ++i) {
            const int pa = layout.index[3 * i], pb = layout.index[3 * i + 1];
            fit.seA.push_back(pa >= 0 ? se[pa] : -1);
            fit.seB.push_back(pb >= 0 ? se[pb] : -1);
        }
    }
    return fit;
}

std::vector<std::uint8_t> Lsat7() { return test_support::LsatCodes(test_support::Lsat::Section7); }

MarginalSettings WithoutPriors(MarginalModel model) {
    MarginalSettings s;
    s.model = model;
    s.priorLogA.on = false;
    s.priorC.on = false;
    s.tolerance = 1e-6;
    s.logLikelihoodTolerance = 1e-7;
    s.maxCycles = 5000;
    return s;
}

TEST(MarginalFit, Lsat7TwoPLMatchesThePublishedEstimates) {
    // The published 2PL (slope-intercept, D = 1) turned to this metric:
    // a / 1.7 and b = -d / a.
    const double published[5][2] = {{0.5812, -1.8786},
                                    {0.6359, -0.7475},
                                    {1.0035, -1.0576},
                                    {0.4501, -0.6352},
                                    {0.4328, -2.5204}};
    const Fit fit = FitCodes(Lsat7(), 5, WithoutPriors(MarginalModel::TwoPL));
    EXPECT_TRUE(fit.outcome.converged);
    for (int i = 0; i < 5; ++i) {
        EXPECT_NEAR(fit.a[i], published[i][0], 0.01) << "item " << i + 1;
        EXPECT_NEAR(fit.b[i], published[i][1], 0.01) << "item " << i + 1;
        EXPECT_EQ(fit.c[i], 0);
    }
    EXPECT_NEAR(fit.outcome.logLikelihood, -2658.8051, 0.01);
    ASSERT_EQ(fit.seA.size(), 5u);
    for (int i = 0; i < 5; ++i) {
        EXPECT_GT(fit.seA[i], 0.05);
        EXPECT_LT(fit.seA[i], 0.3);
    }
}

TEST(MarginalFit, Lsat7ReachesTheMaximaOfOtherPrograms) {
    // Marginal log-likelihoods that two other programs reach on these data.
    const struct {
        MarginalModel model;
        double best;
    } cases[] = {{MarginalModel::ThreePL, -2658.054}, {MarginalModel::Rasch, -2664.901}};
    for (const auto& test : cases) {
        const Fit fit = FitCodes(Lsat7(), 5, WithoutPriors(test.model));
        EXPECT_GT(fit.outcome.logLikelihood, test.best - 0.1) << ModelName(test.model);
        EXPECT_LT(fit.outcome.logLikelihood, test.best + 0.1) << ModelName(test.model);
    }
}

struct Truth {
    std::vector<sim::SimulatedItem> items;
    std::vector<std::uint8_t> codes;
};

Truth Simulate(std::size_t persons, std::size_t items, bool floor, std::uint64_t seed) {
    sim::Random random(seed);
    Truth t;
    t.items = sim::DrawItems(random, items, sim::ItemModel::ThreePL);
    if (!floor) {
        for (auto& item : t.items) item.c = 0;
    }
    const auto theta = sim::DrawAbilities(random, persons);
    t.codes = sim::DrawResponses(random, theta, t.items, 0.02);
    return t;
}

TEST(MarginalFit, RecoversKnownItemsWithHonestErrors) {
    const Truth truth = Simulate(4000, 25, false, 21);
    const Fit fit = FitCodes(truth.codes, 25, WithoutPriors(MarginalModel::TwoPL));
    ASSERT_EQ(fit.seB.size(), 25u);
    double squareA = 0, squareB = 0, zSquares = 0;
    for (std::size_t i = 0; i < 25; ++i) {
        squareA += std::pow(fit.a[i] - truth.items[i].a, 2);
        squareB += std::pow(fit.b[i] - truth.items[i].b, 2);
        zSquares += std::pow((fit.a[i] - truth.items[i].a) / fit.seA[i], 2);
        zSquares += std::pow((fit.b[i] - truth.items[i].b) / fit.seB[i], 2);
    }
    EXPECT_LT(std::sqrt(squareA / 25), 0.06);
    EXPECT_LT(std::sqrt(squareB / 25), 0.06);
    // The errors neither much too small nor much too large.
    const double zSd = std::sqrt(zSquares / 50);
    EXPECT_GT(zSd, 0.6);
    EXPECT_LT(zSd, 1.5);
}

TEST(MarginalFit, ThreePLWithPriorsRecoversKnownItems) {
    const Truth truth = Simulate(4000, 25, true, 22);
    MarginalSettings settings;  // the default priors on a and c
    const Fit fit = FitCodes(truth.codes, 25, settings);
    EXPECT_TRUE(fit.outcome.converged);
    double squareA = 0, squareB = 0, squareC = 0;
    for (std::size_t i = 0; i < 25; ++i) {
        squareA += std::pow(fit.a[i] - truth.items[i].a, 2);
        squareB += std::pow(fit.b[i] - truth.items[i].b, 2);
        squareC += std::pow(fit.c[i] - truth.items[i].c, 2);
    }
    EXPECT_LT(std::sqrt(squareA / 25), 0.15);
    EXPECT_LT(std::sqrt(squareB / 25), 0.15);
    EXPECT_LT(std::sqrt(squareC / 25), 0.06);
}

}  // namespace
}  // namespace tarvo::mml
