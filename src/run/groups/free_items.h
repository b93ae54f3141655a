#pragma once

// Items freed across the groups of a calibration of several groups: each
// freed item's column is split into one column per calibrated group, that
// group's responses in it and every other examinee's missing, before the
// estimator sees the tables. The engine then estimates each group's copy
// on its own while every other item stays one item for all groups (the
// anchors); its likelihood, parameter count, AIC and BIC count the copies.

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "core/run_request.h"
#include "input/front_part.h"
#include "report/run_report.h"

namespace tarvo {

// An item as the report names it: the item file's ID, else a delimited
// file's header name, else "item N".
std::string DisplayNameOf(const RunInputs& inputs, std::size_t item);

// The items a list names (an item's ID or header name, else its 1-based
// number), 0-based, ascending, each once. Nothing when one is unknown:
// problem then says which and where (option: the option named in it).
std::optional<std::vector<std::size_t>> ResolveItems(std::span<const std::string> names,
                                                     const RunInputs& inputs,
                                                     const std::string& option,
                                                     std::string& problem);

// How the columns of a split run came from the items as read.
struct ItemSplit {
    std::vector<std::size_t> origin;  // per column: its item as read
    std::vector<int> group;           // per column: its calibrated group, -1 unsplit
    std::vector<std::string> labels;  // the calibrated groups' labels, the reference first
    // Per item as read that was freed: its columns, one per calibrated group.
    std::vector<std::size_t> freed;
    std::vector<std::vector<std::size_t>> columns;
};

// Splits each of the freed items (0-based, as read) of inputs into one
// column per calibrated group (groupOf: each examinee's calibrated group,
// -1 none), named "NAME [LABEL]", in the item's place. Every per-item
// table of the inputs follows.
ItemSplit SplitItems(RunInputs& inputs, std::span<const std::size_t> freed,
                     std::span<const std::int32_t> groupOf, std::span<const std::string> labels);

// The report's part on the freed items ("free_items"): each with why it
// was freed (whys: per item as read) and its columns; byDif: the run freed
// what the DIF screens flag, so a run that frees none says so.
ReportSection FreedItemsSection(const ItemSplit& split, std::span<const std::string> names,
                                std::span<const std::string> whys, bool byDif);

}  // namespace tarvo
