#include "estimation/models/right_wrong_items.h"

#include <algorithm>
#include <cmath>

#include "core/marginal_models.h"
#include "core/model_constants.h"
#include "estimation/marginal/mml_mstep.h"
#include "estimation/models/intercept_curves.h"
#include "irt/item_curve.h"
#include "irt/scored_item.h"

namespace tarvo::models::right_wrong {

int FreeCount(const Item& item) { return (item.slopeFree ? 1 : 0) + 1 + (item.guessFree ? 1 : 0); }

void Pack(const Item& item, std::span<double> values) {
    int at = 0;
    if (item.slopeFree) values[at++] = item.a;
    values[at++] = item.b[0];
    if (item.guessFree) values[at++] = item.c;
}

void Unpack(std::span<const double> values, Item& item) {
    int at = 0;
    if (item.slopeFree) item.a = values[at++];
    item.b[0] = values[at++];
    if (item.guessFree) item.c = values[at++];
}

bool KeepInRange(Item& item, double lowestC) {
    if (!std::isfinite(item.a) || !std::isfinite(item.c)) return false;
    if (!std::isfinite(item.b[0])) return false;
    item.a = std::clamp(item.a, kMarginalA.lowest, kMarginalA.highest);
    if (item.guessFree) item.c = std::clamp(item.c, lowestC, kMarginalC.highest);
    item.b[0] = std::clamp(item.b[0], kMarginalB.lowest, kMarginalB.highest);
    return true;
}

void Probabilities(const Item& item, double theta, std::span<double> p) {
    ItemCategoryProbabilities(ItemScoring::RightWrong, theta, item.a, item.B(), item.c, p);
}

void ByParameter(const Item& item, double theta, std::span<const double>,
                 std::span<double> derivatives) {
    const int free = FreeCount(item);
    // By (a, b, c), then the free columns.
    const Curve curve = CurveAt(theta, item.a, item.b[0], item.c);
    const CurveDerivatives d = DerivativesAt(theta, item.a, item.b[0], item.c, curve);
    for (int k = 0; k < 2; ++k) {
        const double sign = k == 0 ? -1 : 1;
        int at = 0;
        if (item.slopeFree) derivatives[k * free + at++] = sign * d.first[0];
        derivatives[k * free + at++] = sign * d.first[1];
        if (item.guessFree) derivatives[k * free + at++] = sign * d.first[2];
    }
}

void ByTheta(const Item& item, double theta, std::span<const double>,
             std::span<double> derivatives) {
    const double l = Logistic(kD * item.a * (theta - item.b[0]));
    derivatives[1] = (1 - item.c) * kD * item.a * l * (1 - l);
    derivatives[0] = -derivatives[1];
}

double LogPrior(const Item& item, const Priors& priors, double* gradient, double* information) {
    mml::ItemObjective prior;
    mml::AddPriors(prior, item.a, item.b[0], item.c, priors,
                   FreeParameters{item.slopeFree, true, item.guessFree});
    const int free = FreeCount(item);
    int column[3] = {-1, -1, -1};
    int at = 0;
    if (item.slopeFree) column[0] = at++;
    column[1] = at++;
    if (item.guessFree) column[2] = at++;
    for (int u = 0; u < 3; ++u) {
        if (column[u] < 0) continue;
        if (gradient) gradient[column[u]] += prior.gradient[u];
        if (information) {
            information[column[u] * free + column[u]] += std::max(0.0, -prior.hessian[u][u]);
        }
    }
    return prior.value;
}

void Reported(Item&) {}

}  // namespace tarvo::models::right_wrong
