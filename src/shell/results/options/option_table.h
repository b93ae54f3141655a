#pragma once

#include <string>
#include <vector>

#include "report/option_analysis.h"
#include "report/run_report.h"
#include "shell/results/result_table.h"

// The Options tab's model, without widgets: the option analysis of the run
// report as one table (an item's options row after row) and, per item, the
// trace lines its plot draws.
namespace tarvo::results {

// Item, Name, Option, Key, Count, Proportion, G1..Gk (the share of each
// ability group), Mean <ability>, r rest, Flags; a flagged row carries its
// reasons. An item scored 0..m lists its scores ("score 0", ...) with their
// group shares and counts, no correlation.
ResultTable BuildOptionTable(const RunReport& report);

// One line of an item's trace plot: the share choosing an option (or
// giving a score) in each ability group, against the group's mean ability.
struct TraceLine {
    std::string name;  // "A (key)", "B", "blank", "score 2"
    bool isKey = false;
    bool flagged = false;
    std::vector<double> x, y;  // groups without a value left out
};
struct ItemTrace {
    std::string title;   // "Item 3 (letter.7): key 6"
    std::string xTitle;  // "mean theta of the group" / "mean total score of the group"
    std::vector<TraceLine> lines;
};

// The items of the analysis in order, one trace each.
std::vector<ItemTrace> OptionTraces(const RunReport& report);

}  // namespace tarvo::results
