#pragma once

#include <span>
#include <vector>

namespace tarvo::fit {

// Benjamini-Hochberg adjusted p-values (Benjamini & Hochberg 1995): with the
// m defined p-values sorted, the k-th smallest becomes
// min over j >= k of (m p_(j) / j), at most 1. Flagging the adjusted values
// below alpha keeps the expected share of false flags among the flags at
// alpha. NaN p-values stay NaN and do not count in m.
std::vector<double> BenjaminiHochberg(std::span<const double> p);

}  // namespace tarvo::fit
