#pragma once

#include "core/marginal_settings.h"
#include "estimation/kernels/mml_kernel_types.h"
#include "estimation/marginal/mml_quadrature.h"
#include "irt/item_curve.h"

namespace tarvo::mml {

// The common slope of the Rasch model is kept in the model table's range
// (kMarginalA): its items' b are held while it moves.
inline constexpr double kLowestA = kMarginalA.lowest, kHighestA = kMarginalA.highest;

// An item's slope and intercept are free: the curve is
// P = c + (1 - c) / (1 + exp(-D (a theta + d))), and b = -d / a where a
// is not 0. The search stops a slope at kSlopeReach (the model table's: a
// likelihood still rising there has no maximum) and an intercept at
// kInterceptReach (P within exp(-1700) of c or 1: an item everyone answered
// alike). c moves on the logit scale, log(c / (1 - c)), kept within
// kLogitCReach of 0 (c within 1e-7 of 0 or 1).
inline constexpr double kInterceptReach = 1000;
inline constexpr double kLogitCReach = 16.2;

// The curve on the slope-intercept form, as the kernels form it.
inline Curve CurveOfLine(double theta, double a, double d, double c) {
    const double z = (kD * theta) * a + kD * d;
    Curve out;
    const double e = std::exp(z >= 0 ? -z : z);
    const double larger = 1 / (1 + e);
    const double smaller = e / (1 + e);
    out.s = z >= 0 ? larger : smaller;
    const double t = z >= 0 ? smaller : larger;
    out.q = (1 - c) * t;
    out.p = c + (1 - c) * out.s;
    return out;
}

// b = -d / a; a slope of exactly 0 is taken as the smallest one of d's
// side, so that b stays a number and D a (theta - b) stays D d.
double LocationOf(double a, double d);

// A value with its gradient and Hessian by three parameters: (a, b, c) for
// AddPriors, (a, d, c) for ItemExpectedLogLikelihood.
struct ItemObjective {
    double value = 0;
    double gradient[3] = {0, 0, 0};
    double hessian[3][3] = {{0, 0, 0}, {0, 0, 0}, {0, 0, 0}};
};

// One item's expected complete-data log-likelihood, sum over the points of
// correct[k] log P(theta_k) + wrong[k] log Q(theta_k), with its exact first
// and second derivatives by (a, d, c). correct and wrong hold the item's
// row of the expected counts. Formed by the kernels, eight points at a time.
ItemObjective ItemExpectedLogLikelihood(const MarginalKernels& kernels, const double* correct,
                                        const double* wrong, const Quadrature& quadrature, double a,
                                        double d, double c);
// The same point after point with the library's exponential and logarithm:
// the plain form, for checking the kernels.
ItemObjective ItemExpectedLogLikelihood(const double* correct, const double* wrong,
                                        const Quadrature& quadrature, double a, double d, double c);

// The objective by (a, d, c) as the one by (a, b, c) at the same point,
// d = -a b.
ItemObjective ByLocation(const ItemObjective& byIntercept, double a, double b);

// Adds the log prior densities (and their derivatives by (a, b, c)) of the
// free parameters that have a prior.
void AddPriors(ItemObjective& objective, double a, double b, double c, const Priors& priors,
               FreeParameters free);

// The M-step for one item: Newton's method on the expected complete-data
// log-likelihood plus the log priors, over the free parameters among
// (a, d, logit c), with step halving so that the objective never falls. The
// priors are those of (a, b, c): their maximum is the same point. Under the
// log-normal prior a stays above 0; otherwise it may take either sign.
// Returns the Newton iterations used.
int MaximiseItem(const MarginalKernels& kernels, const double* correct, const double* wrong,
                 const Quadrature& quadrature, const Priors& priors, FreeParameters free, double& a,
                 double& d, double& c);

// Solves m x m system (matrix row-major, symmetric positive definite) by
// Cholesky in place; false when not positive definite. m <= 3.
bool SolveSmall(int m, double matrix[3][3], double rhs[3]);

}  // namespace tarvo::mml
