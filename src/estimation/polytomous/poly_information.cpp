#include "estimation/polytomous/poly_information.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "core/estimate_bounds.h"
#include "estimation/marginal/mml_information.h"
#include "estimation/polytomous/poly_louis.h"

namespace tarvo::poly {

namespace {

bool AnyCommonSlope(std::span<const Item> items, std::span<const char> estimated) {
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (estimated[i] && items[i].commonSlope) return true;
    }
    return false;
}

// Every estimated item's free parameters, item after item, then the common
// slope when the items have one.
int TotalFree(std::span<const Item> items, std::span<const char> estimated) {
    int total = AnyCommonSlope(items, estimated) ? 1 : 0;
    for (std::size_t i = 0; i < items.size(); ++i) total += estimated[i] ? FreeCount(items[i]) : 0;
    return total;
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

}  // namespace

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
    if (!AnyCommonSlope(items, estimated)) return logLikelihood;
    double common = 0;
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (estimated[i] && items[i].commonSlope) {
            common += SlopeGradient(items[i], tables.Expected(i), quadrature, priors);
        }
    }
    gradient[at] = common;
    return logLikelihood;
}

std::vector<double> InformationByDifferences(std::vector<Item> items,
                                             std::span<const char> estimated, Responses responses,
                                             const Priors& priors,
                                             const mml::Quadrature& quadrature, EmTables& tables,
                                             WorkerPool& pool,
                                             const std::function<bool()>& keepGoing) {
    const int n = TotalFree(items, estimated);
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
    if (LouisFits(items, quadrature)) {
        return LouisInformation(items, estimated, responses, priors, quadrature, tables, pool,
                                keepGoing);
    }
    return InformationByDifferences(items, estimated, responses, priors, quadrature, tables, pool,
                                    keepGoing);
}

bool SetStandardErrors(std::vector<Item>& items, std::span<const char> estimated,
                       Responses responses, const Priors& priors, const mml::Quadrature& quadrature,
                       EmTables& tables, WorkerPool& pool, const std::function<bool()>& keepGoing) {
    std::vector<double> information = ObservedInformation(items, estimated, responses, priors,
                                                          quadrature, tables, pool, keepGoing);
    const int n = TotalFree(items, estimated);
    if (information.size() != static_cast<std::size_t>(n) * n) return false;
    std::vector<double> se;
    if (!mml::StandardErrorsFrom(information, n, se)) {
        // A parameter the data do not identify: each one's own curvature,
        // which understates the error.
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
        for (int k = 0; k < item.Thresholds(); ++k) item.seB[k] = error();
        if (item.guessFree) item.seC = error();
    }
    if (!AnyCommonSlope(items, estimated)) return true;
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (estimated[i] && items[i].commonSlope)
            items[i].seA = std::min(se[at], kStandardErrorCap);
    }
    return true;
}

}  // namespace tarvo::poly
