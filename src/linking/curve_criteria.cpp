#include "linking/curve_criteria.h"

#include "irt/item_curve.h"

namespace tarvo::linking {
namespace {

// One curve moved by the constants: its probability and how it changes
// with A and B.
struct MovedCurve {
    double p, dA, dB;
};

// A new item on the base scale: z = D (a / A) (theta - A b - B).
MovedCurve NewOnBase(double theta, double a, double b, double c, double A, double B) {
    const Curve curve = CurveAt(theta, a / A, A * b + B, c);
    const double slope = (1 - c) * curve.s * (1 - curve.s);  // dP / dz
    return {curve.p, slope * -kD * a * (theta - B) / (A * A), slope * -kD * a / A};
}

// A base item on the new scale: z = D A a (theta - (b - B) / A)
// = D a (A theta + B - b).
MovedCurve BaseOnNew(double theta, double a, double b, double c, double A, double B) {
    const Curve curve = CurveAt(theta, A * a, (b - B) / A, c);
    const double slope = (1 - c) * curve.s * (1 - curve.s);
    return {curve.p, slope * kD * a * theta, slope * kD * a};
}

// One scale's part: the fixed curves of `fixed` against the moved curves
// of `moved`.
template <class Move>
double ScalePart(LinkMethod method, const AbilityGrid& grid, const std::vector<double>& aFixed,
                 const std::vector<double>& bFixed, const std::vector<double>& cFixed,
                 const std::vector<double>& aMoved, const std::vector<double>& bMoved,
                 const std::vector<double>& cMoved, double A, double B, Move move,
                 double gradient[2]) {
    double value = 0;
    for (std::size_t q = 0; q < grid.size(); ++q) {
        const double theta = grid.theta[q], w = grid.weight[q];
        double fixedSum = 0, movedSum = 0, dASum = 0, dBSum = 0;
        for (std::size_t k = 0; k < aFixed.size(); ++k) {
            const double p = CurveAt(theta, aFixed[k], bFixed[k], cFixed[k]).p;
            const MovedCurve m = move(theta, aMoved[k], bMoved[k], cMoved[k], A, B);
            if (method == LinkMethod::Haebara) {
                const double r = p - m.p;
                value += w * r * r;
                gradient[0] -= 2 * w * r * m.dA;
                gradient[1] -= 2 * w * r * m.dB;
            } else {
                fixedSum += p;
                movedSum += m.p;
                dASum += m.dA;
                dBSum += m.dB;
            }
        }
        if (method == LinkMethod::StockingLord) {
            const double r = fixedSum - movedSum;
            value += w * r * r;
            gradient[0] -= 2 * w * r * dASum;
            gradient[1] -= 2 * w * r * dBSum;
        }
    }
    return value;
}

}  // namespace

double CurveCriterion(LinkMethod method, const AnchorSet& set, const AbilityGrid& grid,
                      bool symmetric, double A, double B, double gradient[2]) {
    gradient[0] = gradient[1] = 0;
    double value = ScalePart(method, grid, set.aBase, set.bBase, set.cBase, set.aNew, set.bNew,
                             set.cNew, A, B, NewOnBase, gradient);
    if (symmetric) {
        value += ScalePart(method, grid, set.aNew, set.bNew, set.cNew, set.aBase, set.bBase,
                           set.cBase, A, B, BaseOnNew, gradient);
    }
    return value;
}

}  // namespace tarvo::linking
