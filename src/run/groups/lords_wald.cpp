#include "run/groups/lords_wald.h"

#include <array>
#include <cmath>
#include <vector>

#include "estimation/polytomous/poly_em.h"
#include "fit/chi_square.h"

namespace tarvo {

WaldTest LordsWald(const ItemCovariances& covariances, std::size_t reference, std::size_t focal) {
    WaldTest test;
    const std::vector<int>& widths = covariances.widths;
    if (reference >= widths.size() || focal >= widths.size()) {
        test.note = "the fit has no covariances of both groups' copies of the item";
        return test;
    }
    if (covariances.covariance.empty()) {
        test.note = "the covariances were not formed: " + covariances.problem;
        return test;
    }
    const int width = widths[reference];
    if (width == 0 || widths[focal] == 0) {
        test.note = "a group's copy of the item was not estimated";
        return test;
    }
    if (widths[focal] != width) {
        test.note =
            "the groups' copies of the item have different parameters (their scores "
            "differ)";
        return test;
    }
    std::size_t total = 0, from = 0, to = 0;
    for (std::size_t k = 0; k < widths.size(); ++k) {
        if (k == reference) from = total;
        if (k == focal) to = total;
        total += static_cast<std::size_t>(widths[k]);
    }
    if (covariances.values.size() != total || covariances.covariance.size() != total * total) {
        test.note = "the fit's covariances do not match its parameters";
        return test;
    }
    const std::size_t w = static_cast<std::size_t>(width);
    const auto c = [&](std::size_t r, std::size_t s) {
        return covariances.covariance[r * total + s];
    };
    std::array<double, poly::kMostFree> d{}, x{};
    std::array<double, poly::kMostFree * poly::kMostFree> v{};
    for (std::size_t u = 0; u < w; ++u) {
        d[u] = covariances.values[from + u] - covariances.values[to + u];
        for (std::size_t s = 0; s < w; ++s) {
            v[u * w + s] = c(from + u, from + s) + c(to + u, to + s) - c(from + u, to + s) -
                           c(to + u, from + s);
        }
    }
    x = d;
    if (!poly::SolvePositive(width, v, x.data())) {
        test.note = "the covariance of the groups' differences is not positive definite";
        return test;
    }
    double statistic = 0;
    for (std::size_t u = 0; u < w; ++u) statistic += d[u] * x[u];
    if (!std::isfinite(statistic) || statistic < 0) {
        test.note = "the statistic is not finite";
        return test;
    }
    test.statistic = statistic;
    test.df = width;
    test.p = fit::ChiSquareUpperTail(statistic, width);
    return test;
}

}  // namespace tarvo
