// 4PL: a right/wrong item with a lower and an upper asymptote,
//   P(1) = c + (u - c) logistic(D (a theta + d)),  b = -d / a,
// the estimator moving the slope, the intercept d and both asymptotes on
// the logit scale, so that a slope may cross 0 and an asymptote stays in
// (0, 1) with no bound of its own. Its priors are those of (a, b, c) as the
// 3PL has them, carried to the moved parameters, and a beta prior on u.
#include <algorithm>
#include <cmath>

#include "core/model_constants.h"
#include "estimation/marginal/mml_mstep.h"
#include "estimation/models/intercept_curves.h"
#include "estimation/models/model_table.h"
#include "estimation/models/right_wrong_items.h"

namespace tarvo::models {

namespace {

constexpr std::string_view kNames[] = {"a", "b", "c", "u"};

double Logit(double p) { return std::log(p / (1 - p)); }

// The places of the free parameters in the moved vector, -1 where held.
struct Columns {
    int a = -1, d = -1, c = -1, u = -1, count = 0;
};

Columns ColumnsOf(const Item& item) {
    Columns at;
    if (item.slopeFree) at.a = at.count++;
    at.d = at.count++;
    if (item.guessFree) at.c = at.count++;
    if (item.upperFree) at.u = at.count++;
    return at;
}

int FreeCount(const Item& item) { return ColumnsOf(item).count; }

void Pack(const Item& item, std::span<double> values) {
    const Columns at = ColumnsOf(item);
    if (at.a >= 0) values[at.a] = item.a;
    values[at.d] = item.d[0];
    if (at.c >= 0) values[at.c] = Logit(item.c);
    if (at.u >= 0) values[at.u] = Logit(item.u);
}

void Unpack(std::span<const double> values, Item& item) {
    const Columns at = ColumnsOf(item);
    if (at.a >= 0) item.a = values[at.a];
    item.d[0] = values[at.d];
    if (at.c >= 0) item.c = Logistic(values[at.c]);
    if (at.u >= 0) item.u = Logistic(values[at.u]);
    // b follows: the priors and the report read it.
    item.b[0] = item.a != 0 ? -item.d[0] / item.a : 0;
}

// Finite values; the asymptotes are in [0, 1] by their logits, and only
// a step that underflowed one to an end is refused.
bool KeepInRange(Item& item, double) {
    if (!std::isfinite(item.a) || !std::isfinite(item.d[0])) return false;
    if (item.guessFree && !(item.c > 0 && item.c < 1)) return false;
    if (item.upperFree && !(item.u > 0 && item.u < 1)) return false;
    return std::isfinite(item.c) && std::isfinite(item.u);
}

void Probabilities(const Item& item, double theta, std::span<double> p) {
    const double l = Logistic(kD * (item.a * theta + item.d[0]));
    p[1] = item.c + (item.u - item.c) * l;
    p[0] = (1 - item.u) + (item.u - item.c) * (1 - l);
}

void ByParameter(const Item& item, double theta, std::span<const double>,
                 std::span<double> derivatives) {
    const Columns at = ColumnsOf(item);
    const double l = Logistic(kD * (item.a * theta + item.d[0]));
    const double slope = (item.u - item.c) * l * (1 - l) * kD;
    double by[4] = {};
    if (at.a >= 0) by[at.a] = slope * theta;
    by[at.d] = slope;
    if (at.c >= 0) by[at.c] = (1 - l) * item.c * (1 - item.c);
    if (at.u >= 0) by[at.u] = l * item.u * (1 - item.u);
    for (int v = 0; v < at.count; ++v) {
        derivatives[v] = -by[v];
        derivatives[at.count + v] = by[v];
    }
}

void ByTheta(const Item& item, double theta, std::span<const double>,
             std::span<double> derivatives) {
    const double l = Logistic(kD * (item.a * theta + item.d[0]));
    derivatives[1] = (item.u - item.c) * l * (1 - l) * kD * item.a;
    derivatives[0] = -derivatives[1];
}

double LogPrior(const Item& item, const Priors& priors, double* gradient, double* information) {
    const Columns at = ColumnsOf(item);
    const int free = at.count;
    // The (a, b, c) priors as the 3PL has them, by (a, b, c) ...
    mml::ItemObjective prior;
    const double b = item.b[0];
    if (item.slopeFree && priors.logA.on && !(item.a > 0)) return -HUGE_VAL;
    if (priors.b.on && item.a == 0) return -HUGE_VAL;
    mml::AddPriors(prior, item.a, b, item.c, priors,
                   FreeParameters{item.slopeFree, true, item.guessFree});
    // ... carried to (a, d, logit c): b = -d / a, c = logistic(gamma).
    double jacobian[3][4] = {};  // d(a, b, c) / d(moved)
    if (at.a >= 0) {
        jacobian[0][at.a] = 1;
        jacobian[1][at.a] = item.a != 0 ? -b / item.a : 0;
    }
    jacobian[1][at.d] = item.a != 0 ? -1 / item.a : 0;
    if (at.c >= 0) jacobian[2][at.c] = item.c * (1 - item.c);
    double value = prior.value;
    right_wrong::CarryPriors(prior, jacobian, free, gradient, information);
    // Beta on u, by its logit.
    if (at.u >= 0 && priors.u.on) {
        const double al = priors.u.alpha - 1;
        const double be = priors.u.beta - 1;
        const double u = item.u;
        value += al * std::log(u) + be * std::log1p(-u);
        if (gradient) gradient[at.u] += al * (1 - u) - be * u;
        if (information) information[at.u * free + at.u] += std::max(0.0, (al + be) * u * (1 - u));
    }
    return value;
}

void Report(Item& item) { item.b[0] = item.a != 0 ? -item.d[0] / item.a : 0; }

void FromReported(Item& item) { item.d[0] = -item.a * item.b[0]; }

// a as moved; b = -d / a by (a, d); c and u through their logits'
// derivatives c (1 - c) and u (1 - u).
void ReportedVariances(const Item& item, std::span<const double> covariance,
                       std::span<double, 4> variances) {
    const Columns at = ColumnsOf(item);
    const auto cov = [&](int u, int v) { return covariance[u * at.count + v]; };
    variances[0] = at.a >= 0 ? cov(at.a, at.a) : 0;
    variances[1] = at.a >= 0 ? right_wrong::LocationVariance(item, cov(at.a, at.a), cov(at.d, at.d),
                                                             cov(at.a, at.d))
                             : right_wrong::LocationVariance(item, 0, cov(at.d, at.d), 0);
    const double byC = item.c * (1 - item.c);
    variances[2] = at.c >= 0 ? byC * byC * cov(at.c, at.c) : 0;
    const double byU = item.u * (1 - item.u);
    variances[3] = at.u >= 0 ? byU * byU * cov(at.u, at.u) : 0;
}

}  // namespace

const ItemModel kFourPL{
    .name = "4pl",
    .caption = "4PL (with an upper asymptote)",
    .categories = 2,
    .metric = Metric::Location,
    .parameters = kNames,
    .slopeFree = true,
    .commonSlope = false,
    .guessFree = true,
    .upperFree = true,
    .sharedSteps = false,
    .orderedIntercepts = false,
    .optionSlopes = false,
    .priors = {true, true, true, true, true, true, true},
    .freeCount = FreeCount,
    .pack = Pack,
    .unpack = Unpack,
    .keepInRange = KeepInRange,
    .probabilities = Probabilities,
    .byParameter = ByParameter,
    .byTheta = ByTheta,
    .logPrior = LogPrior,
    .start = nullptr,
    .report = Report,
    .fromReported = FromReported,
    .reportedVariances = ReportedVariances,
};

}  // namespace tarvo::models
