#pragma once

#include <string>

namespace tarvo::fit {

// How the report's summary lines print a statistic and its p-value: fixed
// decimals, and p to two significant digits (0.031, 4.2e-07); "n/a" where
// the number is not defined.
std::string FixedText(double x, int digits);
std::string PValueText(double p);

}  // namespace tarvo::fit
