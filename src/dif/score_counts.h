#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "dif/dif_data.h"
#include "parallel/worker_pool.h"

namespace tarvo::dif {

// Every item's scores by the examinees' base score and group, over all the
// examinees: the base score is the sum of an examinee's valid scores on the
// items of the matching set; every stratum a comparison needs follows from
// it and the item's own score (StrataOf), so one pass over the responses
// serves every item, group and method.
struct ScoreCounts {
    std::size_t itemCount = 0;
    std::size_t groupCount = 0;
    std::size_t scoreCount = 0;     // the highest possible total score + 1
    std::size_t categoryCount = 0;  // the most categories of any item
    std::vector<int> categories;    // per item
    std::vector<char> inMatching;   // per item, 1 where its score counts
    std::vector<std::uint32_t> counts;

    std::size_t Index(std::size_t item, std::size_t g, std::size_t s, std::size_t y) const {
        return ((item * groupCount + g) * scoreCount + s) * categoryCount + y;
    }
};

// Each item's categories: its highest score in the data + 1, at least 2.
std::vector<int> ItemCategories(const DifData& data, WorkerPool& pool);

// The counts over blocks of examinees on the pool's threads; integer sums,
// so the result does not depend on the split. inMatching: per item, 1 where
// the item belongs to the matching set.
ScoreCounts CountScores(const DifData& data, std::span<const int> categories,
                        std::span<const char> inMatching, WorkerPool& pool);

// One item's strata for the comparison of the focal group with the
// reference group: an examinee's stratum is the base score, plus the
// item's score where the matching counts it and the set does not hold it,
// less it where the set holds it and the matching does not.
ItemStrata StrataOf(const ScoreCounts& counts, std::size_t item, Matching matching,
                    std::size_t reference, std::size_t focal);

}  // namespace tarvo::dif
