#pragma once

#include <span>

namespace tarvo::mml {

// Squared extrapolation of EM (Varadhan and Roland's SQUAREM, their third
// step length): from a point x0 and two EM steps x1 = F(x0), x2 = F(x1),
// with r = x1 - x0 and v = x2 - 2 x1 + x0, the point
// x0 - 2 alpha r + alpha^2 v with alpha = -|r| / |v|. alpha = -1 gives x2
// itself; a longer step jumps along the path EM is slowly taking.

// The step length, kept in [-longest, -1] (-1 when v is 0 or not finite).
double SquaredStepLength(std::span<const double> x0, std::span<const double> x1,
                         std::span<const double> x2, double longest);

// The extrapolated point into out (its own storage, the size of x0).
void SquaredExtrapolation(std::span<const double> x0, std::span<const double> x1,
                          std::span<const double> x2, double alpha, std::span<double> out);

// The longest step grows by this factor after a step at the longest was
// kept, and shrinks by it (not below 1) after one was refused.
inline constexpr double kStepGrowth = 4;

}  // namespace tarvo::mml
