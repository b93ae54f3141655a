#include "shell/results/irt_curves.h"

#include <algorithm>
#include <cmath>
#include <numeric>

#include "core/model_constants.h"
#include "core/polytomous_models.h"
#include "estimation/models/nominal_model.h"
#include "irt/category_information.h"

namespace tarvo::results {

double ResponseProbability(const ItemParameters& item, double theta) {
    return item.c + (1 - item.c) / (1 + std::exp(-kD * item.a * (theta - item.b)));
}

double ItemInformation(const ItemParameters& item, double theta) {
    const double p = ResponseProbability(item, theta);
    if (p <= 0 || item.c >= 1) return 0;
    const double q = 1 - p;
    const double lifted = (p - item.c) / (1 - item.c);
    const double slope = kD * item.a;
    return slope * slope * (q / p) * lifted * lifted;
}

std::vector<double> ThetaGrid(double from, double to, int steps, const std::vector<double>& extra) {
    std::vector<double> grid;
    steps = std::max(steps, 1);
    grid.reserve(static_cast<std::size_t>(steps) + 1 + extra.size());
    for (int i = 0; i <= steps; ++i) grid.push_back(from + (to - from) * i / steps);
    for (double x : extra) {
        if (x >= from && x <= to) grid.push_back(x);
    }
    std::sort(grid.begin(), grid.end());
    grid.erase(std::unique(grid.begin(), grid.end()), grid.end());
    return grid;
}

Curve CharacteristicCurve(const ItemParameters& item, const std::vector<double>& grid) {
    Curve curve{grid, {}};
    curve.value.reserve(grid.size());
    for (double theta : grid) curve.value.push_back(ResponseProbability(item, theta));
    return curve;
}

Curve InformationCurve(const ItemParameters& item, const std::vector<double>& grid) {
    Curve curve{grid, {}};
    curve.value.reserve(grid.size());
    for (double theta : grid) curve.value.push_back(ItemInformation(item, theta));
    return curve;
}

Curve TestInformationCurve(const std::vector<ItemParameters>& items,
                           const std::vector<double>& grid) {
    Curve curve{grid, std::vector<double>(grid.size(), 0.0)};
    for (const ItemParameters& item : items) {
        for (std::size_t i = 0; i < grid.size(); ++i)
            curve.value[i] += ItemInformation(item, grid[i]);
    }
    return curve;
}

Curve StandardErrorCurve(const Curve& information) {
    Curve curve;
    for (std::size_t i = 0; i < information.theta.size(); ++i) {
        if (!(information.value[i] > 0)) continue;
        curve.theta.push_back(information.theta[i]);
        curve.value.push_back(1 / std::sqrt(information.value[i]));
    }
    return curve;
}

namespace {

// The item's probabilities and slopes at every point of the grid, handed to
// `take` point by point.
template <typename Take>
void ForEachPoint(const CategoryItem& item, const std::vector<double>& grid, Take take) {
    const std::size_t categories = item.Categories();
    if (categories < 2 || categories > static_cast<std::size_t>(kMostCategories)) return;
    if (item.nominal && item.intercepts.size() != categories) return;
    double p[kMostCategories], slopes[kMostCategories];
    const std::span<double> pSpan(p, categories), slopeSpan(slopes, categories);
    for (std::size_t i = 0; i < grid.size(); ++i) {
        if (item.nominal) {
            // Options 2.. against the reference option 1.
            const std::span<const double> a(item.slopes), c(item.intercepts);
            nominal::Probabilities(grid[i], a.subspan(1), c.subspan(1), pSpan);
            nominal::ThetaDerivatives(a.subspan(1), pSpan, slopeSpan);
        } else {
            CategoriesAt(item.cumulative, grid[i], item.a, item.b, pSpan, slopeSpan);
        }
        take(i, std::span<const double>(pSpan), std::span<const double>(slopeSpan));
    }
}

}  // namespace

std::vector<Curve> CategoryCurves(const CategoryItem& item, const std::vector<double>& grid) {
    std::vector<Curve> curves(item.Categories() < 2 ? 0 : item.Categories(),
                              Curve{grid, std::vector<double>(grid.size(), 0.0)});
    ForEachPoint(item, grid, [&](std::size_t i, auto p, auto) {
        for (std::size_t k = 0; k < p.size(); ++k) curves[k].value[i] = p[k];
    });
    return curves;
}

Curve ExpectedScoreCurve(const CategoryItem& item, const std::vector<double>& grid) {
    Curve curve{grid, std::vector<double>(grid.size(), 0.0)};
    // A nominal item scores its keyed option 1, any other 0.
    ForEachPoint(item, grid, [&](std::size_t i, auto p, auto) {
        curve.value[i] = !item.nominal ? tarvo::ExpectedScore(p)
                         : item.keyed >= 0 && static_cast<std::size_t>(item.keyed) < p.size()
                             ? p[static_cast<std::size_t>(item.keyed)]
                             : 0.0;
    });
    return curve;
}

Curve InformationCurve(const CategoryItem& item, const std::vector<double>& grid) {
    Curve curve{grid, std::vector<double>(grid.size(), 0.0)};
    ForEachPoint(item, grid, [&](std::size_t i, auto p, auto slopes) {
        curve.value[i] = CategoryInformation(p, slopes);
    });
    return curve;
}

Band ExpectedBand(const ItemParameters& item, const std::vector<AbilityGroup>& groups) {
    Band band;
    for (const AbilityGroup& group : groups) {
        if (group.count <= 0) continue;
        const double p = ResponseProbability(item, group.meanTheta);
        const double half = 1.96 * std::sqrt(p * (1 - p) / group.count);
        band.theta.push_back(group.meanTheta);
        band.lower.push_back(std::max(0.0, p - half));
        band.upper.push_back(std::min(1.0, p + half));
    }
    return band;
}

double Histogram::Density(std::size_t bin) const {
    if (total == 0 || width <= 0) return 0;
    return static_cast<double>(counts[bin]) / (static_cast<double>(total) * width);
}

Histogram AbilityHistogram(const std::vector<double>& thetas, std::size_t maxBins) {
    Histogram histogram;
    double low = INFINITY, high = -INFINITY;
    for (double theta : thetas) {
        if (!std::isfinite(theta)) continue;
        low = std::min(low, theta);
        high = std::max(high, theta);
        ++histogram.total;
    }
    if (histogram.total == 0) return histogram;
    std::size_t bins = static_cast<std::size_t>(std::ceil(std::sqrt(histogram.total)));
    bins = std::clamp<std::size_t>(bins, 1, std::max<std::size_t>(maxBins, 1));
    if (high - low < 1e-9) {  // every theta the same: one bin around it
        low -= 0.5;
        high += 0.5;
        bins = 1;
    }
    histogram.from = low;
    histogram.width = (high - low) / static_cast<double>(bins);
    histogram.counts.assign(bins, 0);
    for (double theta : thetas) {
        if (!std::isfinite(theta)) continue;
        auto bin = static_cast<std::size_t>((theta - low) / histogram.width);
        ++histogram.counts[std::min(bin, bins - 1)];
    }
    return histogram;
}

double StandardNormalDensity(double x) { return std::exp(-0.5 * x * x) / std::sqrt(2 * M_PI); }

}  // namespace tarvo::results
