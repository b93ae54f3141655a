#include "linking/ability_grid.h"

#include <cmath>

namespace tarvo::linking {

AbilityGrid NormalGrid(int points, double range, double mean, double sd) {
    AbilityGrid grid;
    if (points < 1) return grid;
    grid.theta.resize(static_cast<std::size_t>(points));
    grid.weight.resize(static_cast<std::size_t>(points));
    double total = 0;
    for (int q = 0; q < points; ++q) {
        const double z = points == 1 ? 0 : -range + 2 * range * q / (points - 1);
        grid.theta[static_cast<std::size_t>(q)] = mean + sd * z;
        grid.weight[static_cast<std::size_t>(q)] = std::exp(-0.5 * z * z);
        total += grid.weight[static_cast<std::size_t>(q)];
    }
    for (double& w : grid.weight) w /= total;
    return grid;
}

}  // namespace tarvo::linking
