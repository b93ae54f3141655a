#include "irt/rating_scale_curves.h"

#include <array>
#include <cstddef>

#include "irt/category_curves.h"

namespace tarvo {

namespace {

// Scores 0..8: at most eight thresholds.
constexpr std::size_t kMostSteps = 8;

std::array<double, kMostSteps> Thresholds(double location, std::span<const double> steps) {
    std::array<double, kMostSteps> b{};
    for (std::size_t k = 0; k < steps.size(); ++k) b[k] = location + steps[k];
    return b;
}

}  // namespace

void RsmProbabilities(double theta, double a, double location, std::span<const double> steps,
                      std::span<double> p) {
    const std::array<double, kMostSteps> b = Thresholds(location, steps);
    GpcmProbabilities(theta, a, std::span<const double>(b).first(steps.size()), p);
}

void RsmDerivatives(double theta, double a, double location, std::span<const double> steps,
                    std::span<const double> p, std::span<double> derivatives) {
    const std::size_t m = steps.size();
    const std::array<double, kMostSteps> b = Thresholds(location, steps);
    std::array<double, (kMostSteps + 1) * (kMostSteps + 1)> byB{};
    const std::size_t width = m + 1;
    GpcmDerivatives(theta, a, std::span<const double>(b).first(m), p,
                    std::span<double>(byB).first(width * width));
    // b_k moves with the location and with its own step.
    for (std::size_t k = 0; k <= m; ++k) {
        double* row = derivatives.data() + k * (m + 2);
        row[0] = byB[k * width];
        double byLocation = 0;
        for (std::size_t j = 1; j <= m; ++j) {
            byLocation += byB[k * width + j];
            row[j + 1] = byB[k * width + j];
        }
        row[1] = byLocation;
    }
}

}  // namespace tarvo
