#pragma once

#include <vector>

#include "irt/item_curve.h"

// A common item's curve as the characteristic-curve criteria see it, P = c
// + (u - c) s with s = 1 / (1 + exp(-D a (theta - b))), and the same curve
// carried to the other form's scale by the constants (A, B), with how it
// moves with them. u is 1 for every item but a 4PL one.
namespace tarvo::linking {

struct BoundedCurve {
    double p, s;
};

inline BoundedCurve BoundedCurveAt(double theta, double a, double b, double c, double u) {
    const Curve curve = CurveAt(theta, a, b, c);
    // u = 1 keeps CurveAt's own P, formed without cancellation.
    return {u == 1 ? curve.p : c + (u - c) * curve.s, curve.s};
}

struct MovedCurve {
    double p, dA, dB;
};

// A new item on the base scale: z = D (a / A) (theta - A b - B).
inline MovedCurve NewOnBase(double theta, double a, double b, double c, double u, double A,
                            double B) {
    const BoundedCurve curve = BoundedCurveAt(theta, a / A, A * b + B, c, u);
    const double slope = (u - c) * curve.s * (1 - curve.s);  // dP / dz
    return {curve.p, slope * -kD * a * (theta - B) / (A * A), slope * -kD * a / A};
}

// A base item on the new scale: z = D A a (theta - (b - B) / A)
// = D a (A theta + B - b).
inline MovedCurve BaseOnNew(double theta, double a, double b, double c, double u, double A,
                            double B) {
    const BoundedCurve curve = BoundedCurveAt(theta, A * a, (b - B) / A, c, u);
    const double slope = (u - c) * curve.s * (1 - curve.s);
    return {curve.p, slope * kD * a * theta, slope * kD * a};
}

// One side's items: the fixed side of a scale's part, or the side
// moved to it.
struct CurveItems {
    const std::vector<double>& a;
    const std::vector<double>& b;
    const std::vector<double>& c;
    const std::vector<double>& u;
};

}  // namespace tarvo::linking
