#include "linking/methods/curve_methods.h"

#include <cmath>

#include "linking/methods/curve_criteria.h"
#include "linking/methods/curve_sensitivity.h"
#include "linking/methods/minimise.h"

namespace tarvo::linking {
namespace {

// The share of a method's time its minimum takes; the errors take the rest.
constexpr double kMinimumShare = 0.5;

}  // namespace

LinkConstants CharacteristicCurveLink(LinkMethod method, const AnchorSet& set,
                                      const LinkSettings& settings, double startA, double startB,
                                      Sensitivity& sensitivity, const StepWatch& watch) {
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
    auto criterion = [&](const double* x, double* gradient) {
        double full[2];
        const double A = fixed ? 1 : x[0], B = fixed ? x[0] : x[1];
        const double value = CurveCriterion(method, set, grid, c.symmetric, A, B, full);
        if (fixed) {
            gradient[0] = full[1];
        } else {
            gradient[0] = full[0];
            gradient[1] = full[1];
        }
        return value;
    };
    const double start[2] = {fixed ? startB : (startA > 0 ? startA : 1), startB};
    const Minimum found = MinimiseNewton(criterion, n, start, fixed ? -INFINITY : 1e-8,
                                         [&watch] { return watch.Stopped(); });
    if (found.stopped) {
        constants.problem = kStoppedProblem;
        return constants;
    }
    if (!found.converged || !std::isfinite(found.value)) {
        constants.problem = "the criterion's minimum was not found";
        return constants;
    }
    constants.ok = true;
    constants.A = fixed ? 1 : found.x[0];
    constants.B = fixed ? found.x[0] : found.x[1];
    const bool errors = settings.deltaErrors;
    watch.Report(errors ? kMinimumShare : 1);

    // d x / d p = -H^-1 d g / d p, with d g / d p by GradientSensitivity.
    const double(&h)[2][2] = found.hessian;
    const double det = fixed ? h[0][0] : h[0][0] * h[1][1] - h[0][1] * h[1][0];
    sensitivity.dA.assign(kPairParameters * set.size(), 0.0);
    sensitivity.dB.assign(kPairParameters * set.size(), 0.0);
    if (!(det > 0) || !errors) return constants;  // no curvature: errors unknown
    Sensitivity dg;
    if (!GradientSensitivity(method, set, grid, c.symmetric, constants.A, constants.B, dg,
                             watch.Part(kMinimumShare, 1))) {
        constants = LinkConstants{};
        constants.problem = kStoppedProblem;
        return constants;
    }
    for (std::size_t p = 0; p < dg.dA.size(); ++p) {
        // The B part alone when A is held at 1.
        const double g[2] = {fixed ? dg.dB[p] : dg.dA[p], dg.dB[p]};
        if (fixed) {
            sensitivity.dB[p] = -g[0] / h[0][0];
        } else {
            sensitivity.dA[p] = -(h[1][1] * g[0] - h[0][1] * g[1]) / det;
            sensitivity.dB[p] = -(h[0][0] * g[1] - h[1][0] * g[0]) / det;
        }
    }
    return constants;
}

}  // namespace tarvo::linking
