#include "fit/rest_score_expected.h"

#include <algorithm>
#include <array>
#include <cassert>
#include <cmath>
#include <cstddef>
#include <limits>
#include <vector>

#include "irt/item_curve.h"
#include "irt/summed_scores.h"

namespace tarvo::fit {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// The halving over the items: one distribution per depth, each with room
// for every score of the whole test. add(t, reached, rows) adds item t to
// rows that hold the scores 0 .. reached; leaf(i, rows, reached) receives
// the score likelihoods 0 .. reached of every item but i.
template <typename Add, typename Leaf>
struct LeaveOneOut {
    std::vector<std::size_t> below;  // the highest score of the items before i, at i
    std::size_t points = 0;
    std::vector<std::vector<double>> levels;
    Add add;
    Leaf leaf;

    std::size_t Highest(std::size_t from, std::size_t to) const { return below[to] - below[from]; }

    // levels[depth] holds the score likelihoods (0 .. reached) of every item
    // outside [first, last).
    void Walk(std::size_t first, std::size_t last, std::size_t depth, std::size_t reached) {
        if (last - first == 1) {
            leaf(first, levels[depth], reached);
            return;
        }
        const std::size_t middle = first + (last - first) / 2;
        Descend(depth, reached, middle, last);
        Walk(first, middle, depth + 1, reached + Highest(middle, last));
        Descend(depth, reached, first, middle);
        Walk(middle, last, depth + 1, reached + Highest(first, middle));
    }

    // The next level: this one with the items [from, to) added.
    void Descend(std::size_t depth, std::size_t reached, std::size_t from, std::size_t to) {
        const std::vector<double>& here = levels[depth];
        std::vector<double>& next = levels[depth + 1];
        std::copy_n(here.begin(), (reached + 1) * points, next.begin());
        for (std::size_t t = from; t < to; ++t) add(t, reached + Highest(from, t), next);
    }

    // highest[i] is item i's highest score.
    void Run(std::span<const std::size_t> highest) {
        const std::size_t items = highest.size();
        if (items == 0) return;
        below.assign(items + 1, 0);
        for (std::size_t i = 0; i < items; ++i) below[i + 1] = below[i] + highest[i];
        // Depth d leaves out a range of about items / 2^d items; the last
        // level leaves out one.
        std::size_t depths = 1;
        for (std::size_t range = items; range > 1; range = (range + 1) / 2) ++depths;
        levels.assign(depths, std::vector<double>((below[items] + 1) * points, 0.0));
        std::fill_n(levels[0].begin(), points, 1.0);  // no items: score 0 for certain
        Walk(0, items, 0, 0);
    }
};

template <typename Add, typename Leaf>
void WalkLeavingOneOut(std::span<const std::size_t> highest, std::size_t points, Add add,
                       Leaf leaf) {
    LeaveOneOut<Add, Leaf> walk{{}, points, {}, add, leaf};
    walk.Run(highest);
}

}  // namespace

void ExpectedProportionsByRestScore(std::span<const double> a, std::span<const double> b,
                                    std::span<const double> c, AbilityGrid grid,
                                    std::span<double> out) {
    const std::size_t items = a.size();
    const std::size_t points = grid.theta.size();
    assert(b.size() == items && c.size() == items);
    assert(grid.weight.size() == points && out.size() == items * items);
    std::vector<double> correct(items * points);
    for (std::size_t i = 0; i < items; ++i) {
        for (std::size_t q = 0; q < points; ++q) {
            correct[i * points + q] = CurveAt(grid.theta[q], a[i], b[i], c[i]).p;
        }
    }
    auto correctOf = [&](std::size_t i) {
        return std::span<const double>(correct).subspan(i * points, points);
    };
    auto add = [&](std::size_t t, std::size_t reached, std::vector<double>& rows) {
        AddRightWrongItem(correctOf(t), reached, points, rows);
    };
    auto leaf = [&](std::size_t item, const std::vector<double>& rest, std::size_t reached) {
        assert(reached + 1 == items);
        const std::span<const double> p = correctOf(item);
        for (std::size_t r = 0; r <= reached; ++r) {
            const double* row = rest.data() + r * points;
            double correctMass = 0, mass = 0;
            for (std::size_t q = 0; q < points; ++q) {
                const double w = grid.weight[q] * row[q];
                mass += w;
                correctMass += w * p[q];
            }
            out[item * items + r] = mass > 0 ? correctMass / mass : kNaN;
        }
    };
    const std::vector<std::size_t> highest(items, 1);
    WalkLeavingOneOut(highest, points, add, leaf);
}

std::size_t RestScoreCategories::RestScores(std::size_t item) const {
    return (offset[item + 1] - offset[item]) / categories[item];
}

RestScoreCategories ExpectedCategoriesByRestScore(std::span<const ScoredItem> items,
                                                  AbilityGrid grid) {
    const std::size_t points = grid.theta.size();
    assert(grid.weight.size() == points);
    RestScoreCategories out;
    std::vector<std::size_t> highest(items.size());
    std::size_t total = 0;
    for (std::size_t i = 0; i < items.size(); ++i) {
        highest[i] = static_cast<std::size_t>(std::max(items[i].categories, 1) - 1);
        total += highest[i];
    }
    // Every category's probability at every point, item after item.
    std::vector<std::size_t> first(items.size() + 1, 0);
    out.categories.resize(items.size());
    out.offset.assign(items.size() + 1, 0);
    for (std::size_t i = 0; i < items.size(); ++i) {
        out.categories[i] = highest[i] + 1;
        first[i + 1] = first[i] + out.categories[i] * points;
        out.offset[i + 1] = out.offset[i] + (total - highest[i] + 1) * out.categories[i];
    }
    std::vector<double> probabilities(first.back());
    std::array<double, kMostCategories> p{};
    for (std::size_t i = 0; i < items.size(); ++i) {
        for (std::size_t q = 0; q < points; ++q) {
            CategoryProbabilitiesAt(items[i], grid.theta[q], p.data());
            for (std::size_t k = 0; k < out.categories[i]; ++k) {
                probabilities[first[i] + k * points + q] = p[k];
            }
        }
    }
    out.values.assign(out.offset.back(), kNaN);
    auto probabilitiesOf = [&](std::size_t i) {
        return std::span<const double>(probabilities).subspan(first[i], first[i + 1] - first[i]);
    };
    auto add = [&](std::size_t t, std::size_t reached, std::vector<double>& rows) {
        AddScoredItem(probabilitiesOf(t), out.categories[t], reached, points, rows);
    };
    std::vector<double> mass(kMostCategories);
    auto leaf = [&](std::size_t item, const std::vector<double>& rest, std::size_t reached) {
        const std::size_t scores = out.categories[item];
        assert(reached + highest[item] == total);
        const std::span<const double> own = probabilitiesOf(item);
        for (std::size_t r = 0; r <= reached; ++r) {
            const double* row = rest.data() + r * points;
            double all = 0;
            std::fill(mass.begin(), mass.end(), 0.0);
            for (std::size_t q = 0; q < points; ++q) {
                const double w = grid.weight[q] * row[q];
                all += w;
                for (std::size_t k = 0; k < scores; ++k) mass[k] += w * own[k * points + q];
            }
            double* cell = out.values.data() + out.offset[item] + r * scores;
            for (std::size_t k = 0; k < scores; ++k) cell[k] = all > 0 ? mass[k] / all : kNaN;
        }
    };
    WalkLeavingOneOut(highest, points, add, leaf);
    return out;
}

}  // namespace tarvo::fit
