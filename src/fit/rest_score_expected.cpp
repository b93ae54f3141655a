#include "fit/rest_score_expected.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstddef>
#include <limits>
#include <vector>

#include "irt/item_curve.h"
#include "irt/summed_scores.h"

namespace tarvo::fit {

namespace {

// What the halving walks over: the items' correct probabilities at the
// grid's points, and one distribution per depth, each with room for every
// score of all items but one.
struct LeaveOneOut {
    std::size_t items = 0;
    std::size_t points = 0;
    std::vector<double> correct;              // item i's row at i * points
    std::vector<std::vector<double>> levels;  // rows 0 .. items - 1 each
    std::span<const double> weight;
    std::span<double> out;

    std::span<const double> Correct(std::size_t i) const {
        return std::span<const double>(correct).subspan(i * points, points);
    }

    // levels[depth] holds the score likelihoods (0 .. reached) of every item
    // outside [first, last).
    void Walk(std::size_t first, std::size_t last, std::size_t depth, std::size_t reached) {
        if (last - first == 1) {
            Expected(first, levels[depth], reached);
            return;
        }
        const std::size_t middle = first + (last - first) / 2;
        Descend(depth, reached, middle, last);
        Walk(first, middle, depth + 1, reached + (last - middle));
        Descend(depth, reached, first, middle);
        Walk(middle, last, depth + 1, reached + (middle - first));
    }

    // The next level: this one with the items [from, to) added.
    void Descend(std::size_t depth, std::size_t reached, std::size_t from, std::size_t to) {
        const std::vector<double>& here = levels[depth];
        std::vector<double>& next = levels[depth + 1];
        std::copy_n(here.begin(), (reached + 1) * points, next.begin());
        for (std::size_t t = from; t < to; ++t) {
            AddRightWrongItem(Correct(t), reached + (t - from), points, next);
        }
    }

    void Expected(std::size_t item, const std::vector<double>& rest, std::size_t reached) {
        assert(reached + 1 == items);
        const std::span<const double> p = Correct(item);
        for (std::size_t r = 0; r <= reached; ++r) {
            const double* row = rest.data() + r * points;
            double correctMass = 0, mass = 0;
            for (std::size_t q = 0; q < points; ++q) {
                const double w = weight[q] * row[q];
                mass += w;
                correctMass += w * p[q];
            }
            out[item * items + r] =
                mass > 0 ? correctMass / mass : std::numeric_limits<double>::quiet_NaN();
        }
    }
};

}  // namespace

void ExpectedProportionsByRestScore(std::span<const double> a, std::span<const double> b,
                                    std::span<const double> c, AbilityGrid grid,
                                    std::span<double> out) {
    LeaveOneOut walk;
    walk.items = a.size();
    walk.points = grid.theta.size();
    walk.weight = grid.weight;
    walk.out = out;
    assert(b.size() == walk.items && c.size() == walk.items);
    assert(grid.weight.size() == walk.points && out.size() == walk.items * walk.items);
    if (walk.items == 0) return;

    walk.correct.resize(walk.items * walk.points);
    for (std::size_t i = 0; i < walk.items; ++i) {
        for (std::size_t q = 0; q < walk.points; ++q) {
            walk.correct[i * walk.points + q] = CurveAt(grid.theta[q], a[i], b[i], c[i]).p;
        }
    }
    // Depth d leaves out a range of about items / 2^d items; the last level
    // leaves out one.
    std::size_t depths = 1;
    for (std::size_t range = walk.items; range > 1; range = (range + 1) / 2) ++depths;
    walk.levels.assign(depths, std::vector<double>(walk.items * walk.points, 0.0));
    std::fill_n(walk.levels[0].begin(), walk.points, 1.0);  // no items: score 0 for certain
    walk.Walk(0, walk.items, 0, 0);
}

}  // namespace tarvo::fit
