#include "irt/category_curves.h"

#include <cmath>
#include <cstddef>

#include "core/model_constants.h"

namespace tarvo {

namespace {

// The logistic 1 / (1 + exp(-z)) without overflow on either side.
double Logistic(double z) {
    if (z >= 0) return 1 / (1 + std::exp(-z));
    const double e = std::exp(z);
    return e / (1 + e);
}

}  // namespace

void GrmProbabilities(double theta, double a, std::span<const double> b, std::span<double> p) {
    const std::size_t m = b.size();
    double above = 1;  // P(X >= k)
    for (std::size_t k = 0; k < m; ++k) {
        const double next = Logistic(kD * a * (theta - b[k]));
        p[k] = above - next;
        above = next;
    }
    p[m] = above;
}

void GpcmProbabilities(double theta, double a, std::span<const double> b, std::span<double> p) {
    const std::size_t m = b.size();
    // The cumulative logits, then their softmax from the largest so that no
    // exponential overflows.
    double z = 0, largest = 0;
    p[0] = 0;
    for (std::size_t k = 1; k <= m; ++k) {
        z += kD * a * (theta - b[k - 1]);
        p[k] = z;
        if (z > largest) largest = z;
    }
    double sum = 0;
    for (std::size_t k = 0; k <= m; ++k) {
        p[k] = std::exp(p[k] - largest);
        sum += p[k];
    }
    for (std::size_t k = 0; k <= m; ++k) p[k] /= sum;
}

void GrmDerivatives(double theta, double a, std::span<const double> b,
                    std::span<double> derivatives) {
    const std::size_t m = b.size();
    const std::size_t width = m + 1;
    for (double& d : derivatives.first(width * width)) d = 0;
    // Curve k (P(X >= k), k = 1..m) adds its derivative to category k - 1
    // and takes it from category k.
    for (std::size_t k = 1; k <= m; ++k) {
        const double s = Logistic(kD * a * (theta - b[k - 1]));
        const double slope = s * (1 - s);
        const double byA = slope * kD * (theta - b[k - 1]);
        const double byB = -slope * kD * a;
        derivatives[(k - 1) * width] -= byA;
        derivatives[(k - 1) * width + k] -= byB;
        derivatives[k * width] += byA;
        derivatives[k * width + k] += byB;
    }
}

void GpcmDerivatives(double theta, double a, std::span<const double> b, std::span<const double> p,
                     std::span<double> derivatives) {
    const std::size_t m = b.size();
    const std::size_t width = m + 1;
    // z_k = sum over j <= k of D a (theta - b_j): dz_k/da = D sum (theta -
    // b_j), dz_k/db_j = -D a for j <= k. dP_k = P_k (dz_k - sum_l P_l dz_l).
    double meanByA = 0, byA = 0;
    for (std::size_t k = 1; k <= m; ++k) {
        byA += kD * (theta - b[k - 1]);
        meanByA += p[k] * byA;
    }
    // sum over l of P_l dz_l/db_j = -D a P(X >= j).
    double atLeast = 0;
    for (std::size_t k = 0; k <= m; ++k) derivatives[k * width] = 0;
    byA = 0;
    for (std::size_t k = 0; k <= m; ++k) {
        if (k > 0) byA += kD * (theta - b[k - 1]);
        derivatives[k * width] = p[k] * (byA - meanByA);
    }
    for (std::size_t j = m; j >= 1; --j) {
        atLeast += p[j];
        const double meanByB = -kD * a * atLeast;
        for (std::size_t k = 0; k <= m; ++k) {
            const double own = k >= j ? -kD * a : 0;
            derivatives[k * width + j] = p[k] * (own - meanByB);
        }
    }
}

}  // namespace tarvo
