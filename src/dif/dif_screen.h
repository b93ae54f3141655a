#pragma once

#include <cstddef>
#include <limits>
#include <string>
#include <vector>

#include "dif/dif_data.h"
#include "dif/logistic_dif.h"
#include "dif/mantel_haenszel.h"
#include "dif/observed_scores.h"
#include "parallel/worker_pool.h"

namespace tarvo::dif {

// The tables of the methods' words follow this order.
enum class DifMethod { MantelHaenszel, Standardization, Logistic };

// "Mantel-Haenszel", "standardization", "logistic regression".
const char* MethodName(DifMethod method);
// "mh", "std", "lr": the method's key in the options and the JSON.
const char* MethodKey(DifMethod method);

struct DifOptions {
    std::vector<DifMethod> methods;
    Matching matching = Matching::Total;
    std::size_t reference = 0;
    std::vector<std::size_t> focal;  // empty: every group but the reference
};

// One item's line of a method's table. statistic, df, p: the method's test
// (the 2-df test for logistic regression; STD P-DIF has none, its
// statistic is its effect); effect: delta for a right/wrong item's
// Mantel-Haenszel screen, the standardized mean difference for an item scored
// 0..m, STD P-DIF, the change of R-squared of the 2-df test; category A, B,
// C or blank where undefined.
struct DifRow {
    static constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
    std::size_t item = 0;  // 0-based
    int categories = 2;
    double statistic = kNaN;
    int df = 0;  // 0: no test
    double p = kNaN;
    double pAdjusted = kNaN;
    double effect = kNaN;
    char category = ' ';
    // The method's own numbers: Mantel-Haenszel's alpha, delta and its SE,
    // the item's SD; logistic regression's three tests, the 1-df ones'
    // p-values adjusted like p.
    MantelResult mantel;
    LogisticResult logistic;
    double uniformPAdjusted = kNaN, nonUniformPAdjusted = kNaN;
    std::string note;

    bool flagged() const { return category == 'B' || category == 'C'; }
};

struct DifTable {
    DifMethod method = DifMethod::MantelHaenszel;
    std::vector<DifRow> rows;
};

// One focal group against the reference group.
struct DifComparison {
    std::size_t reference = 0, focal = 0;
    std::size_t referenceCount = 0, focalCount = 0;  // examinees
    // The items the first Mantel-Haenszel stage flagged (B or C), left out
    // of the matching score of the second stage, on which every table is
    // formed; empty when none was flagged.
    std::vector<std::size_t> purified;
    std::vector<DifTable> tables;  // in the order of the options' methods
    // Per item, both groups' observed scores on the strata the tables use.
    std::vector<ObservedItem> observed;
};

struct DifScreen {
    Matching matching = Matching::Total;
    std::vector<int> categories;  // per item, as the data show them
    std::vector<DifComparison> comparisons;
};

// The screens the options ask for, every focal group against the reference
// group, the per-item work on the pool's threads (each item's numbers do
// not depend on the thread count). Every p is adjusted by Benjamini and
// Hochberg across the items of its table.
DifScreen ScreenDif(const DifData& data, const DifOptions& options, WorkerPool& pool);

}  // namespace tarvo::dif
