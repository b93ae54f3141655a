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

// The groups with examinees, in rest-score order: examinees, observed and
// expected correct answers.
void GroupsWithExaminees(const Sx2Table& table, Sx2Scratch& s) {
    s.examinees.clear();
    s.observed.clear();
    s.expected.clear();
    for (std::size_t r = 0; r < table.examinees.size(); ++r) {
        const double n = table.examinees[r];
        if (n <= 0) continue;
        const double e = table.expected[r];
        s.examinees.push_back(n);
        s.observed.push_back(table.correct[r]);
        s.expected.push_back(std::isnan(e) ? 0 : n * e);
    }
}

double SmallerExpected(const Sx2Scratch& s, std::size_t g) {
    return std::min(s.expected[g], s.examinees[g] - s.expected[g]);
}

void JoinInto(Sx2Scratch& s, std::size_t from, std::size_t to) {
    s.examinees[to] += s.examinees[from];
    s.observed[to] += s.observed[from];
    s.expected[to] += s.expected[from];
    const auto at = static_cast<std::ptrdiff_t>(from);
    s.examinees.erase(s.examinees.begin() + at);
    s.observed.erase(s.observed.begin() + at);
    s.expected.erase(s.expected.begin() + at);
}

// Pearson X2 over both cells (correct, incorrect) of every group.
double GroupStatistic(const Sx2Scratch& s) {
    double x2 = 0;
    for (std::size_t g = 0; g < s.examinees.size(); ++g) {
        const double n = s.examinees[g], o = s.observed[g], e = s.expected[g];
        if (e > 0) x2 += (o - e) * (o - e) / e;
        if (n - e > 0) x2 += (o - e) * (o - e) / (n - e);
    }
    return x2;
}

int CollapseAdjacentGroups(Sx2Scratch& s) {
    auto small = [&](std::size_t g) { return SmallerExpected(s, g) < kFewestExpected; };
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
        const bool down = SmallerExpected(s, g - 1) <= SmallerExpected(s, g + 1);
        JoinInto(s, g, down ? g - 1 : g + 1);
    }
    return static_cast<int>(s.examinees.size());
}

}  // namespace

Sx2Outcome Sx2FromTable(const Sx2Table& table, int estimated, Sx2Scratch& scratch) {
    assert(table.correct.size() == table.examinees.size() &&
           table.expected.size() == table.examinees.size());
    Sx2Outcome out{kNaN, 0, kNaN, 0, Sx2Gap::None};
    GroupsWithExaminees(table, scratch);
    if (scratch.examinees.empty()) {
        out.gap = Sx2Gap::NoCompleteExaminees;
        return out;
    }
    out.groups = CollapseAdjacentGroups(scratch);
    const int df = out.groups - estimated;
    if (df < 1) {
        out.gap = Sx2Gap::NoDegreesOfFreedom;
        return out;
    }
    out.statistic = GroupStatistic(scratch);
    out.df = df;
    out.p = ChiSquareUpperTail(out.statistic, df);
    return out;
}

}  // namespace tarvo::fit
