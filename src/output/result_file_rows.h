#pragma once

#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

// The rows of a result file read back from its text, each field as printed:
// the item section (CSV or listing layout) and the person section. The
// results window shows these exactly as the file has them.
namespace tarvo::results {

struct PrintedTable {
    std::vector<std::string> columns;            // header names as printed
    std::vector<std::vector<std::string>> rows;  // fields as printed, blanks trimmed
    // The first of the names that is a column, or -1.
    int Column(std::initializer_list<std::string_view> names) const;
};

struct ResultFileRows {
    PrintedTable items;
    PrintedTable persons;
    bool listingLayout = false;  // items written four lines each, without header
    // A damaged file: "line N: what is wrong", and no rows in either section.
    std::string error;
};

ResultFileRows ParseResultFile(std::string_view text);

// The value of a printed number; NaN when the text is not one.
double PrintedNumber(std::string_view text);

}  // namespace tarvo::results
