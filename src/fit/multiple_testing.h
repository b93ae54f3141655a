#pragma once

#include <span>
#include <string>
#include <vector>

namespace tarvo::fit {

// Benjamini-Hochberg adjusted p-values (Benjamini & Hochberg 1995): with the
// m defined p-values sorted, the k-th smallest becomes
// min over j >= k of (m p_(j) / j), at most 1. Flagging the adjusted values
// below alpha keeps the expected share of false flags among the flags at
// alpha. NaN p-values stay NaN and do not count in m.
std::vector<double> BenjaminiHochberg(std::span<const double> p);

// How the report's summary lines print a statistic and its p-value: fixed
// decimals, and p to two significant digits (0.031, 4.2e-07); "n/a" where
// the number is not defined.
std::string FixedText(double x, int digits);
std::string PValueText(double p);

}  // namespace tarvo::fit
