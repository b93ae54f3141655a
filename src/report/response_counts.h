#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/run_tables.h"

namespace tarvo::report {

// Counts of the scored responses, formed in one pass over the table. A
// missing response (code 9) enters no sum and no count except `omitted`.
struct ResponseCounts {
    std::size_t itemCount = 0;
    std::size_t personCount = 0;
    // Per item.
    std::vector<std::int32_t> itemValid, itemCorrect, itemOmitted;
    // Per examinee: number correct and number of valid responses.
    std::vector<std::int32_t> rawScore, nvalid;
    std::size_t missing = 0;  // code 9 responses in the whole table
};

ResponseCounts CountResponses(const PersonTable& persons);

// Proportion correct among the item's valid responses; NaN without any.
double PValue(const ResponseCounts& counts, std::size_t item);

// The item-rest (corrected point-biserial) correlation of every item: the
// Pearson correlation, over the examinees with a valid response to the item,
// between the item score and the number correct on the other items. NaN
// when either side does not vary.
std::vector<double> ItemRestCorrelations(const PersonTable& persons, const ResponseCounts& counts);

// Cronbach's alpha for dichotomous items (KR-20): k/(k-1) (1 - sum p q /
// var(raw score)), p over each item's valid responses, the raw-score variance
// (divisor N) over the examinees with at least one valid response. NaN with
// fewer than two items or raw scores that do not vary.
double Kr20(const ResponseCounts& counts);

}  // namespace tarvo::report
