#pragma once

#include <functional>
#include <span>
#include <vector>

#include "estimation/marginal/mml_em.h"

namespace tarvo::mml {

// Where each estimated parameter sits in the parameter vector: item i's a,
// b, c at index[3 * i + 0..2], -1 for a parameter that is not estimated or
// ended on a bound (its standard error is not defined there). The Rasch
// model's common slope has one index shared by all estimated items.
struct ParameterLayout {
    std::vector<int> index;
    int count = 0;
};

ParameterLayout MakeLayout(const MarginalSettings& settings, std::span<const char> estimated,
                           ItemSpans items);

// The observed information of the marginal log-likelihood plus log priors
// (its negative Hessian) at the estimates, by Louis' formula: the expected
// complete-data information, from the E-step's counts, minus the sum over
// examinees of the posterior covariance of the complete-data score. The
// covariance between two items needs, for every point, the posterior-
// weighted products of their residuals, summed over examinees; those sums
// are formed in fixed order (examinees in chunks, each item's row by one
// task), so the matrix is the same for every thread count. Above
// kLargestCrossItemTest items only the within-item terms are formed (the
// cross terms would need items^2 * points numbers; use StandardErrorsByItem
// there). Returns the matrix, row-major, layout.count squared.
//
// keepGoing, when given, is asked between blocks of examinees on the
// calling thread; when it says no, the work ends there and the result is
// empty.
//
// With productsAlone, the cross-product estimate instead: the sum over
// examinees of the outer products of their gradients (their mean scores),
// plus the priors' curvature; cheaper (no pass over the points' products),
// an approximation of the information that is right only in large samples.
inline constexpr std::size_t kLargestCrossItemTest = 400;
using KeepGoing = std::function<bool()>;
std::vector<double> ObservedInformation(const PatternPosteriors& posteriors,
                                        const ParameterLayout& layout,
                                        const MarginalSettings& settings, ItemSpans items,
                                        const Quadrature& quadrature, const ExpectedCounts& counts,
                                        WorkerPool& pool, const KeepGoing& keepGoing = {},
                                        bool productsAlone = false);

// Standard errors from each item's own block of the observed information
// alone (the cross-item terms left out, which makes every error somewhat
// smaller: up to 15% on 40 items), for many items, where the whole matrix
// would be too large: index as in layout; -1 for a parameter shared
// by several items (the common slope) or a block that is not positive
// definite. productsAlone as for ObservedInformation.
std::vector<double> StandardErrorsByItem(const PatternPosteriors& posteriors,
                                         const ParameterLayout& layout,
                                         const MarginalSettings& settings, ItemSpans items,
                                         const Quadrature& quadrature, const ExpectedCounts& counts,
                                         WorkerPool& pool, const KeepGoing& keepGoing = {},
                                         bool productsAlone = false);

// The lower Cholesky factor L of a positive definite count x count matrix
// (row-major), L L^T = matrix, in place (the upper triangle is left as it
// was); false when the matrix is not positive definite.
bool CholeskyInPlace(std::vector<double>& l, int count);

// The square roots of the diagonal of the inverse; false when the matrix is
// not positive definite (then se is left empty).
bool StandardErrorsFrom(const std::vector<double>& information, int count, std::vector<double>& se);

}  // namespace tarvo::mml
