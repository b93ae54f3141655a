#include "estimation/models/scored_items.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "core/model_constants.h"
#include "estimation/models/intercept_curves.h"

namespace tarvo::models::scored {

namespace {

double LocationOf(const Item& item) {
    double sum = 0;
    for (const double d : item.D()) sum += d;
    return sum / item.Thresholds();
}

// The derivatives by (a, d_1..d_m) in a square, carried to the free
// columns: the slope where free, then each intercept or, for a rated item,
// the location, which moves every intercept.
void ToFreeColumns(const Item& item, std::span<const double> square, bool rated,
                   std::span<double> derivatives) {
    const int width = item.categories;
    const int free = item.model->freeCount(item);
    for (int k = 0; k < item.categories; ++k) {
        int at = 0;
        if (item.slopeFree) derivatives[k * free + at++] = square[k * width];
        if (rated) {
            double sum = 0;
            for (int j = 1; j <= item.Thresholds(); ++j) sum += square[k * width + j];
            derivatives[k * free + at] = sum;
            continue;
        }
        for (int j = 1; j <= item.Thresholds(); ++j)
            derivatives[k * free + at++] = square[k * width + j];
    }
}

using Square = std::array<double, kMostCategories * kMostCategories>;

}  // namespace

int FreeCount(const Item& item) { return (item.slopeFree ? 1 : 0) + item.Thresholds(); }

void Pack(const Item& item, std::span<double> values) {
    int at = 0;
    if (item.slopeFree) values[at++] = item.a;
    for (int k = 0; k < item.Thresholds(); ++k) values[at++] = item.d[k];
}

void Unpack(std::span<const double> values, Item& item) {
    int at = 0;
    if (item.slopeFree) item.a = values[at++];
    for (int k = 0; k < item.Thresholds(); ++k) item.d[k] = values[at++];
}

int RatedFreeCount(const Item& item) { return (item.slopeFree ? 1 : 0) + 1; }

void RatedPack(const Item& item, std::span<double> values) {
    int at = 0;
    if (item.slopeFree) values[at++] = item.a;
    values[at] = LocationOf(item);
}

void RatedUnpack(std::span<const double> values, Item& item) {
    int at = 0;
    if (item.slopeFree) item.a = values[at++];
    // The intercepts move together: the steps stay the scale's.
    const double shift = values[at] - LocationOf(item);
    for (int k = 0; k < item.Thresholds(); ++k) item.d[k] += shift;
}

bool KeepInRange(Item& item, double) {
    if (!std::isfinite(item.a) || !std::isfinite(item.c)) return false;
    if (item.commonSlope && !(item.a > 0)) return false;
    for (int k = 0; k < item.Thresholds(); ++k) {
        if (!std::isfinite(item.d[k])) return false;
    }
    if (!item.model->orderedIntercepts) return true;
    // P(X >= k) must fall with k, whatever the slope's sign.
    for (int k = 1; k < item.Thresholds(); ++k) {
        if (!(item.d[k] < item.d[k - 1])) return false;
    }
    return true;
}

void GradedProbabilities(const Item& item, double theta, std::span<double> p) {
    models::GradedProbabilities(theta, item.a, item.D(), p);
}

void PartialProbabilities(const Item& item, double theta, std::span<double> p) {
    models::PartialProbabilities(theta, item.a, item.D(), p);
}

void GradedByParameter(const Item& item, double theta, std::span<const double>,
                       std::span<double> derivatives) {
    const int width = item.categories;
    Square all{};
    GradedDerivatives(theta, item.a, item.D(), std::span<double>(all).first(width * width));
    ToFreeColumns(item, all, false, derivatives);
}

void PartialByParameter(const Item& item, double theta, std::span<const double> p,
                        std::span<double> derivatives) {
    const int width = item.categories;
    Square all{};
    PartialDerivatives(theta, item.a, p.first(item.categories),
                       std::span<double>(all).first(width * width));
    ToFreeColumns(item, all, false, derivatives);
}

void RatedByParameter(const Item& item, double theta, std::span<const double> p,
                      std::span<double> derivatives) {
    const int width = item.categories;
    Square all{};
    PartialDerivatives(theta, item.a, p.first(item.categories),
                       std::span<double>(all).first(width * width));
    ToFreeColumns(item, all, true, derivatives);
}

void GradedByTheta(const Item& item, double theta, std::span<const double>,
                   std::span<double> derivatives) {
    GradedThetaDerivatives(theta, item.a, item.D(), derivatives);
}

void PartialByTheta(const Item& item, double, std::span<const double> p,
                    std::span<double> derivatives) {
    PartialThetaDerivatives(item.a, p.first(static_cast<std::size_t>(item.Thresholds()) + 1),
                            derivatives);
}

double LogPrior(const Item& item, const Priors& priors, double* gradient, double* information) {
    const int free = item.model->freeCount(item);
    double value = 0;
    int at = 0;
    if (item.slopeFree) {
        if (priors.polytomousLogA.on) {
            if (item.a == 0) return -HUGE_VAL;
            // d log|a| / da = 1 / a on either side of 0; the density of a
            // includes the 1 / |a| of the change of variable.
            const double s2 = priors.polytomousLogA.sd * priors.polytomousLogA.sd;
            const double size = std::abs(item.a);
            const double dev = std::log(size) - priors.polytomousLogA.mean;
            value += -std::log(size) - dev * dev / (2 * s2);
            if (gradient) gradient[at] += (-1 - dev / s2) / item.a;
            if (information) {
                const double curvature = (1 - 1 / s2 + dev / s2) / (item.a * item.a);
                information[at * free + at] += std::max(0.0, -curvature);
            }
        }
        ++at;
    }
    if (!priors.polytomousB.on) return value;
    // Normal on b_k = -d_k / (D a), carried to (a, d) by the chain rule;
    // its information by the Gauss-Newton form J' J / s2, which the step's
    // halving makes safe. A slope at 0 leaves no threshold: no density.
    if (item.a == 0) return -HUGE_VAL;
    const double s2 = priors.polytomousB.sd * priors.polytomousB.sd;
    const bool rated = item.model->sharedSteps;
    const double scale = -1 / (kD * item.a);  // db_k / dd_k
    const int slope = item.slopeFree ? 0 : -1;
    for (int k = 0; k < item.Thresholds(); ++k) {
        const double b = item.d[k] * scale;
        const double dev = b - priors.polytomousB.mean;
        value += -dev * dev / (2 * s2);
        const int column = rated ? at : at + k;
        const double byA = -b / item.a;  // db_k / da
        if (gradient) {
            gradient[column] += -dev / s2 * scale;
            if (slope >= 0) gradient[slope] += -dev / s2 * byA;
        }
        if (information) {
            information[column * free + column] += scale * scale / s2;
            if (slope >= 0) {
                information[slope * free + slope] += byA * byA / s2;
                information[slope * free + column] += byA * scale / s2;
                information[column * free + slope] += byA * scale / s2;
            }
        }
    }
    return value;
}

void GradedStart(std::span<const std::int32_t> counts, int sign, Item& item) {
    // The intercepts of the category shares, which hold for either sign.
    item.a = sign;
    double total = 0;
    for (int k = 0; k < item.categories; ++k) total += counts[k];
    double above = total;
    for (int k = 1; k < item.categories; ++k) {
        above -= counts[k - 1];
        const double share = std::clamp((above + 0.5) / (total + 1), 0.01, 0.99);
        item.d[k - 1] = std::log(share / (1 - share));
    }
    // Shares clamped alike leave equal intercepts: part them.
    for (int k = 1; k < item.Thresholds(); ++k) {
        item.d[k] = std::min(item.d[k], item.d[k - 1] - 0.01);
    }
}

void PartialStart(std::span<const std::int32_t> counts, int sign, Item& item) {
    item.a = sign;
    for (int k = 1; k < item.categories; ++k) {
        item.d[k - 1] = std::log((counts[k] + 0.5) / (counts[k - 1] + 0.5));
    }
}

void ReportThresholds(Item& item) {
    for (int k = 0; k < item.Thresholds(); ++k) item.b[k] = -item.d[k] / (kD * item.a);
}

void InterceptsFromThresholds(Item& item) {
    for (int k = 0; k < item.Thresholds(); ++k) item.d[k] = -kD * item.a * item.b[k];
}

}  // namespace tarvo::models::scored
