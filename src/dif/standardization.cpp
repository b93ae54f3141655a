#include "dif/standardization.h"

#include <cmath>
#include <limits>

namespace tarvo::dif {

double StandardizedDifference(const ItemStrata& strata) {
    double weighted = 0, weight = 0;
    for (std::size_t s = 0; s < strata.strata; ++s) {
        double n[2] = {0, 0}, sum[2] = {0, 0};
        for (std::size_t g = 0; g < 2; ++g) {
            for (std::size_t y = 0; y < strata.categories; ++y) {
                n[g] += strata.at(s, g, y);
                sum[g] += static_cast<double>(y) * strata.at(s, g, y);
            }
        }
        if (n[0] == 0 || n[1] == 0) continue;
        weighted += n[1] * (sum[1] / n[1] - sum[0] / n[0]);
        weight += n[1];
    }
    return weight > 0 ? weighted / weight : std::numeric_limits<double>::quiet_NaN();
}

double ItemScoreSd(const ItemStrata& strata) {
    double n = 0, sum = 0;
    for (std::size_t s = 0; s < strata.strata; ++s) {
        for (std::size_t g = 0; g < 2; ++g) {
            for (std::size_t y = 0; y < strata.categories; ++y) {
                n += strata.at(s, g, y);
                sum += static_cast<double>(y) * strata.at(s, g, y);
            }
        }
    }
    if (n < 2) return std::numeric_limits<double>::quiet_NaN();
    const double mean = sum / n;
    double squares = 0;
    for (std::size_t s = 0; s < strata.strata; ++s) {
        for (std::size_t g = 0; g < 2; ++g) {
            for (std::size_t y = 0; y < strata.categories; ++y) {
                const double d = static_cast<double>(y) - mean;
                squares += strata.at(s, g, y) * d * d;
            }
        }
    }
    return std::sqrt(squares / (n - 1));
}

char StdPDifCategory(double stdPDif) {
    if (!std::isfinite(stdPDif)) return ' ';
    const double size = std::fabs(stdPDif);
    return size < 0.05 ? 'A' : size < 0.10 ? 'B' : 'C';
}

}  // namespace tarvo::dif
