#include "estimation/polytomous/poly_scales.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <utility>

namespace tarvo::poly {

namespace {

constexpr int kMostScoringSteps = 50;
constexpr int kMostHalvings = 30;
constexpr double kSettledStep = 1e-9;

using Steps = std::array<double, kMostThresholds>;

void SetSteps(std::span<const double> steps, Item& item) {
    const double location = LocationOf(item);
    for (int k = 0; k < item.Thresholds(); ++k) item.d[k] = location + steps[k];
}

// The gradient (and information, when asked) of one item's objective by
// the scale's free steps: d_k moves with s_k, and d_m against every free
// step.
void AddStepDerivatives(const Item& item, std::span<const double> expected,
                        const mml::Quadrature& quadrature, const Priors& priors, double* gradient,
                        double* information) {
    const Item raw = WithFreeThresholds(item);
    const int m = item.Thresholds();
    const int n = m - 1;
    std::array<double, kMostFree> g{};
    std::array<double, kMostFree * kMostFree> square{};
    ItemObjective(raw, expected, quadrature, priors, g.data(),
                  information ? square.data() : nullptr);
    const int last = m - 1;
    for (int t = 0; t < n; ++t) {
        gradient[t] += g[t] - g[last];
        if (!information) continue;
        for (int u = 0; u < n; ++u) {
            information[t * n + u] += square[t * m + u] - square[t * m + last] -
                                      square[last * m + u] + square[last * m + last];
        }
    }
}

// Where shared step s is: its scale and the step's place in it.
struct StepPlace {
    std::size_t scale;
    int step;
};
StepPlace PlaceOf(std::span<const Scale> scales, int s) {
    for (std::size_t k = 0; k < scales.size(); ++k) {
        const int free = scales[k].thresholds - 1;
        if (s < free) return {k, s};
        s -= free;
    }
    return {scales.size(), 0};
}

}  // namespace

std::vector<Scale> ScalesOf(std::span<const Item> items, std::span<const char> estimated) {
    std::vector<Scale> scales;
    // A scale's items share their number of thresholds: an item whose
    // categories were merged away apart from its scale's forms its own.
    std::vector<std::pair<int, int>> keys;
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (!estimated[i] || !items[i].model->sharedSteps) continue;
        const std::pair<int, int> key{items[i].scale, items[i].Thresholds()};
        if (std::find(keys.begin(), keys.end(), key) == keys.end()) {
            keys.push_back(key);
            scales.push_back(Scale{items[i].Thresholds(), {}});
        }
        const auto at =
            static_cast<std::size_t>(std::find(keys.begin(), keys.end(), key) - keys.begin());
        scales[at].items.push_back(i);
    }
    return scales;
}

void ShareSteps(std::vector<Item>& items, std::span<const Scale> scales) {
    for (const Scale& scale : scales) {
        Steps mean{}, own{};
        for (const std::size_t i : scale.items) {
            StepsOf(items[i], own);
            for (int k = 0; k < scale.thresholds; ++k)
                mean[k] += own[k] / static_cast<double>(scale.items.size());
        }
        for (const std::size_t i : scale.items) {
            SetSteps(std::span<const double>(mean).first(scale.thresholds), items[i]);
        }
    }
}

double MaximiseScaleSteps(std::vector<Item>& items, const Scale& scale, const EmTables& tables,
                          const mml::Quadrature& quadrature, const Priors& priors) {
    const int m = scale.thresholds;
    const int n = m - 1;
    if (n <= 0 || scale.items.empty()) return 0;
    Steps start{}, steps{};
    StepsOf(items[scale.items.front()], start);
    steps = start;
    // The summed objective at the steps; -inf where an item leaves its model.
    const auto total = [&](const Steps& trial) {
        double value = 0;
        for (const std::size_t i : scale.items) {
            Item moved = items[i];
            SetSteps(std::span<const double>(trial).first(m), moved);
            if (!KeepInRange(moved, 0)) return -HUGE_VAL;
            value += ItemObjective(moved, tables.Expected(i), quadrature, priors, nullptr, nullptr);
        }
        return value;
    };
    for (int pass = 0; pass < kMostScoringSteps; ++pass) {
        std::array<double, kMostFree> step{};
        std::array<double, kMostFree * kMostFree> information{};
        for (const std::size_t i : scale.items) {
            AddStepDerivatives(items[i], tables.Expected(i), quadrature, priors, step.data(),
                               information.data());
        }
        if (!SolvePositive(n, information, step.data())) break;
        double largest = 0;
        for (int t = 0; t < n; ++t) largest = std::max(largest, std::abs(step[t]));
        double stepScale = largest > 1 ? 1 / largest : 1;
        const double value = total(steps);
        bool moved = false;
        for (int halving = 0; halving < kMostHalvings; ++halving, stepScale /= 2) {
            Steps trial = steps;
            trial[m - 1] = 0;
            for (int t = 0; t < n; ++t) {
                trial[t] += stepScale * step[t];
                trial[m - 1] -= trial[t];
            }
            if (total(trial) >= value) {
                steps = trial;
                moved = true;
                break;
            }
        }
        if (moved) {
            for (const std::size_t i : scale.items) {
                SetSteps(std::span<const double>(steps).first(m), items[i]);
            }
        }
        if (!moved || largest * stepScale < kSettledStep) break;
    }
    double change = 0;
    for (int k = 0; k < m; ++k) change = std::max(change, std::abs(steps[k] - start[k]));
    return change;
}

int SharedStepCount(std::span<const Scale> scales) {
    int count = 0;
    for (const Scale& scale : scales) count += scale.thresholds - 1;
    return count;
}

double SharedStepValue(std::span<const Item> items, std::span<const Scale> scales, int s) {
    const StepPlace place = PlaceOf(scales, s);
    Steps steps{};
    StepsOf(items[scales[place.scale].items.front()], steps);
    return steps[place.step];
}

void ShiftSharedStep(std::vector<Item>& items, std::span<const Scale> scales, int s, double delta) {
    const StepPlace place = PlaceOf(scales, s);
    const Scale& scale = scales[place.scale];
    for (const std::size_t i : scale.items) {
        items[i].d[place.step] += delta;
        items[i].d[scale.thresholds - 1] -= delta;
    }
}

void SharedStepGradient(std::span<const Item> items, std::span<const Scale> scales,
                        const EmTables& tables, const mml::Quadrature& quadrature,
                        const Priors& priors, std::span<double> gradient) {
    std::size_t at = 0;
    for (const Scale& scale : scales) {
        const int n = scale.thresholds - 1;
        std::fill_n(gradient.begin() + static_cast<std::ptrdiff_t>(at), n, 0.0);
        for (const std::size_t i : scale.items) {
            AddStepDerivatives(items[i], tables.Expected(i), quadrature, priors,
                               gradient.data() + at, nullptr);
        }
        at += static_cast<std::size_t>(n);
    }
}

}  // namespace tarvo::poly
