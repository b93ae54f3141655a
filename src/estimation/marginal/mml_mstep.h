#pragma once

#include "core/marginal_settings.h"
#include "estimation/kernels/mml_kernel_types.h"
#include "estimation/marginal/mml_quadrature.h"

namespace tarvo::mml {

// The bounds the estimates are kept in are the model table's (kMarginalA,
// kMarginalB, kMarginalC; c stays off 0 under a beta prior).
inline constexpr double kLowestA = kMarginalA.lowest, kHighestA = kMarginalA.highest;
inline constexpr double kLowestB = kMarginalB.lowest, kHighestB = kMarginalB.highest;
inline constexpr double kHighestC = kMarginalC.highest;

// A value with its gradient and Hessian by (a, b, c).
struct ItemObjective {
    double value = 0;
    double gradient[3] = {0, 0, 0};
    double hessian[3][3] = {{0, 0, 0}, {0, 0, 0}, {0, 0, 0}};
};

// One item's expected complete-data log-likelihood, sum over the points of
// correct[k] log P(theta_k) + wrong[k] log Q(theta_k), with its exact first
// and second derivatives. correct and wrong hold the item's row of the
// expected counts. Formed by the kernels, eight points at a time.
ItemObjective ItemExpectedLogLikelihood(const MarginalKernels& kernels, const double* correct,
                                        const double* wrong, const Quadrature& quadrature, double a,
                                        double b, double c);
// The same point after point with the library's exponential and logarithm:
// the plain form, for checking the kernels.
ItemObjective ItemExpectedLogLikelihood(const double* correct, const double* wrong,
                                        const Quadrature& quadrature, double a, double b, double c);

// Adds the log prior densities (and their derivatives) of the free
// parameters that have a prior.
void AddPriors(ItemObjective& objective, double a, double b, double c, const Priors& priors,
               FreeParameters free);

// The M-step for one item: Newton's method on the expected complete-data
// log-likelihood plus the log priors, over the free parameters, with step
// halving so that the objective never falls and the estimates kept inside
// their bounds. Returns the Newton iterations used.
int MaximiseItem(const MarginalKernels& kernels, const double* correct, const double* wrong,
                 const Quadrature& quadrature, const Priors& priors, FreeParameters free, double& a,
                 double& b, double& c);

// Solves m x m system (matrix row-major, symmetric positive definite) by
// Cholesky in place; false when not positive definite. m <= 3.
bool SolveSmall(int m, double matrix[3][3], double rhs[3]);

}  // namespace tarvo::mml
