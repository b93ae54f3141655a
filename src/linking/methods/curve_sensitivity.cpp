#include "linking/methods/curve_sensitivity.h"

#include <array>
#include <cmath>

#include "linking/methods/moved_curve.h"

namespace tarvo::linking {
namespace {

// How many items are worked between two looks at the watch.
constexpr std::size_t kItemsPerLook = 256;

using Parameters = std::array<double, 4>;  // a, b, c, u

Parameters Of(const CurveItems& items, std::size_t k) {
    return {items.a[k], items.b[k], items.c[k], items.u[k]};
}

double Step(double value) { return 1e-6 * std::fmax(1.0, std::fabs(value)); }

// What the gradient's terms at one ability are formed from: the
// difference of the fixed and moved curves and the moved curves' rates in
// A and B; an item's own for Haebara, the test curves' for Stocking-Lord.
struct Context {
    double r, dA, dB;
};

// One scale's part of every item's sensitivity: the items of `fixed`
// against those of `moved` carried over by `move`, the fixed item's
// parameters at fixedAt in the order of Sensitivity, the moved one's at
// movedAt.
template <class Move>
bool AddScalePart(LinkMethod method, const AbilityGrid& grid, const CurveItems& fixed,
                  const CurveItems& moved, std::size_t fixedAt, std::size_t movedAt, double A,
                  double B, Move move, Sensitivity& out, const StepWatch& watch) {
    const std::size_t items = fixed.a.size(), points = grid.size();
    // Stocking-Lord's test curves at every ability, formed once.
    std::vector<Context> test(points, Context{0, 0, 0});
    if (method == LinkMethod::StockingLord) {
        for (std::size_t q = 0; q < points; ++q) {
            double fixedSum = 0, movedSum = 0;
            for (std::size_t k = 0; k < items; ++k) {
                const Parameters f = Of(fixed, k), m = Of(moved, k);
                fixedSum += BoundedCurveAt(grid.theta[q], f[0], f[1], f[2], f[3]).p;
                const MovedCurve curve = move(grid.theta[q], m[0], m[1], m[2], m[3], A, B);
                movedSum += curve.p;
                test[q].dA += curve.dA;
                test[q].dB += curve.dB;
            }
            test[q].r = fixedSum - movedSum;
        }
    }
    for (std::size_t k = 0; k < items; ++k) {
        if (k % kItemsPerLook == 0) {
            if (watch.Stopped()) return false;
            watch.Report(static_cast<double>(k) / static_cast<double>(items));
        }
        const Parameters f = Of(fixed, k), m = Of(moved, k);
        Parameters fixedSteps, movedSteps;
        for (std::size_t u = 0; u < 4; ++u) {
            fixedSteps[u] = Step(f[u]);
            movedSteps[u] = Step(m[u]);
        }
        double dgA[8] = {}, dgB[8] = {};  // the fixed item's four, then the moved one's
        for (std::size_t q = 0; q < points; ++q) {
            const double theta = grid.theta[q], w = grid.weight[q];
            const double p = BoundedCurveAt(theta, f[0], f[1], f[2], f[3]).p;
            const MovedCurve at = move(theta, m[0], m[1], m[2], m[3], A, B);
            const Context c =
                method == LinkMethod::Haebara ? Context{p - at.p, at.dA, at.dB} : test[q];
            for (std::size_t u = 0; u < 4; ++u) {
                // The fixed curve moves the difference alone.
                Parameters up = f, down = f;
                up[u] += fixedSteps[u];
                down[u] -= fixedSteps[u];
                const double change = BoundedCurveAt(theta, up[0], up[1], up[2], up[3]).p -
                                      BoundedCurveAt(theta, down[0], down[1], down[2], down[3]).p;
                dgA[u] -= 2 * w * c.dA * change / (2 * fixedSteps[u]);
                dgB[u] -= 2 * w * c.dB * change / (2 * fixedSteps[u]);
            }
            for (std::size_t u = 0; u < 4; ++u) {
                // The moved curve moves the difference and the rates:
                // (r + dr+)(d + dd+) - (r + dr-)(d + dd-), each change of
                // the item's own curve from where it stands.
                Parameters up = m, down = m;
                up[u] += movedSteps[u];
                down[u] -= movedSteps[u];
                const MovedCurve plus = move(theta, up[0], up[1], up[2], up[3], A, B);
                const MovedCurve minus = move(theta, down[0], down[1], down[2], down[3], A, B);
                const double rUp = -(plus.p - at.p), rDown = -(minus.p - at.p);
                const double aUp = plus.dA - at.dA, aDown = minus.dA - at.dA;
                const double bUp = plus.dB - at.dB, bDown = minus.dB - at.dB;
                const double changeA =
                    c.r * (aUp - aDown) + c.dA * (rUp - rDown) + rUp * aUp - rDown * aDown;
                const double changeB =
                    c.r * (bUp - bDown) + c.dB * (rUp - rDown) + rUp * bUp - rDown * bDown;
                dgA[4 + u] -= 2 * w * changeA / (2 * movedSteps[u]);
                dgB[4 + u] -= 2 * w * changeB / (2 * movedSteps[u]);
            }
        }
        for (std::size_t u = 0; u < 4; ++u) {
            out.dA[kPairParameters * k + fixedAt + u] += dgA[u];
            out.dB[kPairParameters * k + fixedAt + u] += dgB[u];
            out.dA[kPairParameters * k + movedAt + u] += dgA[4 + u];
            out.dB[kPairParameters * k + movedAt + u] += dgB[4 + u];
        }
    }
    return true;
}

}  // namespace

bool GradientSensitivity(LinkMethod method, const AnchorSet& set, const AbilityGrid& grid,
                         bool symmetric, double A, double B, Sensitivity& gradient,
                         const StepWatch& watch) {
    gradient.dA.assign(kPairParameters * set.size(), 0.0);
    gradient.dB.assign(kPairParameters * set.size(), 0.0);
    const CurveItems base{set.aBase, set.bBase, set.cBase, set.uBase};
    const CurveItems fresh{set.aNew, set.bNew, set.cNew, set.uNew};
    const StepWatch first = symmetric ? watch.Part(0, 0.5) : watch;
    if (!AddScalePart(method, grid, base, fresh, kBaseA, kNewA, A, B, NewOnBase, gradient, first)) {
        return false;
    }
    if (symmetric && !AddScalePart(method, grid, fresh, base, kNewA, kBaseA, A, B, BaseOnNew,
                                   gradient, watch.Part(0.5, 1))) {
        return false;
    }
    watch.Report(1);
    return true;
}

}  // namespace tarvo::linking
