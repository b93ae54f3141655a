#include "estimation/models/right_wrong_items.h"

#include <algorithm>
#include <cmath>

#include "core/marginal_models.h"
#include "core/model_constants.h"
#include "estimation/marginal/mml_mstep.h"
#include "estimation/models/intercept_curves.h"
#include "irt/item_curve.h"

namespace tarvo::models::right_wrong {

namespace {

// The places of the free parameters in the moved vector, -1 where held.
struct Columns {
    int a = -1, d = -1, c = -1, count = 0;
};

Columns ColumnsOf(const Item& item) {
    Columns at;
    if (item.slopeFree) at.a = at.count++;
    at.d = at.count++;
    if (item.guessFree) at.c = at.count++;
    return at;
}

}  // namespace

int FreeCount(const Item& item) { return ColumnsOf(item).count; }

void Pack(const Item& item, std::span<double> values) {
    const Columns at = ColumnsOf(item);
    if (at.a >= 0) values[at.a] = item.a;
    values[at.d] = item.d[0];
    if (at.c >= 0) values[at.c] = item.c;
}

void Unpack(std::span<const double> values, Item& item) {
    const Columns at = ColumnsOf(item);
    if (at.a >= 0) item.a = values[at.a];
    item.d[0] = values[at.d];
    if (at.c >= 0) item.c = values[at.c];
    // b follows: the priors read it.
    Report(item);
}

bool KeepInRange(Item& item, double lowestC) {
    if (!std::isfinite(item.a) || !std::isfinite(item.c)) return false;
    if (!std::isfinite(item.d[0])) return false;
    // The slope may take either sign; the search stops it and the
    // intercept where the right/wrong estimator stops them.
    if (item.slopeFree) item.a = std::clamp(item.a, -kSlopeReach, kSlopeReach);
    if (item.guessFree) item.c = std::clamp(item.c, lowestC, kMarginalC.highest);
    item.d[0] = std::clamp(item.d[0], -mml::kInterceptReach, mml::kInterceptReach);
    Report(item);
    return true;
}

void Probabilities(const Item& item, double theta, std::span<double> p) {
    // By b, which follows every move of (a, d): the same bits as the
    // right/wrong estimator's E-step.
    const Curve curve = CurveAt(theta, item.a, item.b[0], item.c);
    p[0] = curve.q;
    p[1] = curve.p;
}

void ByParameter(const Item& item, double theta, std::span<const double>,
                 std::span<double> derivatives) {
    const Columns at = ColumnsOf(item);
    const Curve curve = mml::CurveOfLine(theta, item.a, item.d[0], item.c);
    // dP/dz with z = D (a theta + d).
    const double slope = (1 - item.c) * curve.s * (1 - curve.s) * kD;
    double by[3] = {};
    if (at.a >= 0) by[at.a] = slope * theta;
    by[at.d] = slope;
    if (at.c >= 0) by[at.c] = 1 - curve.s;
    for (int v = 0; v < at.count; ++v) {
        derivatives[v] = -by[v];
        derivatives[at.count + v] = by[v];
    }
}

void ByTheta(const Item& item, double theta, std::span<const double>,
             std::span<double> derivatives) {
    const Curve curve = mml::CurveOfLine(theta, item.a, item.d[0], item.c);
    derivatives[1] = (1 - item.c) * curve.s * (1 - curve.s) * kD * item.a;
    derivatives[0] = -derivatives[1];
}

double LogPrior(const Item& item, const Priors& priors, double* gradient, double* information) {
    const Columns at = ColumnsOf(item);
    const int free = at.count;
    // The log-normal prior holds a slope above 0.
    if (item.slopeFree && priors.logA.on && !(item.a > 0)) return -HUGE_VAL;
    mml::ItemObjective prior;
    const double b = item.b[0];
    mml::AddPriors(prior, item.a, b, item.c, priors,
                   FreeParameters{item.slopeFree, true, item.guessFree});
    // The priors are by (a, b, c); carried to (a, d, c) with b = -d / a.
    // A slope of exactly 0 leaves b no derivative: the prior on b (which
    // then has none) adds nothing.
    const double inverse = item.a != 0 ? 1 / item.a : 0;
    double jacobian[3][4] = {};
    if (at.a >= 0) {
        jacobian[0][at.a] = 1;
        jacobian[1][at.a] = -b * inverse;
    }
    jacobian[1][at.d] = -inverse;
    if (at.c >= 0) jacobian[2][at.c] = 1;
    CarryPriors(prior, jacobian, free, gradient, information);
    return prior.value;
}

void CarryPriors(const mml::ItemObjective& prior, const double (*jacobian)[4], int free,
                 double* gradient, double* information) {
    for (int r = 0; r < 3; ++r) {
        // Their curvature only where it adds information.
        const double curvature = std::max(0.0, -prior.hessian[r][r]);
        for (int v = 0; v < free; ++v) {
            if (gradient) gradient[v] += prior.gradient[r] * jacobian[r][v];
            if (!information) continue;
            for (int w = 0; w < free; ++w) {
                information[v * free + w] += jacobian[r][v] * curvature * jacobian[r][w];
            }
        }
    }
}

void Report(Item& item) { item.b[0] = mml::LocationOf(item.a, item.d[0]); }

void FromReported(Item& item) { item.d[0] = -item.a * item.b[0]; }

double LocationVariance(const Item& item, double varianceA, double varianceD, double covariance) {
    if (item.a == 0) return 0;
    const double byD = -1 / item.a;
    const double byA = item.d[0] / (item.a * item.a);
    return byD * byD * varianceD + (byA * byA * varianceA + 2 * byA * byD * covariance);
}

void ReportedVariances(const Item& item, std::span<const double> covariance,
                       std::span<double, 4> variances) {
    const Columns at = ColumnsOf(item);
    const auto cov = [&](int u, int v) { return covariance[u * at.count + v]; };
    variances[0] = at.a >= 0 ? cov(at.a, at.a) : 0;
    variances[1] = at.a >= 0
                       ? LocationVariance(item, cov(at.a, at.a), cov(at.d, at.d), cov(at.a, at.d))
                       : LocationVariance(item, 0, cov(at.d, at.d), 0);
    variances[2] = at.c >= 0 ? cov(at.c, at.c) : 0;
    variances[3] = 0;
}

}  // namespace tarvo::models::right_wrong
