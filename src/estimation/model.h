#pragma once

#include <cstdint>
#include <span>

namespace tarvo {

// Scaling constant of the logistic model.
inline constexpr double kD = 1.7;
// Probability bounds: 0.001 and 0.999 held in single precision.
inline constexpr double kProbLower = static_cast<double>(0.001f);
inline constexpr double kProbUpper = static_cast<double>(0.999f);

// 3PL probability of a correct response, bounded to kProbLower..kProbUpper
// (lower bound first; a NaN ends at the upper bound). The 1PL curve is the
// same function with a = 1 and c = 0.
double ProbCorrect(double theta, double a, double b, double c);

// Mean squared residual of one item over its valid responses, or -1 when it
// has fewer than 10. column holds the item's codes for every examinee and
// theta their abilities (same length). Sets Nobs to the count of valid
// responses, except when there are no examinees at all (then Nobs is left).
double ItemFitMSE(std::span<const std::uint8_t> column, std::span<const double> theta, double a,
                  double b, double c, std::int32_t& Nobs);

}  // namespace tarvo
