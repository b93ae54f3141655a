#pragma once

// Bock's nominal response model for the options of a multiple-choice item:
//   P(X = k) = exp(a_k theta + c_k) / sum_j exp(a_j theta + c_j),
// k = 0..m over the item's m + 1 options, in the logistic metric (no D).
// The first option is the reference, a_0 = c_0 = 0, so the item's free
// parameters are (a_1..a_m, c_1..c_m): any other identification (centred
// contrasts, the key as reference) is the same curves and likelihood with
// the slopes and intercepts shifted by the reference's.
//
// Plain functions over spans, no allocation: the estimator calls them in
// its loops.

#include <cstdint>
#include <span>

namespace tarvo::nominal {

// The most options of an item (codes 1..8).
inline constexpr int kMostOptions = 8;

// The free parameters of an item of the given options: 2 (options - 1).
constexpr int FreeCount(int options) { return 2 * (options - 1); }

// P(X = k), k = 0..m, from the m slopes and intercepts of options 1..m.
// Safe for any finite values: the largest exponent is taken out first.
void Probabilities(double theta, std::span<const double> slopes, std::span<const double> intercepts,
                   std::span<double> p);

// The derivatives of P(X = k) by (a_1..a_m, c_1..c_m): m + 1 rows of 2m
// values, p from Probabilities at the same theta.
//   dP_k / dc_j = P_k (delta_kj - P_j),  dP_k / da_j = theta dP_k / dc_j.
void Derivatives(double theta, std::span<const double> p, std::span<double> derivatives);

// The derivatives of P(X = k) by theta: P_k (a_k - sum_j P_j a_j).
void ThetaDerivatives(std::span<const double> slopes, std::span<const double> p,
                      std::span<double> derivatives);

// The item's discrimination as one number: the keyed option's slope less
// the mean slope of the other options (the same whatever option is the
// reference). 0 without a key.
double KeyedDiscrimination(std::span<const double> slopes, int keyed);

// What the start values are made from: per option, how many chose it and
// the mean rest score (the number right on the other items) of those who
// did.
struct OptionSummary {
    double count = 0;
    double meanRest = 0;
};

// Start values: each intercept the log of its option's share against the
// reference option's; the slopes spread from -1 to +1 (relative to their
// mean) in the order of the options' mean rest scores, the keyed option
// (keyed in 0..m, or -1 without a key) highest; then shifted so that the
// reference option's are 0.
void StartValues(std::span<const OptionSummary> options, int keyed, std::span<double> slopes,
                 std::span<double> intercepts);

// The options' summaries of one item from the codes of every examinee
// (option k as code k, any code of options or above missing) and each
// examinee's number right over all items (rest = right - this item's own).
void SummariseOptions(std::span<const std::uint8_t> codes, std::size_t itemCount, std::size_t item,
                      int options, int keyed, std::span<const double> numberRight,
                      std::span<OptionSummary> summary);

}  // namespace tarvo::nominal
