#pragma once

#include <vector>

namespace tarvo::mml {

// Fixed quadrature for the ability distribution: equally spaced points and
// their normal weights, normalised to sum to 1.
struct Quadrature {
    std::vector<double> theta;
    std::vector<double> weight;
    std::vector<double> logWeight;

    int Points() const { return static_cast<int>(theta.size()); }
};

// points equally spaced from -range to +range on the standard scale, moved
// to the population mean and SD: theta = mean + sd * z, weight ~ phi(z).
Quadrature NormalQuadrature(int points, double range, double mean = 0, double sd = 1);

// The same in place, for a quadrature of that many points already.
void MoveQuadrature(Quadrature& quadrature, double range, double mean, double sd);

}  // namespace tarvo::mml
