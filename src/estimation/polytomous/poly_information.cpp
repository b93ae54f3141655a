#include "estimation/polytomous/poly_information.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "core/estimate_bounds.h"
#include "estimation/marginal/mml_information.h"
#include "estimation/polytomous/poly_louis.h"
#include "estimation/polytomous/poly_scales.h"

namespace tarvo::poly {

namespace {

bool AnyCommonSlope(std::span<const Item> items, std::span<const char> estimated) {
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (estimated[i] && items[i].commonSlope) return true;
    }
    return false;
}

int OwnFree(std::span<const Item> items, std::span<const char> estimated) {
    int total = 0;
    for (std::size_t i = 0; i < items.size(); ++i) total += estimated[i] ? FreeCount(items[i]) : 0;
    return total;
}

// The place of shared step s among the parameters, -1 for the others.
int SharedStepAt(std::span<const Item> items, std::span<const char> estimated, int p) {
    const int s = p - OwnFree(items, estimated) - (AnyCommonSlope(items, estimated) ? 1 : 0);
    return s >= 0 ? s : -1;
}

// Where free parameter p (counted over the estimated items) is: its item
// and its place among the item's free parameters; the item count for the
// common slope.
struct Place {
    std::size_t item;
    int at;
};
Place PlaceOf(std::span<const Item> items, std::span<const char> estimated, int p) {
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (!estimated[i]) continue;
        const int free = FreeCount(items[i]);
        if (p < free) return {i, p};
        p -= free;
    }
    return {items.size(), 0};
}

// Moves free parameter p by delta: the common slope of every item that
// shares it.
void Shift(std::vector<Item>& items, std::span<const char> estimated, int p, double delta) {
    if (const int s = SharedStepAt(items, estimated, p); s >= 0) {
        ShiftSharedStep(items, ScalesOf(items, estimated), s, delta);
        return;
    }
    const Place place = PlaceOf(items, estimated, p);
    if (place.item == items.size()) {
        for (std::size_t i = 0; i < items.size(); ++i) {
            if (estimated[i] && items[i].commonSlope) items[i].a += delta;
        }
        return;
    }
    std::array<double, kMostFree> x{};
    PackFree(items[place.item], x);
    x[place.at] += delta;
    UnpackFree(x, items[place.item]);
}

double ValueOf(const std::vector<Item>& items, std::span<const char> estimated, int p) {
    if (const int s = SharedStepAt(items, estimated, p); s >= 0) {
        return SharedStepValue(items, ScalesOf(items, estimated), s);
    }
    const Place place = PlaceOf(items, estimated, p);
    if (place.item == items.size()) {
        for (std::size_t i = 0; i < items.size(); ++i) {
            if (estimated[i] && items[i].commonSlope) return items[i].a;
        }
        return 0;
    }
    std::array<double, kMostFree> x{};
    PackFree(items[place.item], x);
    return x[place.at];
}

// The inverse of a positive definite matrix, row after row; empty when it
// is not positive definite.
std::vector<double> InverseOf(const std::vector<double>& matrix, int count) {
    const std::size_t n = static_cast<std::size_t>(count);
    std::vector<double> inverse(n * n, 0.0), column(n);
    std::vector<double> l(matrix);
    for (std::size_t j = 0; j < n; ++j) {
        double diagonal = l[j * n + j];
        for (std::size_t k = 0; k < j; ++k) diagonal -= l[j * n + k] * l[j * n + k];
        if (!(diagonal > 0)) return {};
        l[j * n + j] = std::sqrt(diagonal);
        for (std::size_t i = j + 1; i < n; ++i) {
            double sum = l[i * n + j];
            for (std::size_t k = 0; k < j; ++k) sum -= l[i * n + k] * l[j * n + k];
            l[i * n + j] = sum / l[j * n + j];
        }
    }
    for (std::size_t c = 0; c < n; ++c) {
        std::fill(column.begin(), column.end(), 0.0);
        column[c] = 1;
        for (std::size_t i = 0; i < n; ++i) {
            double sum = column[i];
            for (std::size_t k = 0; k < i; ++k) sum -= l[i * n + k] * column[k];
            column[i] = sum / l[i * n + i];
        }
        for (std::size_t i = n; i-- > 0;) {
            double sum = column[i];
            for (std::size_t k = i + 1; k < n; ++k) sum -= l[k * n + i] * column[k];
            column[i] = sum / l[i * n + i];
        }
        for (std::size_t r = 0; r < n; ++r) inverse[r * n + c] = column[r];
    }
    return inverse;
}

// A rated item's threshold b_k = location + tau_k (tau_m minus the sum of
// the free steps): its error from the covariances of the location and the
// scale's steps. Without an inverse the errors stay the location's.
void SetRatedErrors(std::vector<Item>& items, std::span<const char> estimated,
                    const std::vector<double>& information, int n) {
    const std::vector<Scale> scales = ScalesOf(items, estimated);
    if (scales.empty()) return;
    const std::vector<double> covariance = InverseOf(information, n);
    int firstStep = OwnFree(items, estimated) + (AnyCommonSlope(items, estimated) ? 1 : 0);
    for (const Scale& scale : scales) {
        const int m = scale.thresholds;
        for (const std::size_t i : scale.items) {
            int location = 0;
            for (std::size_t before = 0; before < i; ++before) {
                location += estimated[before] ? FreeCount(items[before]) : 0;
            }
            location += items[i].slopeFree ? 1 : 0;
            const double locationError = items[i].seB[0];
            for (int k = 0; k < m; ++k) {
                if (covariance.empty()) {
                    items[i].seB[k] = locationError;
                    continue;
                }
                // The weights of (location, tau_1..tau_(m-1)) in b_k.
                std::array<double, kMostFree> w{};
                std::array<int, kMostFree> at{};
                w[0] = 1;
                at[0] = location;
                for (int t = 0; t + 1 < m; ++t) {
                    w[t + 1] = k == m - 1 ? -1 : (t == k ? 1 : 0);
                    at[t + 1] = firstStep + t;
                }
                double variance = 0;
                for (int u = 0; u < m; ++u) {
                    for (int v = 0; v < m; ++v) {
                        variance +=
                            w[u] * w[v] * covariance[static_cast<std::size_t>(at[u]) * n + at[v]];
                    }
                }
                items[i].seB[k] = variance > 0 ? std::min(std::sqrt(variance), kStandardErrorCap)
                                               : kStandardErrorCap;
            }
        }
        firstStep += m - 1;
    }
}

}  // namespace

// Every estimated item's free parameters, item after item, then the common
// slope when the items have one, then the scales' free steps.
int FreeParameterCount(std::span<const Item> items, std::span<const char> estimated) {
    return OwnFree(items, estimated) + (AnyCommonSlope(items, estimated) ? 1 : 0) +
           SharedStepCount(ScalesOf(items, estimated));
}

double MarginalGradient(std::span<const Item> items, std::span<const char> estimated,
                        Responses responses, const Priors& priors,
                        const mml::Quadrature& quadrature, EmTables& tables, WorkerPool& pool,
                        std::span<double> gradient) {
    const double logLikelihood = EStep(items, responses, quadrature, tables, pool);
    std::size_t at = 0;
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (!estimated[i]) continue;
        ItemObjective(items[i], tables.Expected(i), quadrature, priors, gradient.data() + at,
                      nullptr);
        at += static_cast<std::size_t>(FreeCount(items[i]));
    }
    if (AnyCommonSlope(items, estimated)) {
        double common = 0;
        for (std::size_t i = 0; i < items.size(); ++i) {
            if (estimated[i] && items[i].commonSlope) {
                common += SlopeGradient(items[i], tables.Expected(i), quadrature, priors);
            }
        }
        gradient[at++] = common;
    }
    SharedStepGradient(items, ScalesOf(items, estimated), tables, quadrature, priors,
                       gradient.subspan(at));
    return logLikelihood;
}

std::vector<double> InformationByDifferences(std::vector<Item> items,
                                             std::span<const char> estimated, Responses responses,
                                             const Priors& priors,
                                             const mml::Quadrature& quadrature, EmTables& tables,
                                             WorkerPool& pool,
                                             const std::function<bool()>& keepGoing) {
    const int n = FreeParameterCount(items, estimated);
    std::vector<double> information(static_cast<std::size_t>(n) * n, 0.0);
    std::vector<double> up(static_cast<std::size_t>(n)), down(static_cast<std::size_t>(n));
    for (int p = 0; p < n; ++p) {
        if (!keepGoing()) return {};
        const double h = 1e-5 * std::max(1.0, std::abs(ValueOf(items, estimated, p)));
        Shift(items, estimated, p, h);
        MarginalGradient(items, estimated, responses, priors, quadrature, tables, pool, up);
        Shift(items, estimated, p, -2 * h);
        MarginalGradient(items, estimated, responses, priors, quadrature, tables, pool, down);
        Shift(items, estimated, p, h);
        for (int u = 0; u < n; ++u) information[u * n + p] = -(up[u] - down[u]) / (2 * h);
    }
    for (int u = 0; u < n; ++u) {
        for (int v = 0; v < u; ++v) {
            const double mean = (information[u * n + v] + information[v * n + u]) / 2;
            information[u * n + v] = information[v * n + u] = mean;
        }
    }
    return information;
}

std::vector<double> ObservedInformation(const std::vector<Item>& items,
                                        std::span<const char> estimated, Responses responses,
                                        const Priors& priors, const mml::Quadrature& quadrature,
                                        EmTables& tables, WorkerPool& pool,
                                        const std::function<bool()>& keepGoing) {
    // Louis' pass knows each item's own parameters and a common slope, not
    // the steps the items of a rating scale share.
    if (SharedStepCount(ScalesOf(items, estimated)) == 0 && LouisFits(items, quadrature)) {
        return LouisInformation(items, estimated, responses, priors, quadrature, tables, pool,
                                keepGoing);
    }
    return InformationByDifferences(items, estimated, responses, priors, quadrature, tables, pool,
                                    keepGoing);
}

bool SetStandardErrors(std::vector<Item>& items, std::span<const char> estimated,
                       Responses responses, const Priors& priors, const mml::Quadrature& quadrature,
                       EmTables& tables, WorkerPool& pool, const std::function<bool()>& keepGoing,
                       ErrorForm* form) {
    std::vector<double> information = ObservedInformation(items, estimated, responses, priors,
                                                          quadrature, tables, pool, keepGoing);
    const int n = FreeParameterCount(items, estimated);
    if (information.size() != static_cast<std::size_t>(n) * n) return false;
    std::vector<double> se;
    if (!mml::StandardErrorsFrom(information, n, se)) {
        // A parameter the data do not identify: each one's own curvature,
        // which understates the error.
        if (form != nullptr) *form = ErrorForm::OwnCurvature;
        se.assign(static_cast<std::size_t>(n), kStandardErrorCap);
        for (int p = 0; p < n; ++p) {
            const double diagonal = information[p * n + p];
            if (diagonal > 0) se[p] = 1 / std::sqrt(diagonal);
        }
    }
    int at = 0;
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (!estimated[i]) continue;
        Item& item = items[i];
        const auto error = [&] { return std::min(se[at++], kStandardErrorCap); };
        if (item.slopeFree) item.seA = error();
        // A rated item's own parameter is its location (its thresholds'
        // errors follow with the scale's steps).
        const int own = item.form == ItemForm::Rated ? 1 : item.Thresholds();
        for (int k = 0; k < own; ++k) item.seB[k] = error();
        if (item.guessFree) item.seC = error();
    }
    if (AnyCommonSlope(items, estimated)) {
        for (std::size_t i = 0; i < items.size(); ++i) {
            if (estimated[i] && items[i].commonSlope)
                items[i].seA = std::min(se[at], kStandardErrorCap);
        }
    }
    SetRatedErrors(items, estimated, information, n);
    return true;
}

}  // namespace tarvo::poly
