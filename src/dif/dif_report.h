#pragma once

#include <string>
#include <vector>

#include "core/run_request.h"
#include "core/run_tables.h"
#include "dif/dif_screen.h"
#include "parallel/worker_pool.h"

namespace tarvo::dif {

// The DIF screens of a run as its report shows them: the JSON value of the
// report's "dif" section, the summary's lines (per method and focal group a
// line of counts and the table of the flagged items) and the warnings (the
// flagged items by name, or why no screen was formed).
struct DifReport {
    std::string json;
    std::vector<std::string> summary;
    std::vector<std::string> warnings;
    // The items a calibration frees when it frees what the screens flag:
    // Mantel-Haenszel's category C, or an adjusted p below 0.05 of the
    // other screens; each once, in item order, with why.
    struct Flagged {
        std::size_t item = 0;
        std::string why;
    };
    std::vector<Flagged> toFree;
};

// The items' names for the tables: the item file's identifier, else a
// delimited file's header name, else none.
struct ItemNames {
    const std::vector<std::string>* accNo = nullptr;
    const std::vector<std::string>* header = nullptr;
    std::string Of(std::size_t item) const;
};

// The screens the request asks for, over the examinees' scored responses
// (codes 0..8, 9 missing) and their groups: the reference group by its
// label (none: the first group in the file) and the focal groups by theirs
// (none: every other group). A run without a group field, with fewer than
// two groups or naming a group the file does not have gets a warning saying
// so and no table.
DifReport DifOfRun(const DifRequest& request, const GroupSettings& groups,
                   const PersonTable& persons, const ItemNames& names, WorkerPool& pool);

// The report of a screen already formed, its groups named by labels.
DifReport DescribeDif(const DifScreen& screen, const std::vector<std::string>& labels,
                      const ItemNames& names, std::size_t unknownGroup);

}  // namespace tarvo::dif
