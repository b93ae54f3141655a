#pragma once

#include <cmath>

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

// The logarithm of a probability, kept finite: held items with very steep
// curves can give P or Q of exactly 0, and an examinee whose answers no
// point of the grid can explain would otherwise get an undefined posterior.
inline double LogProbability(double p) { return std::log(p > 1e-300 ? p : 1e-300); }

}  // namespace tarvo
