#include "fit/multiple_testing.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdio>

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

std::string FixedText(double x, int digits) {
    if (!std::isfinite(x)) return "n/a";
    char text[32];
    std::snprintf(text, sizeof text, "%.*f", digits, x);
    return text;
}

std::string PValueText(double p) {
    if (!std::isfinite(p)) return "n/a";
    char text[32];
    std::snprintf(text, sizeof text, "%.2g", p);
    return text;
}

}  // namespace tarvo::fit
