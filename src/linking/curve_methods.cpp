#include "linking/curve_methods.h"

#include <cmath>

#include "linking/curve_criteria.h"
#include "linking/minimise.h"

namespace tarvo::linking {
namespace {

using Column = std::vector<double> AnchorSet::*;
// The parameters in the order of Sensitivity: base a, b, c, new a, b, c.
constexpr Column kParameters[] = {&AnchorSet::aBase, &AnchorSet::bBase, &AnchorSet::cBase,
                                  &AnchorSet::aNew,  &AnchorSet::bNew,  &AnchorSet::cNew};

}  // namespace

LinkConstants CharacteristicCurveLink(LinkMethod method, const AnchorSet& set,
                                      const LinkSettings& settings, double startA, double startB,
                                      Sensitivity& sensitivity) {
    LinkConstants constants;
    if (set.size() == 0) {
        constants.problem = "no common items";
        return constants;
    }
    const CriterionSettings& c = settings.criterion;
    const AbilityGrid grid = NormalGrid(c.points, c.range, c.mean, c.sd);
    const bool fixed = settings.slopeFixed;
    const int n = fixed ? 1 : 2;

    // The unknowns are (A, B), or B alone with A at 1.
    auto criterion = [&](const AnchorSet& anchors, const double* x, double* gradient) {
        double full[2];
        const double A = fixed ? 1 : x[0], B = fixed ? x[0] : x[1];
        const double value = CurveCriterion(method, anchors, grid, c.symmetric, A, B, full);
        if (fixed) {
            gradient[0] = full[1];
        } else {
            gradient[0] = full[0];
            gradient[1] = full[1];
        }
        return value;
    };
    auto onSet = [&](const double* x, double* gradient) { return criterion(set, x, gradient); };
    const double start[2] = {fixed ? startB : (startA > 0 ? startA : 1), startB};
    const Minimum found = MinimiseNewton(onSet, n, start, fixed ? -INFINITY : 1e-8);
    if (!found.converged || !std::isfinite(found.value)) {
        constants.problem = "the criterion's minimum was not found";
        return constants;
    }
    constants.ok = true;
    constants.A = fixed ? 1 : found.x[0];
    constants.B = fixed ? found.x[0] : found.x[1];

    // d x / d p = -H^-1 d g / d p, with d g / d p from central differences.
    const double(&h)[2][2] = found.hessian;
    const double det = fixed ? h[0][0] : h[0][0] * h[1][1] - h[0][1] * h[1][0];
    sensitivity.dA.assign(6 * set.size(), 0.0);
    sensitivity.dB.assign(6 * set.size(), 0.0);
    if (!(det > 0) || !settings.deltaErrors) return constants;  // no curvature: errors unknown
    AnchorSet moved = set;
    for (std::size_t k = 0; k < set.size(); ++k) {
        for (std::size_t u = 0; u < 6; ++u) {
            double& parameter = (moved.*kParameters[u])[k];
            const double original = parameter;
            const double step = 1e-6 * std::fmax(1.0, std::fabs(original));
            double up[2], down[2];
            parameter = original + step;
            criterion(moved, found.x, up);
            parameter = original - step;
            criterion(moved, found.x, down);
            parameter = original;
            double dg[2];
            for (int i = 0; i < n; ++i) dg[i] = (up[i] - down[i]) / (2 * step);
            if (fixed) {
                sensitivity.dB[6 * k + u] = -dg[0] / h[0][0];
            } else {
                sensitivity.dA[6 * k + u] = -(h[1][1] * dg[0] - h[0][1] * dg[1]) / det;
                sensitivity.dB[6 * k + u] = -(h[0][0] * dg[1] - h[1][0] * dg[0]) / det;
            }
        }
    }
    return constants;
}

}  // namespace tarvo::linking
