#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "core/run_tables.h"
#include "input/format/response_format.h"

namespace tarvo {

// Which cells of a delimited row hold what, as indexes from 0.
struct DelimitedColumns {
    std::optional<std::size_t> id;
    std::optional<std::size_t> theta;
    std::optional<std::size_t> group;  // the examinees' group
    std::vector<std::size_t> items;    // item i's cell
    std::vector<std::string> names;    // every column's header name (empty without a header)
    std::size_t Width() const { return names.size(); }  // the cells of the first row
};

struct ColumnsOrError {
    std::optional<DelimitedColumns> columns;
    std::string error;  // when columns is empty: what is wrong and how to put it right
};

// Finds the columns from the layout's texts and the first row's cells (the
// header names, or the first data row). A column text is a header name or a
// number from 1. Where a text is empty the boxes count cells instead of
// characters: the Examinee ID start box gives the ID column, the theta start
// box the theta column, the item responses start box the first item column
// and its length box the number of item columns (0: to the last column). With
// neither, there is no ID or theta column and every other column is an item.
// The group column is only ever named by the layout's group column text; it
// is never an item.
ColumnsOrError ResolveColumns(const ResponseLayout& layout, const RunSettings& boxes,
                              std::span<const std::string> firstRow);

// "column 3 (i2)" or "column 3" without a header name.
std::string ColumnLabel(const DelimitedColumns& columns, std::size_t index);

}  // namespace tarvo
