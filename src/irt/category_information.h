#pragma once

// What the results window and other readers of a finished fit draw for an
// item scored 0..m: the slope of every category's probability in theta,
// the item's Fisher information and its expected score. Plain functions
// over spans, on the curves of category_curves.h.

#include <span>

namespace tarvo {

// dP(X = k)/dtheta, k = 0..m. The GRM's: the difference of two cumulative
// curves' slopes, D a P*(1 - P*) each.
void GrmThetaSlopes(double theta, double a, std::span<const double> b, std::span<double> slopes);
// The GPCM's (and so the PCM's): D a P_k (k - E[X]); p are the
// probabilities at theta.
void GpcmThetaSlopes(double a, std::span<const double> p, std::span<double> slopes);

// The item's information at a point: the sum over categories of
// (dP_k/dtheta)^2 / P_k; a category of probability 0 adds nothing.
double CategoryInformation(std::span<const double> p, std::span<const double> slopes);

// The expected score, the sum over categories of k P_k.
double ExpectedScore(std::span<const double> p);

// The probabilities and slopes of an item at theta by its kind: the GRM's
// cumulative curves, or the partial-credit curves of the GPCM, PCM and RSM.
void CategoriesAt(bool cumulative, double theta, double a, std::span<const double> b,
                  std::span<double> p, std::span<double> slopes);

}  // namespace tarvo
