#include "input/format/delimited_columns.h"

#include <algorithm>
#include <charconv>

#include "input/text/number_text.h"

namespace tarvo {

namespace {

struct Found {
    std::optional<std::size_t> index;
    std::string error;
};

// A header name first, so that a column named "2" is found by its name.
Found FindColumn(std::string_view text, std::span<const std::string> names, bool header,
                 std::string_view what) {
    const std::string_view wanted = TrimBlanks(text);
    if (header && !wanted.empty()) {
        std::optional<std::size_t> named;
        for (std::size_t k = 0; k < names.size(); ++k) {
            if (TrimBlanks(names[k]) != wanted) continue;
            // Two columns of one name: either could be meant.
            if (named) {
                return {std::nullopt, std::string(what) + " '" + std::string(wanted) +
                                          "' names two columns of the header (" +
                                          std::to_string(*named + 1) + " and " +
                                          std::to_string(k + 1) +
                                          "): rename one, or give the column by its number"};
            }
            named = k;
        }
        if (named) return {named, {}};
    }
    std::size_t number = 0;
    const auto [end, ec] = std::from_chars(wanted.data(), wanted.data() + wanted.size(), number);
    if (ec == std::errc() && end == wanted.data() + wanted.size() && number >= 1 &&
        number <= names.size()) {
        return {number - 1, {}};
    }
    std::string error = std::string(what) + " '" + std::string(wanted) + "' is ";
    if (header) {
        error += "neither a column name of the header nor a column number from 1 to " +
                 std::to_string(names.size());
    } else {
        error += "not a column number from 1 to " + std::to_string(names.size()) +
                 " (the first row is read as data, not as a header, so columns have no names: "
                 "read the file with its header to name them)";
    }
    return {std::nullopt, error};
}

// "FIRST:LAST", "NAME", "3", or several of them split by commas.
std::string ParseItemColumns(std::string_view text, std::span<const std::string> names, bool header,
                             std::vector<std::size_t>& items) {
    while (!text.empty()) {
        const std::size_t comma = text.find(',');
        const std::string_view piece = text.substr(0, comma);
        text = comma == std::string_view::npos ? std::string_view() : text.substr(comma + 1);
        const std::size_t colon = piece.find(':');
        const Found first = FindColumn(piece.substr(0, colon), names, header, "item column");
        if (!first.index) return first.error;
        std::size_t last = *first.index;
        if (colon != std::string_view::npos) {
            const std::string_view lastText = TrimBlanks(piece.substr(colon + 1));
            if (lastText.empty()) {
                last = names.size() - 1;  // "FIRST:" runs to the last column
            } else {
                const Found found = FindColumn(lastText, names, header, "item column");
                if (!found.index) return found.error;
                last = *found.index;
            }
            if (last < *first.index) {
                return "item columns '" + std::string(TrimBlanks(piece)) +
                       "' end before they begin: write FIRST:LAST in file order";
            }
        }
        for (std::size_t k = *first.index; k <= last; ++k) items.push_back(k);
    }
    return {};
}

std::optional<std::string> NumberText(std::uint16_t box) {
    if (box == 0) return std::nullopt;
    return std::to_string(box);
}

}  // namespace

std::string ColumnLabel(const DelimitedColumns& columns, std::size_t index) {
    std::string label = "column " + std::to_string(index + 1);
    if (index < columns.names.size() && !TrimBlanks(columns.names[index]).empty()) {
        label += " (" + std::string(TrimBlanks(columns.names[index])) + ")";
    }
    return label;
}

ColumnsOrError ResolveColumns(const ResponseLayout& layout, const RunSettings& boxes,
                              std::span<const std::string> firstRow) {
    DelimitedColumns columns;
    columns.names.assign(firstRow.begin(), firstRow.end());
    if (!layout.header) {
        for (std::string& name : columns.names) name.clear();
    }
    const bool header = layout.header;
    auto fail = [](std::string error) { return ColumnsOrError{std::nullopt, std::move(error)}; };
    if (firstRow.empty()) return fail("the file holds no row");

    // The boxes name columns by number when the texts are empty.
    const std::optional<std::string> idText = !layout.idColumn.empty()
                                                  ? std::optional(layout.idColumn)
                                                  : NumberText(boxes.examineeIdField.start);
    const std::optional<std::string> thetaText = !layout.thetaColumn.empty()
                                                     ? std::optional(layout.thetaColumn)
                                                     : NumberText(boxes.thetaField.start);
    // A box holds a number, never a name.
    const bool idByName = header && !layout.idColumn.empty();
    const bool thetaByName = header && !layout.thetaColumn.empty();
    if (idText) {
        const Found found = FindColumn(*idText, firstRow, idByName, "the ID column");
        if (!found.index) return fail(found.error);
        columns.id = found.index;
    }
    if (thetaText) {
        const Found found = FindColumn(*thetaText, firstRow, thetaByName, "the theta column");
        if (!found.index) return fail(found.error);
        columns.theta = found.index;
    }
    if (!TrimBlanks(layout.groupColumn).empty()) {
        const Found found = FindColumn(layout.groupColumn, firstRow, header, "the group column");
        if (!found.index) return fail(found.error);
        columns.group = found.index;
    }

    std::string itemText = layout.itemColumns;
    const bool itemsByName = header && !itemText.empty();
    if (itemText.empty() && boxes.responseStart != 0) {
        itemText = std::to_string(boxes.responseStart) + ":";
        if (boxes.itemCount != 0)
            itemText += std::to_string(boxes.responseStart + boxes.itemCount - 1u);
    }
    if (itemText.empty()) {
        for (std::size_t k = 0; k < firstRow.size(); ++k) {
            if (k != columns.id && k != columns.theta && k != columns.group) {
                columns.items.push_back(k);
            }
        }
    } else if (std::string error = ParseItemColumns(itemText, firstRow, itemsByName, columns.items);
               !error.empty()) {
        return fail(error);
    }

    if (columns.items.empty()) return fail("no column is left for the item responses");
    {
        // A column given twice would be two items of the same responses.
        std::vector<std::size_t> sorted = columns.items;
        std::sort(sorted.begin(), sorted.end());
        const auto twice = std::adjacent_find(sorted.begin(), sorted.end());
        if (twice != sorted.end()) {
            return fail(ColumnLabel(columns, *twice) +
                        " is given twice among the item columns: each column is one item, "
                        "name it once");
        }
    }
    if (columns.items.size() > 65535) {
        return fail(std::to_string(columns.items.size()) +
                    " item columns are more than the 65535 a run can take");
    }
    for (const std::size_t item : columns.items) {
        if (item == columns.id || item == columns.theta) {
            return fail(ColumnLabel(columns, item) + " is both an item and the " +
                        (item == columns.id ? "ID" : "theta") +
                        " column: choose the item columns without it");
        }
    }
    if (columns.id && columns.id == columns.theta) {
        return fail(ColumnLabel(columns, *columns.id) + " is both the ID and the theta column");
    }
    if (columns.group) {
        const std::size_t group = *columns.group;
        if (std::find(columns.items.begin(), columns.items.end(), group) != columns.items.end()) {
            return fail(ColumnLabel(columns, group) +
                        " is both an item and the group column: choose the item columns "
                        "without it, or another group column (--group-column)");
        }
        if (group == columns.id || group == columns.theta) {
            return fail(ColumnLabel(columns, group) + " is both the " +
                        (group == columns.id ? "ID" : "theta") +
                        " column and the group column: choose another group column "
                        "(--group-column)");
        }
    }
    return ColumnsOrError{std::move(columns), {}};
}

}  // namespace tarvo
