#include "irt/summed_scores.h"

#include <algorithm>
#include <cassert>

namespace tarvo {

std::size_t HighestSummedScore(std::span<const int> categories) {
    std::size_t highest = 0;
    for (const int m : categories) highest += static_cast<std::size_t>(std::max(m, 1) - 1);
    return highest;
}

void SummedScoreLikelihoods(std::span<const int> categories, std::span<const double> probabilities,
                            std::size_t points, std::span<double> out) {
    assert(out.size() == (HighestSummedScore(categories) + 1) * points);
    std::fill(out.begin(), out.end(), 0.0);
    if (points == 0) return;
    std::fill(out.begin(), out.begin() + static_cast<std::ptrdiff_t>(points), 1.0);

    // The scores reached so far are 0 .. reached.
    std::size_t reached = 0;
    std::size_t row = 0;  // the item's first row in probabilities
    for (const int m : categories) {
        const std::size_t scores = static_cast<std::size_t>(std::max(m, 1));
        assert((row + scores) * points <= probabilities.size());
        AddScoredItem(probabilities.subspan(row * points, scores * points), scores, reached, points,
                      out);
        row += scores;
        reached += scores - 1;
    }
}

void AddScoredItem(std::span<const double> probabilities, std::size_t scores, std::size_t reached,
                   std::size_t points, std::span<double> rows) {
    assert(scores >= 1 && rows.size() >= (reached + scores) * points);
    const double* item = probabilities.data();
    // Each new row s is a sum over the rows s - k before it, so going from
    // the top score down lets every row be overwritten in place.
    const std::size_t top = reached + scores - 1;
    for (std::size_t s = top + 1; s-- > 0;) {
        double* target = rows.data() + s * points;
        const std::size_t firstScore = s > reached ? s - reached : 0;
        const std::size_t lastScore = std::min(s, scores - 1);
        for (std::size_t q = 0; q < points; ++q) {
            double sum = 0;
            for (std::size_t k = firstScore; k <= lastScore; ++k) {
                sum += rows[(s - k) * points + q] * item[k * points + q];
            }
            target[q] = sum;
        }
    }
}

void AddRightWrongItem(std::span<const double> correct, std::size_t reached, std::size_t points,
                       std::span<double> rows) {
    assert(correct.size() >= points && rows.size() >= (reached + 2) * points);
    const double* p = correct.data();
    // The new top row has only its correct share; rows reached .. 1 take
    // their correct and incorrect shares; row 0 only its incorrect share.
    double* top = rows.data() + (reached + 1) * points;
    const double* belowTop = top - points;
    for (std::size_t q = 0; q < points; ++q) top[q] = belowTop[q] * p[q];
    for (std::size_t s = reached; s > 0; --s) {
        double* target = rows.data() + s * points;
        const double* below = target - points;
        for (std::size_t q = 0; q < points; ++q) {
            target[q] = target[q] * (1 - p[q]) + below[q] * p[q];
        }
    }
    for (std::size_t q = 0; q < points; ++q) rows[q] *= 1 - p[q];
}

void SummedScoreLikelihoods(std::span<const double> correct, std::size_t points,
                            std::span<double> out) {
    const std::size_t items = points == 0 ? 0 : correct.size() / points;
    assert(out.size() == (items + 1) * points);
    std::fill(out.begin(), out.end(), 0.0);
    if (points == 0) return;
    std::fill(out.begin(), out.begin() + static_cast<std::ptrdiff_t>(points), 1.0);
    for (std::size_t i = 0; i < items; ++i) {
        AddRightWrongItem(correct.subspan(i * points, points), i, points, out);
    }
}

}  // namespace tarvo
