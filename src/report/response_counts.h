#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/run_tables.h"

namespace tarvo::report {

// Counts of the scored responses, formed in one pass over the table. A
// missing response (code 9) enters no sum and no count except `omitted`.
// In a test with items scored 0..m (more than two categories) the right/wrong
// statistics are the right/wrong items' alone: a score of 2 is no wrong
// answer. Those items count as valid and missing as any other, and the
// examinees' summed scores over every item are kept beside.
struct ResponseCounts {
    std::size_t itemCount = 0;
    std::size_t personCount = 0;
    // Per item; categories is empty when every item is right/wrong.
    std::vector<std::int32_t> itemValid, itemCorrect, itemOmitted;
    std::vector<int> categories;
    // Per examinee: number correct and number of valid responses over the
    // right/wrong items.
    std::vector<std::int32_t> rawScore, nvalid;
    std::size_t missing = 0;  // code 9 responses in the whole table
    // With items scored 0..m, per examinee over every item: the summed score,
    // the most it could be over the items answered, and the items answered.
    std::vector<std::int32_t> score, mostScore, answered;
};

// categories: per item its number of categories, more than two for an item
// scored 0..m; empty when every item is right/wrong.
ResponseCounts CountResponses(const PersonTable& persons, const std::vector<int>& categories = {});

// Whether the item is scored in more than two categories.
bool IsPolytomous(const ResponseCounts& counts, std::size_t item);

// The right/wrong items the right/wrong statistics are formed over.
std::size_t RightWrongItems(const ResponseCounts& counts);

// Proportion correct among the item's valid responses; NaN without any, and
// for an item scored 0..m.
double PValue(const ResponseCounts& counts, std::size_t item);

// The item-rest (corrected point-biserial) correlation of every item: the
// Pearson correlation, over the examinees with a valid response to the item,
// between the item score and the number correct on the other right/wrong
// items. An item scored 0..m correlates its score with the summed score on
// every other item. NaN when either side does not vary.
std::vector<double> ItemRestCorrelations(const PersonTable& persons, const ResponseCounts& counts);

// Cronbach's alpha for the right/wrong items (KR-20): k/(k-1) (1 - sum p q /
// var(raw score)), p over each item's valid responses, the raw-score variance
// (divisor N) over the examinees with at least one valid response. NaN with
// fewer than two items or raw scores that do not vary.
double Kr20(const ResponseCounts& counts);

}  // namespace tarvo::report
