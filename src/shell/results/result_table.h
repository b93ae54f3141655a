#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "output/result_file_rows.h"
#include "report/run_report.h"

// The tables of the results window, without widgets: the item and examinee
// rows as the result file prints them, joined with the run report's
// statistics and flags. A flagged cell carries the reason as a sentence.
namespace tarvo::results {

struct ItemFitValues;

struct TableCell {
    std::string text;  // as shown
    double number;     // the printed value; NaN for text and blanks
    bool flagged = false;
    std::string why;  // the reason of the flag, for the tooltip
};

// The cells of a table formed when they are asked for, not held: a run of
// millions of examinees keeps only its own numbers.
class CellSource {
  public:
    virtual ~CellSource() = default;
    virtual std::size_t Rows() const = 0;
    // The cell with its flag and reasons.
    virtual TableCell Cell(std::size_t row, std::size_t column) const = 0;
    // Its text alone, the same as Cell(row, column).text but quicker.
    virtual std::string Text(std::size_t row, std::size_t column) const = 0;
    // The value a numeric column sorts by: the number the text shows.
    virtual double Number(std::size_t row, std::size_t column) const;
};

struct ResultTable {
    std::vector<std::string> columns;
    std::vector<bool> numeric;  // per column: sorted by value
    // The cells of a table that holds them, row by row; a table formed on
    // demand holds none and has a source. Read either through Cell().
    std::vector<std::vector<TableCell>> rows;
    std::shared_ptr<const CellSource> source;

    std::size_t RowCount() const { return source ? source->Rows() : rows.size(); }
    TableCell Cell(std::size_t row, std::size_t column) const;
    std::string Text(std::size_t row, std::size_t column) const;
    int Column(std::string_view name) const;  // -1 when absent
    // Row indexes ordered by one column: numbers by value, text by text,
    // blanks last either way; ties keep the file's order. Each row's key is
    // formed once per sort.
    std::vector<std::size_t> SortedOrder(std::size_t column, bool ascending) const;
    // Whether the row's text in the column contains part, ignoring case.
    bool Matches(std::size_t row, std::size_t column, std::string_view part) const;
};

// A field as a reader of the file sees it: without blanks and tabs around it.
std::string TrimmedField(std::string_view text);
// A header line's names, each trimmed.
std::vector<std::string> HeaderNames(std::string_view header);
// A value as its field in the result file shows it, without the padding.
std::string PrintedField(double value, std::string_view mask);

// The examinee section of a run's result file: none (items-only modes),
// the classic rows or the polytomous estimator's.
enum class PersonSection { None, Classic, Polytomous };
PersonSection PersonSectionOf(const RunReport& report);
// The section's header names, and one field of examinee j's row as the file
// prints it, without its padding.
std::vector<std::string> PersonColumns(PersonSection section);
std::string PersonField(const RunReport& report, PersonSection section, std::size_t j,
                        std::size_t field);

// The item rows of the file (or, when the file has none, the item parameters
// the run was given), with p-value, item-rest correlation and flags.
ResultTable BuildItemTable(const PrintedTable& items, const RunReport& report);
// The same with the items' fit as read (by the report's rows).
ResultTable BuildItemTable(const PrintedTable& items, const RunReport& report,
                           const std::vector<ItemFitValues>& fit);
// The run's examinee rows as its file prints them, with raw score, the fit
// (from the report's fit section, when it has one) and flags, each cell
// formed when asked from the report the table shares.
ResultTable BuildPersonTable(std::shared_ptr<const RunReport> report);

// The run's summed-score table: raw score, expected proportion, EAP and its
// SD, the ML ability (blank where none exists).
ResultTable BuildScoreTable(const SummedScoreReport& scores);

// Short names of an item's or examinee's flags, joined by commas.
std::string ItemFlagNames(std::uint32_t flags);
std::string PersonFlagNames(std::uint32_t flags);

}  // namespace tarvo::results
