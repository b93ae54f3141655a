#include "estimation/marginal/mml_squarem.h"

#include <algorithm>
#include <cmath>

namespace tarvo::mml {

double SquaredStepLength(std::span<const double> x0, std::span<const double> x1,
                         std::span<const double> x2, double longest) {
    double rr = 0, vv = 0;
    for (std::size_t p = 0; p < x0.size(); ++p) {
        const double r = x1[p] - x0[p];
        const double v = (x2[p] - x1[p]) - r;
        rr += r * r;
        vv += v * v;
    }
    if (!(vv > 0) || !std::isfinite(rr) || !std::isfinite(vv)) return -1;
    return std::clamp(-std::sqrt(rr / vv), -longest, -1.0);
}

void SquaredExtrapolation(std::span<const double> x0, std::span<const double> x1,
                          std::span<const double> x2, double alpha, std::span<double> out) {
    for (std::size_t p = 0; p < x0.size(); ++p) {
        const double r = x1[p] - x0[p];
        const double v = (x2[p] - x1[p]) - r;
        // A parameter EM does not move stays exactly where it is.
        out[p] = r == 0 && v == 0 ? x0[p] : x0[p] - 2 * alpha * r + alpha * alpha * v;
    }
}

}  // namespace tarvo::mml
