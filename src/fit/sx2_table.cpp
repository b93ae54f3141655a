#include "fit/sx2_table.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstddef>
#include <limits>

#include "fit/chi_square.h"

namespace tarvo::fit {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kFewestExpected = 1;

// The groups with examinees, in rest-score order: examinees, and per cell
// the observed and expected counts. A right/wrong item's cells are its
// correct and incorrect answers.
void StartGroups(std::size_t cells, Sx2Scratch& s) {
    s.cells = cells;
    s.examinees.clear();
    s.observed.clear();
    s.expected.clear();
}

void RightWrongGroups(const Sx2Table& table, Sx2Scratch& s) {
    StartGroups(2, s);
    for (std::size_t r = 0; r < table.examinees.size(); ++r) {
        const double n = table.examinees[r];
        if (n <= 0) continue;
        const double e = table.expected[r];
        const double correct = std::isnan(e) ? 0 : n * e;
        s.examinees.push_back(n);
        s.observed.insert(s.observed.end(), {table.correct[r], n - table.correct[r]});
        s.expected.insert(s.expected.end(), {correct, n - correct});
    }
}

void CategoryGroups(const CategorySx2Table& table, Sx2Scratch& s) {
    const std::size_t cells = table.categories;
    StartGroups(cells, s);
    for (std::size_t r = 0; r < table.examinees.size(); ++r) {
        const double n = table.examinees[r];
        if (n <= 0) continue;
        s.examinees.push_back(n);
        for (std::size_t k = 0; k < cells; ++k) {
            const double e = table.expected[r * cells + k];
            s.observed.push_back(table.observed[r * cells + k]);
            s.expected.push_back(std::isnan(e) ? 0 : n * e);
        }
    }
}

double SmallestExpected(const Sx2Scratch& s, std::size_t g) {
    const auto first = s.expected.begin() + static_cast<std::ptrdiff_t>(g * s.cells);
    return *std::min_element(first, first + static_cast<std::ptrdiff_t>(s.cells));
}

void JoinInto(Sx2Scratch& s, std::size_t from, std::size_t to) {
    s.examinees[to] += s.examinees[from];
    for (std::size_t k = 0; k < s.cells; ++k) {
        s.observed[to * s.cells + k] += s.observed[from * s.cells + k];
        s.expected[to * s.cells + k] += s.expected[from * s.cells + k];
    }
    const auto at = static_cast<std::ptrdiff_t>(from * s.cells);
    const auto width = static_cast<std::ptrdiff_t>(s.cells);
    s.examinees.erase(s.examinees.begin() + static_cast<std::ptrdiff_t>(from));
    s.observed.erase(s.observed.begin() + at, s.observed.begin() + at + width);
    s.expected.erase(s.expected.begin() + at, s.expected.begin() + at + width);
}

// Pearson X2 over every cell of every group.
double GroupStatistic(const Sx2Scratch& s) {
    double x2 = 0;
    for (std::size_t cell = 0; cell < s.expected.size(); ++cell) {
        const double o = s.observed[cell], e = s.expected[cell];
        if (e > 0) x2 += (o - e) * (o - e) / e;
    }
    return x2;
}

int CollapseAdjacentGroups(Sx2Scratch& s) {
    auto small = [&](std::size_t g) { return SmallestExpected(s, g) < kFewestExpected; };
    while (s.examinees.size() > 1 && small(0)) JoinInto(s, 0, 1);
    while (s.examinees.size() > 1 && small(s.examinees.size() - 1)) {
        JoinInto(s, s.examinees.size() - 1, s.examinees.size() - 2);
    }
    // A small group left inside (few examinees there) joins the neighbour
    // with the smaller expected count. The groups below g are large, and a
    // large group stays large with another added, so after either join g is
    // the next group to look at.
    for (std::size_t g = 1; g + 1 < s.examinees.size();) {
        if (!small(g)) {
            ++g;
            continue;
        }
        const bool down = SmallestExpected(s, g - 1) <= SmallestExpected(s, g + 1);
        JoinInto(s, g, down ? g - 1 : g + 1);
    }
    return static_cast<int>(s.examinees.size());
}

// The statistic of the groups the scratch holds.
Sx2Outcome OutcomeOfGroups(int estimated, Sx2Scratch& scratch) {
    Sx2Outcome out{kNaN, 0, kNaN, 0, Sx2Gap::None};
    if (scratch.examinees.empty()) {
        out.gap = Sx2Gap::NoCompleteExaminees;
        return out;
    }
    out.groups = CollapseAdjacentGroups(scratch);
    const int df = out.groups * (static_cast<int>(scratch.cells) - 1) - estimated;
    if (df < 1) {
        out.gap = Sx2Gap::NoDegreesOfFreedom;
        return out;
    }
    out.statistic = GroupStatistic(scratch);
    out.df = df;
    out.p = ChiSquareUpperTail(out.statistic, df);
    return out;
}

}  // namespace

Sx2Outcome Sx2FromTable(const Sx2Table& table, int estimated, Sx2Scratch& scratch) {
    assert(table.correct.size() == table.examinees.size() &&
           table.expected.size() == table.examinees.size());
    RightWrongGroups(table, scratch);
    return OutcomeOfGroups(estimated, scratch);
}

Sx2Outcome Sx2FromCategoryTable(const CategorySx2Table& table, int estimated, Sx2Scratch& scratch) {
    assert(table.categories >= 1);
    assert(table.observed.size() == table.examinees.size() * table.categories &&
           table.expected.size() == table.examinees.size() * table.categories);
    CategoryGroups(table, scratch);
    return OutcomeOfGroups(estimated, scratch);
}

}  // namespace tarvo::fit
