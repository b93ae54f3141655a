#pragma once

// The rating scale model's category response functions: the partial credit
// curves with thresholds b_k = location + tau_k, where the steps tau_1..tau_m
// (summing to 0) are shared by every item of one scale and each item has its
// own location. D = 1.7, as the rest of the program.

#include <span>

namespace tarvo {

// P(X = k), k = 0..m, of an item at the location with the scale's steps.
void RsmProbabilities(double theta, double a, double location, std::span<const double> steps,
                      std::span<double> p);

// The derivatives of P(X = k) by (a, location, tau_1..tau_m): (m + 1) rows
// of (m + 2) values, row k for category k. p are the probabilities at the
// same point. The steps' columns are those of free steps: the caller that
// holds their sum at 0 combines them.
void RsmDerivatives(double theta, double a, double location, std::span<const double> steps,
                    std::span<const double> p, std::span<double> derivatives);

}  // namespace tarvo
