#pragma once

#include <span>
#include <vector>

#include "estimation/marginal/mml_em.h"
#include "estimation/marginal/mml_squarem.h"

namespace tarvo::mml {

// One cycle of Bock-Aitkin EM as a map of the parameter point: the E-step at
// the point (the expected counts and the marginal log-likelihood there),
// the population's mean and SD from the expected examinees when they are
// estimated, and the M-step of every estimated item (the Rasch model's
// common slope after the items' b). The point is every item's a, d and c
// (P = c + (1 - c) / (1 + exp(-D (a theta + d)))), then the population's
// mean and SD; what is not estimated never moves. The items' b = -d / a
// follow each point.
class EmCycle final : public EmMap {
  public:
    EmCycle(PatternPosteriors& posteriors, const MarginalSettings& settings,
            std::span<const char> estimated, ItemSpans items, WorkerPool& pool,
            Quadrature& quadrature, ExpectedCounts& counts);

    std::size_t PointSize() const override { return 3 * itemCount_ + 2; }
    // The item parameters come first, in this many entries.
    std::size_t ItemEntries() const override { return 3 * itemCount_; }

    void Read(std::span<double> point) const override;
    // Sets the items and the population (the quadrature follows it).
    void Write(std::span<const double> point) override;
    // Every estimated parameter into its range.
    void KeepInBounds(std::span<double> point) const override;

    // The E-step at the current point, then the population and the M-step:
    // the items (and population) hold the next point afterwards.
    Objective Run() override;
    // The E-step alone: the counts at the current point.
    Objective ExpectationOnly();

    double PopulationMean() const { return mean_; }
    double PopulationSd() const { return sd_; }

  private:
    void MovePopulation();

    PatternPosteriors& posteriors_;
    const MarginalSettings& settings_;
    std::span<const char> estimated_;
    ItemSpans items_;
    WorkerPool& pool_;
    Quadrature& quadrature_;
    ExpectedCounts& counts_;
    std::size_t itemCount_;
    Priors priors_;
    FreeParameters free_;
    bool rasch_;
    bool movePopulation_;
    double mean_ = 0, sd_ = 1;
    EStep estep_;
    LogCurveTables tables_;
    std::vector<double> intercept_;  // every item's d
};

}  // namespace tarvo::mml
