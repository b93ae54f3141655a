#pragma once

// The category curves of an item scored 0..m in the slope-intercept form
// the estimator moves, where a slope of either sign and of any size, 0
// included, is a point of the model:
//   graded:          P(X >= k) = logistic(D a theta + d_k), k = 1..m, with
//                    d_1 > d_2 > .. > d_m so that the curves fall with k;
//   partial credit:  P(X = k) proportional to exp(k D a theta + d_1 + .. + d_k).
// The reported thresholds are b_k = -d_k / (D a): the same curves as
// logistic(D a (theta - b_k)) and exp(sum_j D a (theta - b_j)).

#include <span>

namespace tarvo::models {

// 1 / (1 + exp(-z)) without overflow for any z.
double Logistic(double z);

// P(X = k), k = 0..m, from the m intercepts.
void GradedProbabilities(double theta, double a, std::span<const double> d, std::span<double> p);
void PartialProbabilities(double theta, double a, std::span<const double> d, std::span<double> p);

// The derivatives of P(X = k) by (a, d_1..d_m): m + 1 rows of m + 1
// values. p from the probabilities above at the same theta.
void GradedDerivatives(double theta, double a, std::span<const double> d,
                       std::span<double> derivatives);
void PartialDerivatives(double theta, double a, std::span<const double> p,
                        std::span<double> derivatives);

// The derivatives of P(X = k) by theta.
void GradedThetaDerivatives(double theta, double a, std::span<const double> d,
                            std::span<double> derivatives);
void PartialThetaDerivatives(double a, std::span<const double> p, std::span<double> derivatives);

}  // namespace tarvo::models
