#include "fit/sx2_table.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstddef>
#include <limits>
#include <set>
#include <utility>

#include "fit/chi_square.h"

namespace tarvo::fit {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
// The fewest expected answers a cell may keep: 1, less a rounding's width,
// so that a cell whose count is 1 in exact arithmetic (a group of one
// examinee joined into one cell) is not joined again for the last bit of
// its sum.
constexpr double kFewestExpected = 1 - 1e-9;

// The groups with examinees, in rest-score order: examinees, and per cell
// the observed and expected counts, cells in category order (a right/wrong
// item's incorrect, then correct answers).
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
        s.observed.insert(s.observed.end(), {n - table.correct[r], table.correct[r]});
        s.expected.insert(s.expected.end(), {n - correct, correct});
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

// The cells not joined away (NaN) by expected count, equals in the order
// of looking down each category's column of groups in turn (k * groups +
// g), so that the first is the smallest and the first of equals; kept as
// cells are joined, so a table of many cells is not searched whole for
// each join.
constexpr double kNoCell = 1e100;
class CellOrder {
  public:
    explicit CellOrder(const Sx2Scratch& s) : groups_(s.examinees.size()), cells_(s.cells) {
        for (std::size_t k = 0; k < cells_; ++k) {
            for (std::size_t g = 0; g < groups_; ++g) {
                const double e = s.expected[g * cells_ + k];
                if (e < kNoCell) order_.emplace(e, k * groups_ + g);
            }
        }
    }
    // The smallest expected count and its cell; kNoCell when none is left.
    double Smallest(std::size_t& group, std::size_t& cell) const {
        if (order_.empty()) return kNoCell;
        const auto& [e, at] = *order_.begin();
        group = at % groups_;
        cell = at / groups_;
        return e;
    }
    // Cell (g, k) had expected count was and now has now (NaN: joined away).
    void Change(std::size_t g, std::size_t k, double was, double now) {
        order_.erase({was, k * groups_ + g});
        if (now < kNoCell) order_.emplace(now, k * groups_ + g);
    }

  private:
    std::size_t groups_, cells_;
    std::set<std::pair<double, std::size_t>> order_;
};

// Joins cells, one at a time, until every expected count left is at least
// 1: the smallest cell is added into another and leaves the table (NaN).
// The other is found by Manhattan distance in (group, category): at
// distance 1, 2, ... every cell at that distance is looked at (group below
// and above, category after and before, in that order, the first of equals
// kept), and the search stops at the first distance where the smallest seen
// so far is below 1; where none is, the smallest cell of the whole table
// takes it. Returns the cells joined away.
int JoinSmallCells(Sx2Scratch& s) {
    const auto groups = static_cast<long>(s.examinees.size());
    const auto cells = static_cast<long>(s.cells);
    const long farthest = groups + cells;
    int joined = 0;
    std::size_t g = 0, k = 0;
    CellOrder order(s);
    while (order.Smallest(g, k) < kFewestExpected) {
        double best = kNoCell;
        long toGroup = -1, toCell = -1;
        const auto probe = [&](long r, long c) {
            if (r < 0 || c < 0 || r >= groups || c >= cells) return;
            const double e = s.expected[static_cast<std::size_t>(r * cells + c)];
            if (e < best) {
                best = e;
                toGroup = r;
                toCell = c;
            }
        };
        const auto row = static_cast<long>(g), column = static_cast<long>(k);
        for (long distance = 1; distance < farthest; ++distance) {
            for (long down = 0; down <= distance; ++down) {
                const long across = distance - down;
                probe(row + down, column + across);
                probe(row + down, column - across);
                probe(row - down, column + across);
                probe(row - down, column - across);
            }
            if (best < kFewestExpected) break;
        }
        const std::size_t from = g * s.cells + k;
        if (toGroup < 0) {
            // The last cell left: nothing to join it with.
            s.expected[from] = s.observed[from] = kNaN;
            ++joined;
            break;
        }
        const auto to = static_cast<std::size_t>(toGroup * cells + toCell);
        const double was = s.expected[to];
        s.expected[to] += s.expected[from];
        s.observed[to] += s.observed[from];
        order.Change(static_cast<std::size_t>(toGroup), static_cast<std::size_t>(toCell), was,
                     s.expected[to]);
        order.Change(g, k, s.expected[from], kNaN);
        s.expected[from] = s.observed[from] = kNaN;
        ++joined;
    }
    return joined;
}

// Pearson X2 over every cell left with an expected count above 0.
double GroupStatistic(const Sx2Scratch& s) {
    double x2 = 0;
    for (std::size_t cell = 0; cell < s.expected.size(); ++cell) {
        const double o = s.observed[cell], e = s.expected[cell];
        if (e > 0) x2 += (o - e) * (o - e) / e;
    }
    return x2;
}

// The statistic of the groups the scratch holds.
Sx2Outcome OutcomeOfGroups(int estimated, Sx2Scratch& scratch) {
    Sx2Outcome out{kNaN, 0, kNaN, 0, 0, Sx2Gap::None};
    if (scratch.examinees.empty()) {
        out.gap = Sx2Gap::NoCompleteExaminees;
        return out;
    }
    out.groups = static_cast<int>(scratch.examinees.size());
    out.joinedCells = JoinSmallCells(scratch);
    const int df = out.groups * (static_cast<int>(scratch.cells) - 1) - estimated - out.joinedCells;
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
