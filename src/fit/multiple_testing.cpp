#include "fit/multiple_testing.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace tarvo::fit {

std::vector<double> BenjaminiHochberg(std::span<const double> p) {
    std::vector<double> adjusted(p.begin(), p.end());
    std::vector<std::size_t> order;
    order.reserve(p.size());
    for (std::size_t i = 0; i < p.size(); ++i) {
        if (!std::isnan(p[i])) order.push_back(i);
    }
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t x, std::size_t y) { return p[x] < p[y]; });
    const double m = static_cast<double>(order.size());
    double smallestAbove = 1;
    for (std::size_t k = order.size(); k-- > 0;) {
        smallestAbove = std::min(smallestAbove, m * p[order[k]] / static_cast<double>(k + 1));
        adjusted[order[k]] = smallestAbove;
    }
    return adjusted;
}

}  // namespace tarvo::fit
