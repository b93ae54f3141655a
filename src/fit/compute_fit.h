#pragma once

#include "fit/fit_inputs.h"
#include "fit/fit_results.h"

namespace tarvo {
class WorkerPool;
}

namespace tarvo::fit {

// An item is flagged as misfitting when its S-X2 p, after the
// Benjamini-Hochberg correction over the items, is below kMisfitAlpha, or,
// where S-X2 is not defined, when its infit or outfit is outside
// [kLowestMeanSquare, kHighestMeanSquare] (Wright & Linacre 1994: the range
// for productive measurement on a multiple-choice test).
inline constexpr double kMisfitAlpha = 0.01;
inline constexpr double kLowestMeanSquare = 0.7;
inline constexpr double kHighestMeanSquare = 1.3;

// Every fit statistic of a run: per item S-X2, infit and outfit, and the
// standardised residuals by ability group; per examinee lz, infit and
// outfit; Yen's Q3 for every pair of items; and the model's -2LL, AIC and
// BIC where the estimator has a marginal likelihood. Throws
// std::invalid_argument when the inputs' sizes do not go together. The pass
// over the responses runs on the pool's threads (the one-argument form: on
// the calling thread), with the same results for any number of threads.
FitResults ComputeFit(const FitInputs& in, WorkerPool& pool);
FitResults ComputeFit(const FitInputs& in);

// The fit of a polytomous or mixed test, each item by its own model: the
// generalized S-X2 of every item, p after the Benjamini-Hochberg correction
// and the misfit flag (its adjusted p below kMisfitAlpha); infit, outfit
// and the groups' standardised residuals over x - E(theta); per examinee
// lz, infit and outfit; Q3 of every pair; and -2LL, AIC and BIC. The same
// rules as ComputeFit's, which give a right/wrong item the same values.
// Throws std::invalid_argument when the inputs' sizes do not go together.
FitResults ComputeCategoryFit(const CategoryFitInputs& in, WorkerPool& pool);
FitResults ComputeCategoryFit(const CategoryFitInputs& in);

}  // namespace tarvo::fit
