#pragma once

#include <cmath>
#include <cstddef>
#include <span>

#include "core/model_constants.h"

namespace tarvo {

// The 3PL curve, P = c + (1 - c) / (1 + exp(-D a
// (theta - b))), unbounded: P and Q = 1 - P are each formed without
// subtracting near-equal numbers, so their logarithms stay accurate in the
// tails where the likelihood needs them.
struct Curve {
    double p = 0;  // probability of a correct response
    double q = 0;  // 1 - p
    double s = 0;  // the logistic part 1 / (1 + exp(-z))
};

inline Curve CurveAt(double theta, double a, double b, double c) {
    const double z = kD * a * (theta - b);
    Curve out;
    if (z >= 0) {
        const double e = std::exp(-z);
        out.s = 1 / (1 + e);
        const double t = e / (1 + e);  // 1 - s
        out.q = (1 - c) * t;
        out.p = c + (1 - c) * out.s;
    } else {
        const double e = std::exp(z);
        out.s = e / (1 + e);
        const double t = 1 / (1 + e);
        out.q = (1 - c) * t;
        out.p = c + (1 - c) * out.s;
    }
    return out;
}

// CurveAt for every item at one ability, P into p and Q into q: the same
// bits, item by item, but formed in three loops, of which only the one of
// the exponentials works an item at a time; the other two run several items
// at once, without a branch on the sign.
inline void CurvesAt(double theta, std::span<const double> a, std::span<const double> b,
                     std::span<const double> c, std::span<double> p, std::span<double> q) {
    const std::size_t items = a.size();
    double* z = p.data();         // z until the last loop
    double* exponent = q.data();  // -|z|, then its exponential
    for (std::size_t i = 0; i < items; ++i) {
        z[i] = kD * a[i] * (theta - b[i]);
        exponent[i] = -std::fabs(z[i]);
    }
    for (std::size_t i = 0; i < items; ++i) exponent[i] = std::exp(exponent[i]);
    for (std::size_t i = 0; i < items; ++i) {
        const double e = exponent[i];
        const double smaller = e / (1 + e);
        const double larger = 1 / (1 + e);
        const bool above = z[i] >= 0;
        const double s = above ? larger : smaller;
        exponent[i] = (1 - c[i]) * (above ? smaller : larger);
        z[i] = c[i] + (1 - c[i]) * s;
    }
}

// The logarithm of a probability, kept finite: held items with very steep
// curves can give P or Q of exactly 0, and an examinee whose answers no
// point of the grid can explain would otherwise get an undefined posterior.
inline double LogProbability(double p) { return std::log(p > 1e-300 ? p : 1e-300); }

// First and second derivatives of P by (a, b, c), in that order.
struct CurveDerivatives {
    double first[3];
    double second[3][3];
};

inline CurveDerivatives DerivativesAt(double theta, double a, double b, double c, const Curve& cv) {
    const double s1 = cv.s * (1 - cv.s);    // ds/dz
    const double s2 = s1 * (1 - 2 * cv.s);  // d2s/dz2
    const double dzda = kD * (theta - b);
    const double dzdb = -kD * a;
    CurveDerivatives d{};
    d.first[0] = (1 - c) * s1 * dzda;
    d.first[1] = (1 - c) * s1 * dzdb;
    d.first[2] = 1 - cv.s;
    d.second[0][0] = (1 - c) * s2 * dzda * dzda;
    d.second[0][1] = (1 - c) * (s2 * dzda * dzdb - kD * s1);
    d.second[1][1] = (1 - c) * s2 * dzdb * dzdb;
    d.second[0][2] = -s1 * dzda;
    d.second[1][2] = -s1 * dzdb;
    d.second[2][2] = 0;
    d.second[1][0] = d.second[0][1];
    d.second[2][0] = d.second[0][2];
    d.second[2][1] = d.second[1][2];
    return d;
}

}  // namespace tarvo
