#pragma once

#include <cstdint>
#include <span>

#include "core/model_constants.h"

namespace tarvo {

// 3PL probability of a correct response, bounded to kProbLower..kProbUpper
// (lower bound first; a NaN ends at the upper bound). The 1PL curve is the
// same function with a = 1 and c = 0.
double ProbCorrect(double theta, double a, double b, double c);

// Mean squared residual of one item over its valid responses, or kNoFit (-1)
// when it has fewer than kFewestResponsesForFit (10). column holds the item's codes for every
// examinee and theta their abilities (same length). Sets Nobs to the count of valid responses,
// except when there are no examinees at all (then Nobs is left).
double ItemFitMSE(std::span<const std::uint8_t> column, std::span<const double> theta, double a,
                  double b, double c, std::int32_t& Nobs);

}  // namespace tarvo
