#include "linking/methods/curve_criteria.h"

#include "linking/methods/moved_curve.h"

namespace tarvo::linking {
namespace {

// One scale's part: the fixed curves of `fixed` against the moved curves
// of `moved`.
template <class Move>
double ScalePart(LinkMethod method, const AbilityGrid& grid, const CurveItems& fixed,
                 const CurveItems& moved, double A, double B, Move move, double gradient[2]) {
    double value = 0;
    for (std::size_t q = 0; q < grid.size(); ++q) {
        const double theta = grid.theta[q], w = grid.weight[q];
        double fixedSum = 0, movedSum = 0, dASum = 0, dBSum = 0;
        for (std::size_t k = 0; k < fixed.a.size(); ++k) {
            const double p =
                BoundedCurveAt(theta, fixed.a[k], fixed.b[k], fixed.c[k], fixed.u[k]).p;
            const MovedCurve m = move(theta, moved.a[k], moved.b[k], moved.c[k], moved.u[k], A, B);
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
    const CurveItems base{set.aBase, set.bBase, set.cBase, set.uBase};
    const CurveItems fresh{set.aNew, set.bNew, set.cNew, set.uNew};
    double value = ScalePart(method, grid, base, fresh, A, B, NewOnBase, gradient);
    if (symmetric) value += ScalePart(method, grid, fresh, base, A, B, BaseOnNew, gradient);
    return value;
}

}  // namespace tarvo::linking
