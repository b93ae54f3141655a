#include "estimation/models/nominal_model.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>

namespace tarvo::nominal {

void Probabilities(double theta, std::span<const double> slopes, std::span<const double> intercepts,
                   std::span<double> p) {
    const std::size_t m = slopes.size();
    // Option 0's exponent is 0.
    double largest = 0;
    for (std::size_t k = 0; k < m; ++k)
        largest = std::max(largest, slopes[k] * theta + intercepts[k]);
    p[0] = std::exp(-largest);
    double sum = p[0];
    for (std::size_t k = 0; k < m; ++k) {
        p[k + 1] = std::exp(slopes[k] * theta + intercepts[k] - largest);
        sum += p[k + 1];
    }
    for (std::size_t k = 0; k <= m; ++k) p[k] /= sum;
}

void Derivatives(double theta, std::span<const double> p, std::span<double> derivatives) {
    const std::size_t options = p.size();
    const std::size_t m = options - 1;
    const std::size_t width = 2 * m;
    for (std::size_t k = 0; k < options; ++k) {
        for (std::size_t j = 1; j <= m; ++j) {
            const double byC = p[k] * ((k == j ? 1.0 : 0.0) - p[j]);
            derivatives[k * width + (j - 1)] = theta * byC;
            derivatives[k * width + m + (j - 1)] = byC;
        }
    }
}

void ThetaDerivatives(std::span<const double> slopes, std::span<const double> p,
                      std::span<double> derivatives) {
    const std::size_t m = slopes.size();
    double mean = 0;
    for (std::size_t k = 0; k < m; ++k) mean += p[k + 1] * slopes[k];
    derivatives[0] = p[0] * (0 - mean);
    for (std::size_t k = 0; k < m; ++k) derivatives[k + 1] = p[k + 1] * (slopes[k] - mean);
}

double KeyedDiscrimination(std::span<const double> slopes, int keyed) {
    const int options = static_cast<int>(slopes.size()) + 1;
    if (keyed < 0 || keyed >= options || options < 2) return 0;
    const auto slope = [&](int k) { return k == 0 ? 0.0 : slopes[k - 1]; };
    double others = 0;
    for (int k = 0; k < options; ++k) {
        if (k != keyed) others += slope(k);
    }
    return slope(keyed) - others / (options - 1);
}

void StartValues(std::span<const OptionSummary> options, int keyed, std::span<double> slopes,
                 std::span<double> intercepts) {
    const int count = static_cast<int>(options.size());
    std::array<int, kMostOptions> order{};
    for (int k = 0; k < count; ++k) order[k] = k;
    // Lowest mean rest score first, the keyed option last; ties by option.
    const auto below = [&](int u, int v) {
        if ((u == keyed) != (v == keyed)) return v == keyed;
        if (options[u].meanRest != options[v].meanRest)
            return options[u].meanRest < options[v].meanRest;
        return u < v;
    };
    std::stable_sort(order.begin(), order.begin() + count, below);
    std::array<double, kMostOptions> slope{}, intercept{};
    for (int rank = 0; rank < count; ++rank) {
        slope[order[rank]] = count > 1 ? -1.0 + 2.0 * rank / (count - 1) : 0.0;
    }
    // Half a response more in each option keeps an unchosen one finite.
    for (int k = 0; k < count; ++k) intercept[k] = std::log(options[k].count + 0.5);
    for (int k = 1; k < count; ++k) {
        slopes[k - 1] = slope[k] - slope[0];
        intercepts[k - 1] = intercept[k] - intercept[0];
    }
}

void SummariseOptions(std::span<const std::uint8_t> codes, std::size_t itemCount, std::size_t item,
                      int options, int keyed, std::span<const double> numberRight,
                      std::span<OptionSummary> summary) {
    const std::size_t persons = itemCount == 0 ? 0 : codes.size() / itemCount;
    for (int k = 0; k < options; ++k) summary[k] = OptionSummary{};
    for (std::size_t j = 0; j < persons; ++j) {
        const int code = codes[j * itemCount + item];
        if (code >= options) continue;
        const double rest = numberRight[j] - (code == keyed ? 1.0 : 0.0);
        summary[code].count += 1;
        summary[code].meanRest += rest;
    }
    for (int k = 0; k < options; ++k) {
        if (summary[k].count > 0) summary[k].meanRest /= summary[k].count;
    }
}

}  // namespace tarvo::nominal
