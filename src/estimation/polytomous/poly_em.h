#pragma once

// Bock-Aitkin EM for tests of polytomous and right/wrong items over a fixed
// quadrature: the E-step forms each item's expected count of every score at
// every point from the examinees' posteriors, the M-step maximises each
// item's expected log-likelihood (plus its priors) by Fisher scoring. Every
// sum runs in one fixed order on the calling thread, so the result is the
// same for every thread count.

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "core/estimation_outcome.h"
#include "core/marginal_settings.h"
#include "estimation/marginal/mml_quadrature.h"
#include "estimation/polytomous/poly_items.h"

namespace tarvo::poly {

// The codes, examinee after examinee: scores 0..8, 9 missing.
struct Responses {
    std::span<const std::uint8_t> codes;
    std::size_t persons = 0;
    std::size_t items = 0;
};

// The working tables, sized once for the items and the quadrature: per item
// the logarithms of its category probabilities and its expected counts,
// category after category, each over the points.
class EmTables {
  public:
    EmTables(std::span<const Item> items, int points);

    std::span<double> LogProbabilities(std::size_t item);
    std::span<double> Expected(std::size_t item);
    std::span<const double> Expected(std::size_t item) const;
    std::span<double> Posterior() { return posterior_; }

  private:
    int points_;
    std::vector<std::size_t> offset_;
    std::vector<double> logP_, expected_, posterior_;
};

// Solves matrix x = rhs in place (rhs becomes x) by Cholesky, n unknowns;
// false when the matrix is not positive definite.
bool SolvePositive(int n, std::array<double, kMostFree * kMostFree> matrix, double* rhs);

// The examinee's posterior over the points into tables.Posterior(),
// normalised, from the log probabilities the last E-step filled; returns
// the log of the examinee's marginal likelihood.
double PosteriorOf(std::span<const std::uint8_t> row, std::span<const Item> items,
                   const mml::Quadrature& quadrature, EmTables& tables);

// Fills the tables with the items' log probabilities, then the expected
// counts; returns the marginal log-likelihood.
double EStep(std::span<const Item> items, Responses responses, const mml::Quadrature& quadrature,
             EmTables& tables);

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

// The items' posterior means and SDs of every examinee (EAP), from the
// items as they stand.
void ScoreExpected(std::span<const Item> items, Responses responses,
                   const mml::Quadrature& quadrature, EmTables& tables, std::span<double> theta,
                   std::span<double> seTheta);

struct EmOutcome {
    int cycles = 0;
    bool converged = false;
    bool stopped = false;
    double logLikelihood = 0;
    double largestChange = 0;
    PopulationEstimate population;  // estimated with held items on request
};

// After each cycle: its number, its largest change and the log-likelihood
// at its start; false stops the EM.
using CycleDone = std::function<bool(int, double, double)>;

// With settings.estimatePopulation the quadrature follows the population.
EmOutcome RunPolytomousEm(std::vector<Item>& items, std::span<const char> estimated,
                          Responses responses, const MarginalSettings& settings,
                          mml::Quadrature& quadrature, EmTables& tables,
                          const CycleDone& cycleDone);

// The priors of the right/wrong items: those of the binary model that act.
Priors BinaryPriors(const MarginalSettings& settings);

}  // namespace tarvo::poly
