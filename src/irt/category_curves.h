#pragma once

// The category response functions of items scored 0..m: the graded response
// model (cumulative logistic curves) and the generalized partial credit
// model (adjacent-category logits; the partial credit model is the GPCM
// with a = 1), with D = 1.7 as the rest of the program. Plain functions
// over spans: thresholds b_1..b_m in, m + 1 probabilities out, and the
// derivatives of every probability by (a, b_1, ..., b_m).

#include <span>

namespace tarvo {

// P(X = k), k = 0..m, for P(X >= k) = 1 / (1 + exp(-D a (theta - b_k))).
// The thresholds must be ordered so that the cumulative curves fall with k
// (increasing b for a > 0, decreasing for a < 0); otherwise some P(X = k)
// come out negative, which the caller treats as outside the model.
void GrmProbabilities(double theta, double a, std::span<const double> b, std::span<double> p);

// P(X = k) proportional to exp(sum over j <= k of D a (theta - b_j)).
void GpcmProbabilities(double theta, double a, std::span<const double> b, std::span<double> p);

// The derivatives of P(X = k) by (a, b_1..b_m): (m + 1) rows of (m + 1)
// values, row k for category k, column 0 for a and column j for b_j. p are
// the probabilities at the same point (from the functions above).
void GrmDerivatives(double theta, double a, std::span<const double> b,
                    std::span<double> derivatives);
void GpcmDerivatives(double theta, double a, std::span<const double> b, std::span<const double> p,
                     std::span<double> derivatives);

}  // namespace tarvo
