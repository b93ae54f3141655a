#include "estimation/models/intercept_curves.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "core/model_constants.h"
#include "core/polytomous_models.h"

namespace tarvo::models {

double Logistic(double z) {
    if (z >= 0) return 1 / (1 + std::exp(-z));
    const double e = std::exp(z);
    return e / (1 + e);
}

void GradedProbabilities(double theta, double a, std::span<const double> d, std::span<double> p) {
    const int m = static_cast<int>(d.size());
    const double slope = kD * a * theta;
    // P(X = k) = P(X >= k) - P(X >= k + 1), from the upper tails where both
    // are near 1 so that the difference keeps its digits.
    for (int k = 0; k <= m; ++k) {
        const double upper = k >= 1 ? slope + d[k - 1] : HUGE_VAL;
        const double lower = k < m ? slope + d[k] : -HUGE_VAL;
        p[k] = lower > 0 ? Logistic(-lower) - Logistic(-upper) : Logistic(upper) - Logistic(lower);
    }
}

void PartialProbabilities(double theta, double a, std::span<const double> d, std::span<double> p) {
    const int m = static_cast<int>(d.size());
    const double slope = kD * a * theta;
    // The exponents, less the largest so that exp cannot overflow.
    double eta = 0, largest = 0;
    p[0] = 0;
    for (int k = 1; k <= m; ++k) {
        eta += slope + d[k - 1];
        p[k] = eta;
        largest = std::max(largest, eta);
    }
    double sum = 0;
    for (int k = 0; k <= m; ++k) {
        p[k] = std::exp(p[k] - largest);
        sum += p[k];
    }
    for (int k = 0; k <= m; ++k) p[k] /= sum;
}

void GradedDerivatives(double theta, double a, std::span<const double> d,
                       std::span<double> derivatives) {
    const int m = static_cast<int>(d.size());
    const int width = m + 1;
    std::fill(derivatives.begin(), derivatives.begin() + width * width, 0.0);
    // w_k = s_k (1 - s_k), the slope of P(X >= k) by its exponent.
    const auto w = [&](int k) {
        if (k < 1 || k > m) return 0.0;
        const double s = Logistic(kD * a * theta + d[k - 1]);
        return s * (1 - s);
    };
    double upper = 0;  // w_k, 0 for k = 0
    for (int k = 0; k <= m; ++k) {
        const double lower = w(k + 1);
        double* row = &derivatives[k * width];
        row[0] = kD * theta * (upper - lower);
        if (k >= 1) row[k] = upper;
        if (k < m) row[k + 1] = -lower;
        upper = lower;
    }
}

void PartialDerivatives(double theta, double /*a*/, std::span<const double> p,
                        std::span<double> derivatives) {
    const int m = static_cast<int>(p.size()) - 1;
    const int width = m + 1;
    double mean = 0;
    for (int k = 0; k <= m; ++k) mean += k * p[k];
    // tail[j] = P(X >= j).
    std::array<double, kMostCategories + 1> tail{};
    for (int j = m; j >= 1; --j) tail[j] = (j < m ? tail[j + 1] : 0) + p[j];
    for (int k = 0; k <= m; ++k) {
        double* row = &derivatives[k * width];
        row[0] = p[k] * kD * theta * (k - mean);
        for (int j = 1; j <= m; ++j) row[j] = p[k] * ((k >= j ? 1.0 : 0.0) - tail[j]);
    }
}

void GradedThetaDerivatives(double theta, double a, std::span<const double> d,
                            std::span<double> derivatives) {
    const int m = static_cast<int>(d.size());
    double upper = 0;
    for (int k = 0; k <= m; ++k) {
        double lower = 0;
        if (k < m) {
            const double s = Logistic(kD * a * theta + d[k]);
            lower = s * (1 - s);
        }
        derivatives[k] = kD * a * (upper - lower);
        upper = lower;
    }
}

void PartialThetaDerivatives(double a, std::span<const double> p, std::span<double> derivatives) {
    const int m = static_cast<int>(p.size()) - 1;
    double mean = 0;
    for (int k = 0; k <= m; ++k) mean += k * p[k];
    for (int k = 0; k <= m; ++k) derivatives[k] = kD * a * p[k] * (k - mean);
}

}  // namespace tarvo::models
