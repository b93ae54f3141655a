#pragma once

#include <cmath>

#include "core/model_constants.h"
#include "irt/item_curve.h"

namespace tarvo::mml {

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

}  // namespace tarvo::mml
