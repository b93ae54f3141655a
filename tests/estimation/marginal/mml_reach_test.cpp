// Right/wrong marginal fits whose slopes the old bounds kept from their
// maxima: a reversed item reaches its negative slope, a 3PL slope beyond 8
// reaches its finite maximum, and the log-normal prior keeps a slope above 0.
// The reference maxima are OpenMx 2.21.1's (Debian's r-cran-openmx), fitted
// without priors on the default quadrature (61 points from -6 to 6) by
// bench/reference/reach_reference.R, each slope free of sign and started
// with the sign of its item-rest correlation.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "estimation/marginal/mml_em.h"
#include "mml_test_data.h"
#include "support/lsat_data.h"
#include "verbal_aggression_data.h"

namespace tarvo::mml {
namespace {

struct Fit {
    std::vector<double> a, b, c;
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
    SignStartSlopes(settings.model, view, estimated, PriorsFor(settings), spans);
    WorkerPool pool(2);
    Quadrature q = NormalQuadrature(settings.quadraturePoints, settings.quadratureRange);
    ExpectedCounts counts;
    PatternPosteriors posteriors(view, q.Points(), test::BestKernels());
    fit.outcome = RunEm(posteriors, settings, estimated, spans, pool, q, counts,
                        [](int, double, double) { return true; });
    return fit;
}

MarginalSettings Settled(MarginalModel model, bool priors) {
    MarginalSettings s = SettingsFor(model);
    s.priorLogA.on = s.priorLogA.on && priors;
    s.priorC.on = s.priorC.on && priors;
    s.tolerance = 1e-6;
    s.logLikelihoodTolerance = 1e-7;
    s.maxCycles = 2000;
    return s;
}

// LSAT section 7 with its third item scored 1 - x.
std::vector<std::uint8_t> Lsat7Reversed() {
    std::vector<std::uint8_t> codes = test_support::LsatCodes(test_support::Lsat::Section7);
    for (std::size_t j = 2; j < codes.size(); j += 5) codes[j] = 1 - codes[j];
    return codes;
}

TEST(MarginalReach, AReversedItemReachesItsNegativeSlopeAndTheSameMaximum) {
    // OpenMx: Rscript reach_reference.R lsat7.dat 5 20 2pl 3 gives
    // -2658.805115 and item 3 a -1.004427, b -1.057203; unreversed (REVERSE
    // 0) the same maximum with a +1.004426.
    const Fit plain = FitCodes(test_support::LsatCodes(test_support::Lsat::Section7), 5,
                               Settled(MarginalModel::TwoPL, false));
    const Fit reversed = FitCodes(Lsat7Reversed(), 5, Settled(MarginalModel::TwoPL, false));
    EXPECT_TRUE(reversed.outcome.converged);
    EXPECT_NEAR(reversed.outcome.logLikelihood, -2658.805115, 0.01);
    EXPECT_NEAR(reversed.outcome.logLikelihood, plain.outcome.logLikelihood, 1e-6);
    EXPECT_NEAR(reversed.a[2], -1.004427, 0.005);
    EXPECT_NEAR(reversed.b[2], -1.057203, 0.005);
    // 1 - P(theta; a, b) = P(theta; -a, b): the other items do not move.
    EXPECT_NEAR(reversed.a[2], -plain.a[2], 1e-4);
    EXPECT_NEAR(reversed.b[2], plain.b[2], 1e-4);
    for (int i : {0, 1, 3, 4}) {
        EXPECT_NEAR(reversed.a[i], plain.a[i], 1e-4) << "item " << i + 1;
        EXPECT_NEAR(reversed.b[i], plain.b[i], 1e-4) << "item " << i + 1;
    }
}

TEST(MarginalReach, ASlopeStartedOnTheWrongSideCrossesZero) {
    // Every slope started at +1: EM moves the reversed item's through 0.
    MarginalSettings settings = Settled(MarginalModel::TwoPL, false);
    const std::vector<std::uint8_t> codes = Lsat7Reversed();
    const ResponseView view{codes.data(), codes.size() / 5, 5};
    std::vector<double> a(5), b(5), c(5);
    const ItemSpans spans{a, b, c};
    std::vector<char> estimated(5, 1);
    SetStartValues(settings.model, view, estimated, PriorsFor(settings), spans);
    WorkerPool pool(1);
    Quadrature q = NormalQuadrature(settings.quadraturePoints, settings.quadratureRange);
    ExpectedCounts counts;
    PatternPosteriors posteriors(view, q.Points(), test::BestKernels());
    const EmOutcome outcome = RunEm(posteriors, settings, estimated, spans, pool, q, counts,
                                    [](int, double, double) { return true; });
    EXPECT_NEAR(outcome.logLikelihood, -2658.805115, 0.01);
    EXPECT_NEAR(a[2], -1.004427, 0.005);
}

TEST(MarginalReach, TheLogNormalPriorKeepsASlopeAboveZero) {
    // The 3PL's default priors: a reversed item's slope cannot be negative
    // under log a ~ N(0, 0.5^2); it ends positive, the data pulling it below
    // the prior's mode.
    const Fit fit = FitCodes(Lsat7Reversed(), 5, SettingsFor(MarginalModel::ThreePL));
    EXPECT_GT(fit.a[2], 0);
    EXPECT_LT(fit.a[2], 0.8);  // no higher than the prior's mode, exp(-0.25)
    for (double a : fit.a) EXPECT_TRUE(std::isfinite(a));
}

TEST(MarginalReach, AThreePLSlopeBeyondTheOldCeilingReachesItsMaximum) {
    // The verbal aggression items scored 1 for "perhaps" or "yes": OpenMx
    // (Rscript reach_reference.R verbagg3.dat 24 20 3pl 0 1) reaches
    // -3990.291364 with item 5 at a 13.81, b 0.5998, c 0.3243; a slope
    // ceiling of 8 ends 0.02 below.
    // Beyond a = 14 the likelihood rises by less than 0.001 (the curve is
    // nearly a step between two points of the grid) and EM creeps along
    // that ridge for thousands of cycles: 200 of them reach the maximum.
    MarginalSettings settings = Settled(MarginalModel::ThreePL, false);
    settings.maxCycles = 200;
    const Fit fit = FitCodes(test_support::VerbalAggressionAnyYes(), 24, settings);
    EXPECT_NEAR(fit.outcome.logLikelihood, -3990.291364, 0.01);
    EXPECT_GT(fit.a[4], 10);
    EXPECT_LT(fit.a[4], kSlopeReach);
    EXPECT_NEAR(fit.b[4], 0.5998, 0.01);
}

}  // namespace
}  // namespace tarvo::mml
