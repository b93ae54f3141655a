#include "irt/category_information.h"

#include <cmath>
#include <cstddef>

#include "core/model_constants.h"
#include "irt/category_curves.h"

namespace tarvo {

namespace {

double LogisticSlope(double z) {
    // s (1 - s) of the logistic s = 1 / (1 + exp(-z)), symmetric in z.
    const double e = std::exp(-std::fabs(z));
    return e / ((1 + e) * (1 + e));
}

}  // namespace

void GrmThetaSlopes(double theta, double a, std::span<const double> b, std::span<double> slopes) {
    const std::size_t m = b.size();
    double above = 0;  // the slope of P(X >= k); P(X >= 0) = 1 does not move
    for (std::size_t k = 0; k < m; ++k) {
        const double next = kD * a * LogisticSlope(kD * a * (theta - b[k]));
        slopes[k] = above - next;
        above = next;
    }
    slopes[m] = above;
}

void GpcmThetaSlopes(double a, std::span<const double> p, std::span<double> slopes) {
    double mean = 0;
    for (std::size_t k = 0; k < p.size(); ++k) mean += static_cast<double>(k) * p[k];
    for (std::size_t k = 0; k < p.size(); ++k) {
        slopes[k] = kD * a * p[k] * (static_cast<double>(k) - mean);
    }
}

double CategoryInformation(std::span<const double> p, std::span<const double> slopes) {
    double information = 0;
    for (std::size_t k = 0; k < p.size(); ++k) {
        if (p[k] > 0) information += slopes[k] * slopes[k] / p[k];
    }
    return information;
}

double ExpectedScore(std::span<const double> p) {
    double score = 0;
    for (std::size_t k = 0; k < p.size(); ++k) score += static_cast<double>(k) * p[k];
    return score;
}

void CategoriesAt(bool cumulative, double theta, double a, std::span<const double> b,
                  std::span<double> p, std::span<double> slopes) {
    if (cumulative) {
        GrmProbabilities(theta, a, b, p);
        GrmThetaSlopes(theta, a, b, slopes);
    } else {
        GpcmProbabilities(theta, a, b, p);
        GpcmThetaSlopes(a, p, slopes);
    }
}

}  // namespace tarvo
