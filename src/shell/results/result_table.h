#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

#include "output/result_file_rows.h"
#include "report/run_report.h"

// The tables of the results window, without widgets: the item and examinee
// rows as the result file prints them, joined with the run report's
// statistics and flags. A flagged cell carries the reason as a sentence.
namespace tarvo::results {

struct TableCell {
    std::string text;  // as shown
    double number;     // the printed value; NaN for text and blanks
    bool flagged = false;
    std::string why;  // the reason of the flag, for the tooltip
};

struct ResultTable {
    std::vector<std::string> columns;
    std::vector<bool> numeric;  // per column: sorted by value
    std::vector<std::vector<TableCell>> rows;

    int Column(std::string_view name) const;  // -1 when absent
    // Row indexes ordered by one column: numbers by value, text by text,
    // blanks last either way; ties keep the file's order.
    std::vector<std::size_t> SortedOrder(std::size_t column, bool ascending) const;
    // Whether the row's text in the column contains part, ignoring case.
    bool Matches(std::size_t row, std::size_t column, std::string_view part) const;
};

// The item rows of the file (or, when the file has none, the item parameters
// the run was given), with p-value, item-rest correlation and flags.
ResultTable BuildItemTable(const PrintedTable& items, const RunReport& report);
// The person rows of the file, with raw score and flags.
ResultTable BuildPersonTable(const PrintedTable& persons, const RunReport& report);

// The run's summed-score table: raw score, expected proportion, EAP and its
// SD, the ML ability (blank where none exists).
ResultTable BuildScoreTable(const SummedScoreReport& scores);

// Short names of an item's or examinee's flags, joined by commas.
std::string ItemFlagNames(std::uint32_t flags);
std::string PersonFlagNames(std::uint32_t flags);

}  // namespace tarvo::results
