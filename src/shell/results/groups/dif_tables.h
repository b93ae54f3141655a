#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "report/run_report.h"
#include "shell/results/result_table.h"

// The DIF tab's model, without widgets: the report's "dif" section as one
// table per focal group and method, and per item the two groups' observed
// scores by matching score for its plot.
namespace tarvo::results {

// Below this many examinees a plotted point takes in its neighbours' scores.
inline constexpr std::size_t kLeastPerDifPoint = 20;

// One table of the screens: a method's, for one focal group against the
// reference group.
struct DifScreenTable {
    std::string title;  // "Mantel-Haenszel: 'F' against 'M'"
    std::string rule;   // how the method's categories are given
    std::size_t comparison = 0;
    // Item, Name, Categories, Statistic, df, p, Adjusted p, Effect, Measure,
    // Category, Note; the rows in B or C flagged with the rule.
    ResultTable table;
};

bool HasDifSection(const RunReport& report);
// Per comparison, per method, in the report's order; none when the screens
// were not formed.
std::vector<DifScreenTable> BuildDifTables(const RunReport& report);
// The sentence above the tables: the matching score, its purification and
// the adjustment of p; or why no screen was formed.
std::string DifNote(const RunReport& report);

// One group's points: adjacent matching scores pooled until a point holds
// kLeastPerDifPoint examinees (the last point takes in what is left), each
// at its examinees' mean matching score.
struct DifPoints {
    std::string name;  // "F (focal, 750 examinees)"
    std::vector<double> score, meanScore;
    std::vector<std::size_t> count;
};
struct DifItemPlot {
    std::string title;   // "Item 3 (Q3): 'F' against 'R'"
    std::string yTitle;  // "proportion correct" or "mean item score"
    double yHigh = 1;    // the item's highest score
    std::string xTitle;  // "total score" or "rest score" (purified: "... without items 3, 7")
    DifPoints reference, focal;
};
// The plot of an item (0-based) of a comparison; empty points where the
// report holds none.
DifItemPlot DifPlotOf(const RunReport& report, std::size_t comparison, std::size_t item);

// Pools adjacent scores as DifPoints says.
DifPoints PoolScores(const std::vector<double>& score, const std::vector<std::size_t>& count,
                     const std::vector<double>& meanScore, std::size_t least);

}  // namespace tarvo::results
