#pragma once

#include <functional>
#include <span>
#include <vector>

#include "core/marginal_settings.h"
#include "estimation/marginal/mml_estep.h"
#include "estimation/marginal/mml_mstep.h"
#include "estimation/marginal/mml_quadrature.h"
#include "parallel/worker_pool.h"

namespace tarvo::mml {

// The parameters of every item, read and written in place.
struct ItemSpans {
    std::span<double> a, b, c;
};

// Start values of the estimated items: a = 1, b from the item's proportion
// correct, c at its prior's mode (0.2 without a prior) where c is
// estimated, 0 where the model has no floor. A given c is kept.
void SetStartValues(MarginalModel model, ResponseView responses, std::span<const char> estimated,
                    const Priors& priors, ItemSpans items);

// Turns the start slope (and with it b, so that d stays) of every estimated
// item whose item-rest correlation is below 0 to -a, where the model
// estimates each item's slope and no log-normal prior holds it above 0:
// EM then starts on the side of 0 where the item's maximum lies.
void SignStartSlopes(MarginalModel model, ResponseView responses, std::span<const char> estimated,
                     const Priors& priors, ItemSpans items);

// Every item's item-rest correlation: its scores' correlation with the sum
// of each examinee's other valid scores, over the examinees with a valid
// response to it; 0 where either does not vary.
std::vector<double> ItemRestCorrelations(ResponseView responses);

// How an EM run ended.
struct EmOutcome {
    int cycles = 0;            // EM cycles made (one E-step and one M-step each)
    bool converged = false;    // the change tests were met
    bool stopped = false;      // the caller asked to stop
    double logLikelihood = 0;  // marginal log-likelihood at the final estimates (no priors)
    double logPosterior = 0;   // the same plus the log priors of the estimates
    double largestChange = 0;  // of the last cycle
    double populationMean = 0, populationSd = 1;
    // The log posterior at every point EM went on from, in order, and at
    // the final estimates last (never falling, up to rounding).
    std::vector<double> keptObjectives;
    int extrapolations = 0;  // extrapolated points tried, and refused
    int refused = 0;
};

// Called after every cycle with its number and largest parameter change;
// returning false stops the loop.
using CycleReport = std::function<bool(int cycle, double largestChange, double logLikelihood)>;

// Bock-Aitkin EM over the items flagged in estimated (other items keep their
// values). Ends when the largest parameter change of a cycle is below the
// tolerance and the log-likelihood changed by less than its tolerance since
// the cycle before, after maxCycles, or when report returns false. Leaves in
// quadrature the ability distribution used (moved only when the population
// is estimated) and in counts the E-step at the final estimates.
//
// With settings.accelerate the cycles are extrapolated (SQUAREM with a
// monotone safeguard) as RunEmLoop does it.
//
// posteriors holds the examinees' patterns; it is left filled at the final
// estimates, for the standard errors and the scores.
EmOutcome RunEm(PatternPosteriors& posteriors, const MarginalSettings& settings,
                std::span<const char> estimated, ItemSpans items, WorkerPool& pool,
                Quadrature& quadrature, ExpectedCounts& counts, const CycleReport& report);

// The log prior density of the estimated parameters (common slope once).
double LogPrior(const MarginalSettings& settings, std::span<const char> estimated, ItemSpans items);

}  // namespace tarvo::mml
