#pragma once

#include <cstddef>
#include <span>
#include <vector>

namespace tarvo::fit {

enum class Sx2Gap {
    None,
    NoOtherItems,         // a single item has no rest score
    NoCompleteExaminees,  // nobody answered every item
    NoDegreesOfFreedom,   // too few groups left for the item's estimated parameters
};

struct Sx2Outcome {
    double statistic;  // Pearson X2 over the groups (or cells) left; NaN when undefined
    int df = 0;
    double p;             // upper tail of the chi-square distribution; NaN when undefined
    int groups = 0;       // rest-score groups with examinees
    int joinedCells = 0;  // cells joined into others (each costs one df)
    Sx2Gap gap = Sx2Gap::None;
};

// One item's table, by rest score r: how many examinees have it, how many of
// them answered the item correctly, and the proportion correct the model
// expects there (NaN counts as no expected correct answer).
struct Sx2Table {
    std::span<const double> examinees;
    std::span<const double> correct;
    std::span<const double> expected;
};

// One item's table by rest score r for an item of any number of
// categories: how many examinees have the rest score, how many of them gave
// each category (categories values per rest score), and the proportion the
// model expects in each (NaN counts as none expected).
struct CategorySx2Table {
    std::size_t categories = 2;
    std::span<const double> examinees;
    std::span<const double> observed;
    std::span<const double> expected;
};

// Reused from item to item, so that a run of items allocates once.
struct Sx2Scratch {
    std::size_t cells = 2;                   // per group
    std::vector<double> examinees;           // per group
    std::vector<double> observed, expected;  // cells per group
};

// S-X2 of one item from its table (Orlando & Thissen 2000): the groups
// without examinees are left out; then cells (a group's incorrect or
// correct answers) are joined one at a time, as R's rpf joins them, until
// every expected count left is at least 1: the smallest cell goes into the
// nearest cell (Manhattan distance over group and category) whose expected
// count is below 1, or, where no cell within reach is below 1, into the
// smallest cell of the table; Pearson X2 over the cells left, df = groups
// minus estimated (the item's parameters the run estimated) minus the cells
// joined away, p from the chi-square distribution.
Sx2Outcome Sx2FromTable(const Sx2Table& table, int estimated, Sx2Scratch& scratch);

// The same for an item of K categories (Kang & Chen 2007): cells are
// joined by the same rule until every expected count left is at least 1;
// Pearson X2 over the cells left, df = groups times (K - 1) minus
// estimated minus the cells joined away. For K = 2 it is the table above.
Sx2Outcome Sx2FromCategoryTable(const CategorySx2Table& table, int estimated, Sx2Scratch& scratch);

}  // namespace tarvo::fit
