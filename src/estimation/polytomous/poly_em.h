#pragma once

// Bock-Aitkin EM for tests of polytomous and right/wrong items over a fixed
// quadrature: the E-step (poly_estep) forms each item's expected count of
// every score at every point from the examinees' posteriors, the M-step
// maximises each item's expected log-likelihood (plus its priors) by Fisher
// scoring, and the cycles are extrapolated (SQUAREM with the monotone
// safeguard of the right/wrong estimator's loop). Every sum runs in one
// fixed order, so the result is the same for every thread count.

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "core/estimation_outcome.h"
#include "core/marginal_settings.h"
#include "estimation/marginal/mml_quadrature.h"
#include "estimation/polytomous/poly_estep.h"
#include "estimation/polytomous/poly_items.h"
#include "parallel/worker_pool.h"

namespace tarvo::poly {

// Solves matrix x = rhs in place (rhs becomes x) by Cholesky, n unknowns;
// false when the matrix is not positive definite.
bool SolvePositive(int n, std::array<double, kMostFree * kMostFree> matrix, double* rhs);

// The item's expected log-likelihood over its counts, plus the log of its
// priors (those that act: the binary model's, or the polytomous items'), with the gradient and
// the expected information by its free parameters when asked.
double ItemObjective(const Item& item, std::span<const double> expected,
                     const mml::Quadrature& quadrature, const Priors& priors, double* gradient,
                     double* information);

// Fisher scoring of one item on its expected counts, the step halved while
// the objective falls or the item leaves its model. Returns the largest
// change of a parameter.
double MaximiseItem(Item& item, std::span<const double> expected, const mml::Quadrature& quadrature,
                    const Priors& priors);

// Fisher scoring of the slope shared by the estimated common-slope items
// on their summed objectives; returns its change (0 without such items).
double MaximiseCommonSlope(std::vector<Item>& items, std::span<const char> estimated,
                           const EmTables& tables, const mml::Quadrature& quadrature,
                           const Priors& priors);

// The derivative of the item's objective by its slope, and its expected
// information, whether the slope is its own or common.
double SlopeGradient(const Item& item, std::span<const double> expected,
                     const mml::Quadrature& quadrature, const Priors& priors,
                     double* information = nullptr);

struct EmOutcome {
    int cycles = 0;
    bool converged = false;
    bool stopped = false;
    double logLikelihood = 0;
    double largestChange = 0;
    int extrapolations = 0;  // extrapolated points tried, and refused
    int refused = 0;
    PopulationEstimate population;  // estimated with held items on request
};

// After each cycle: its number, its largest change and the log-likelihood
// at its start; false stops the EM.
using CycleDone = std::function<bool(int, double, double)>;

// Ends when a cycle's largest change is below the tolerance and the
// log-likelihood changed by less than its tolerance, after maxCycles, or
// when cycleDone says stop; the tables then hold the E-step at the items as
// they ended. With settings.estimatePopulation the quadrature follows the
// population. With groups (responses attached to them) each focal group's
// population is estimated with the items and the quadrature is their
// common grid.
struct Groups;
EmOutcome RunPolytomousEm(std::vector<Item>& items, std::span<const char> estimated,
                          Responses responses, const MarginalSettings& settings,
                          mml::Quadrature& quadrature, EmTables& tables, WorkerPool& pool,
                          const CycleDone& cycleDone, Groups* groups = nullptr);

// The log priors of the estimated items at their values (those that act).
double LogPriors(std::span<const Item> items, std::span<const char> estimated,
                 const Priors& priors);

// The priors of the right/wrong items: those of the binary model that act.
Priors BinaryPriors(const MarginalSettings& settings);

}  // namespace tarvo::poly
