#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "core/estimation_outcome.h"
#include "core/run_request.h"
#include "fit/fit_results.h"
#include "input/front_part.h"
#include "parallel/worker_pool.h"

namespace tarvo {

// The ability distribution S-X2 integrates over, as points and weights that
// sum to 1.
struct FitGrid {
    std::vector<double> theta, weight;
};

// A marginal run's: the EM's quadrature, moved to the fitted population
// when the run estimated it (standard normal otherwise).
FitGrid MarginalFitGrid(const MarginalSettings& settings, const PopulationEstimate& population);

// A classic run's: 61 points over +-6 SD of a normal with the mean and SD
// of the abilities of the examinees with a valid response (nvalid > 0) and
// a finite theta; empty when there are none.
FitGrid ClassicFitGrid(std::span<const double> theta, std::span<const std::int32_t> nvalid);

// The fit statistics of a finished run, from the item and person tables as
// the estimation left them and the codes it read: the abilities the run gave
// (the estimates of a classic run, the written scores of a marginal one),
// the report's ten ability groups, the grid above, and the marginal
// likelihood with its count of parameters for a marginal run.
fit::FitResults FitOfRun(const RunRequest& request, const RunInputs& inputs,
                         const EstimationOutcome& outcome, const TaskExecutor& executor = {});

// The fit of a finished polytomous or mixed run, each item by its own
// model: the generalized S-X2 over the EM's grid at the fitted population,
// the residual statistics, person fit and Q3 at the written abilities with
// the report's ability groups, and the marginal likelihood with the
// parameters the estimator moved (and the population's when estimated).
fit::FitResults FitOfPolytomousRun(const RunRequest& request, const RunInputs& inputs,
                                   const EstimationOutcome& outcome,
                                   const TaskExecutor& executor = {});

// Whether a prior acted on some item the run estimated, each item by its
// own model (a right/wrong item of an item-models file by its line's): then
// its likelihood is that of the penalised maximum.
bool PriorsActed(const RunRequest& request, const EstimationOutcome& outcome);

// A finished marginal run's -2LL, parameters, AIC and BIC, counted as
// FitOfRun and FitOfPolytomousRun count them.
fit::ModelFit ModelFitOfRun(const RunRequest& request, const RunInputs& inputs,
                            const EstimationOutcome& outcome);

}  // namespace tarvo
