#include "linking/tables/score_likelihoods.h"

#include <algorithm>

namespace tarvo::linking {
namespace {

// Adds an item with m categories of probabilities p: the scores 0 .. top
// after it, in to, from those before it in from. Rows of from above the
// scores reached so far must be 0, so that every row may read the m - 1
// rows below it.
void AddItem(const double* from, double* to, const double* p, int m, std::size_t top) {
    if (m == 1) {
        std::copy(from, from + top + 1, to);
        return;
    }
    if (m == 2) {
        const double wrong = p[0], right = p[1];
        to[0] = from[0] * wrong;
        for (std::size_t r = 1; r <= top; ++r) to[r] = from[r] * wrong + from[r - 1] * right;
        return;
    }
    // Category by category, each a pass over the rows.
    for (std::size_t r = 0; r <= top; ++r) to[r] = from[r] * p[0];
    for (std::size_t k = 1; k < static_cast<std::size_t>(m) && k <= top; ++k) {
        const double share = p[k];
        for (std::size_t r = k; r <= top; ++r) to[r] += from[r - k] * share;
    }
}

// The scores 0 .. target of the items at theta, in one of rows (both of
// target + 1 values); categories read from the top when fromTop. Returns
// the row that holds them.
const double* Recursion(const std::vector<ScoredItem>& items, double theta, bool fromTop,
                        std::size_t target, std::vector<double> (&rows)[2]) {
    for (std::vector<double>& row : rows) row.assign(target + 1, 0.0);
    rows[0][0] = 1;
    int from = 0;
    std::size_t reached = 0;
    std::array<double, kMostCategories> p{};
    for (const ScoredItem& item : items) {
        const int m = std::max(item.categories, 1);
        CategoryProbabilitiesAt(item, theta, p.data());
        if (fromTop) std::reverse(p.begin(), p.begin() + m);
        const std::size_t top = std::min(reached + static_cast<std::size_t>(m - 1), target);
        AddItem(rows[from].data(), rows[1 - from].data(), p.data(), m, top);
        reached = top;
        from = 1 - from;
    }
    return rows[from].data();
}

}  // namespace

bool ScoreLikelihoods(const std::vector<ScoredItem>& items, std::span<const double> theta,
                      std::vector<double>& out, const StepWatch& watch) {
    const std::size_t scores = static_cast<std::size_t>(HighestScore(items)) + 1;
    const std::size_t points = theta.size();
    out.resize(scores * points);
    std::vector<double> rows[2];
    for (std::size_t q = 0; q < points; ++q) {
        if (watch.Stopped()) return false;
        watch.Report(static_cast<double>(q) / static_cast<double>(points));
        const double* row = Recursion(items, theta[q], false, scores - 1, rows);
        for (std::size_t s = 0; s < scores; ++s) out[s * points + q] = row[s];
    }
    return true;
}

OneScoreLikelihood::OneScoreLikelihood(const std::vector<ScoredItem>& items)
    : items_(items), highest_(HighestScore(items)) {}

double OneScoreLikelihood::operator()(int score, double theta) {
    const bool fromTop = score > highest_ - score;
    const std::size_t target = static_cast<std::size_t>(fromTop ? highest_ - score : score);
    return Recursion(items_, theta, fromTop, target, rows_)[target];
}

}  // namespace tarvo::linking
