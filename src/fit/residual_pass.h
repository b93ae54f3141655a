#pragma once

#include <span>
#include <vector>

#include "fit/fit_inputs.h"
#include "fit/fit_results.h"
#include "fit/mean_square.h"
#include "fit/residual_correlations.h"

namespace tarvo {
class WorkerPool;
}

namespace tarvo::fit {

// The lz of Drasgow, Levine & Williams (1985): the log-likelihood of an
// examinee's responses minus its expectation, over its standard deviation.
// With L = ln(P / Q) the difference is sum (x - P) L and the variance
// sum P Q L^2, one logarithm per response.
struct PersonLikelihoodSums {
    double deviation = 0;
    double variance = 0;

    double Lz() const;
};

inline constexpr double kLzMisfitBelow = -1.96;

// What the examinees' residuals add up to per item: the mean-square sums
// (over examinees with a mixed record) and, per ability group, the observed
// and expected correct answers and the variance of their difference
// (observed at g * items + i).
struct ItemResidualSums {
    std::vector<MeanSquareSums> meanSquares;
    std::vector<double> groupObserved, groupExpected, groupVariance;
};

// One pass over the examinees, each probability formed once: every
// examinee's lz, infit and outfit into persons (one per examinee), the
// items' sums, and the residual rows into q3 (examinees with a finite
// ability and a valid response; q3 may be null). Blocks of examinees run on
// the pool's threads; each block's sums join the whole in block order, so
// every figure is the same bits for any number of threads.
ItemResidualSums ResidualPass(const FitInputs& in, std::span<PersonFit> persons,
                              ResidualCorrelations* q3, WorkerPool& pool);

// The same pass over a test scored in categories, each item by its own
// model: the residual x - E(theta) with E = sum k P_k and its variance
// sum (k - E)^2 P_k; lz from the log-likelihood of the scores given. A
// right/wrong item gets the bits the pass above gives it.
ItemResidualSums CategoryResidualPass(const CategoryFitInputs& in, std::span<PersonFit> persons,
                                      ResidualCorrelations* q3, WorkerPool& pool);

}  // namespace tarvo::fit
