#pragma once

#include <span>

namespace tarvo {

// Rescales the abilities to mean 0 and standard deviation 1, with mean and
// variance (divisor n) taken over the abilities strictly inside -3..3 only;
// every ability is rescaled, those at or beyond the bounds included. Leaves
// the abilities unchanged when that variance is not above 0 (or undefined).
// Returns the standard deviation divided by, or NaN when nothing changed.
double StandardizeTheta(std::span<double> theta);

}  // namespace tarvo
