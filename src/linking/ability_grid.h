#pragma once

#include <vector>

namespace tarvo::linking {

// Abilities with weights that sum to 1: a fixed grid over which the
// characteristic-curve criteria are summed, or the population a score table
// is formed for.
struct AbilityGrid {
    std::vector<double> theta;
    std::vector<double> weight;
    std::size_t size() const { return theta.size(); }
};

// points equally spaced from mean - range sd to mean + range sd, weighted by
// the normal density of that mean and SD. One point is the mean itself.
AbilityGrid NormalGrid(int points, double range, double mean = 0, double sd = 1);

}  // namespace tarvo::linking
