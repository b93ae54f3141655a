#pragma once

#include "irt/item_curve.h"

namespace tarvo {

// The Fisher information of a 3PL item at theta on the D = 1.7 metric,
// I = (D a)^2 (Q / P) ((P - c) / (1 - c))^2. (P - c) / (1 - c) is the
// logistic part s of the curve, so I = (D a s)^2 Q / P, formed without the
// difference P - c that loses every digit far below b.
inline double ItemInformation(double theta, double a, double b, double c) {
    const Curve curve = CurveAt(theta, a, b, c);
    if (!(curve.p > 0)) return 0;
    const double slope = kD * a * curve.s;
    return slope * slope * curve.q / curve.p;
}

}  // namespace tarvo
