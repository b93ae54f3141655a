#include "estimation/polytomous/inputs/poly_item_file.h"

#include <cmath>
#include <string_view>
#include <utility>

#include "input/text/line_reader.h"
#include "output/item_values.h"
#include "output/result_file_rows.h"

namespace tarvo::poly {

namespace {

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) {
        text.remove_suffix(1);
    }
    return text;
}

std::vector<std::string_view> CellsOf(std::string_view line) {
    std::vector<std::string_view> cells;
    std::size_t start = 0;
    while (true) {
        const std::size_t comma = line.find(',', start);
        cells.push_back(Trimmed(line.substr(start, comma - start)));
        if (comma == std::string_view::npos) break;
        start = comma + 1;
    }
    return cells;
}

// A cell's number as printed; nothing when it is not one.
std::optional<double> NumberOf(std::string_view cell) {
    const double value = results::PrintedNumber(cell);
    if (!std::isfinite(value)) return std::nullopt;
    return value;
}

// The columns the rows are read by.
struct Columns {
    int seq = -1, accNo = -1, model = -1, categories = -1, a = -1, c = -1;
    std::array<int, kMostCategories - 1> b{-1, -1, -1, -1, -1, -1, -1, -1};
};

Columns ColumnsOf(const std::vector<std::string_view>& header) {
    Columns columns;
    for (std::size_t k = 0; k < header.size(); ++k) {
        const std::string_view name = header[k];
        const int at = static_cast<int>(k);
        if (name == "SeqItem") columns.seq = at;
        if (name == "AccNo") columns.accNo = at;
        if (name == "Model") columns.model = at;
        if (name == "Categories") columns.categories = at;
        if (name == "a") columns.a = at;
        if (name == "c") columns.c = at;
        if (name.size() == 2 && name[0] == 'b' && name[1] >= '1' && name[1] <= '8') {
            columns.b[static_cast<std::size_t>(name[1] - '1')] = at;
        }
    }
    return columns;
}

// The row's item, or its error.
std::string ParseRow(const std::vector<std::string_view>& cells, const Columns& columns,
                     std::size_t itemCount, std::size_t& item, HeldItemRow& row) {
    const auto cell = [&](int at) {
        return at >= 0 && static_cast<std::size_t>(at) < cells.size() ? cells[at]
                                                                      : std::string_view();
    };
    const auto seq = NumberOf(cell(columns.seq));
    if (!seq || *seq < 1 || *seq > static_cast<double>(itemCount) ||
        *seq != static_cast<int>(*seq)) {
        return "its SeqItem is not an item of the test (1 to " + std::to_string(itemCount) + ")";
    }
    item = static_cast<std::size_t>(*seq) - 1;
    row.accNo = std::string(cell(columns.accNo));
    row.model = std::string(cell(columns.model));
    const auto categories = NumberOf(cell(columns.categories));
    if (!categories || *categories < 2 || *categories > kMostCategories) {
        return "its Categories is not a number from 2 to " + std::to_string(kMostCategories);
    }
    row.categories = static_cast<int>(*categories);
    const auto a = NumberOf(cell(columns.a));
    if (!a) return "its a is not a number";
    row.a = *a;
    for (int k = 0; k + 1 < row.categories; ++k) {
        const auto b = NumberOf(cell(columns.b[static_cast<std::size_t>(k)]));
        if (!b) return "its b" + std::to_string(k + 1) + " is not a number";
        row.b[static_cast<std::size_t>(k)] = *b;
    }
    const std::string_view cText = cell(columns.c);
    if (!cText.empty()) {
        const auto c = NumberOf(cText);
        if (!c) return "its c is not a number";
        row.c = *c;
    }
    return {};
}

// The row's values by the range every item value read is checked against,
// and a graded item's thresholds in rising order (each P(X >= k) below the
// one before); the partial credit models' steps may come in any order.
std::string CheckRowValues(const HeldItemRow& row) {
    const bool binary = row.model == "3pl" || row.model == "2pl" || row.model == "1pl";
    std::string fault = ItemValueFault(binary ? ItemValue::A : ItemValue::SignedA, row.a);
    if (!fault.empty()) return "its a " + fault;
    for (int k = 0; k + 1 < row.categories; ++k) {
        const std::string name = "b" + std::to_string(k + 1);
        fault = ItemValueFault(ItemValue::B, row.b[static_cast<std::size_t>(k)]);
        if (!fault.empty()) return "its " + name + " " + fault;
        if (row.model == "grm" && k > 0 &&
            !(row.b[static_cast<std::size_t>(k)] > row.b[static_cast<std::size_t>(k - 1)])) {
            return "its " + name + " must be above b" + std::to_string(k) +
                   ": a graded item's thresholds rise";
        }
    }
    fault = ItemValueFault(ItemValue::C, row.c);
    if (!fault.empty()) return "its c " + fault;
    return {};
}

// The file's error, with none of its rows held.
HeldItems Refused(std::size_t itemCount, std::string error) {
    HeldItems held;
    held.items.assign(itemCount, std::nullopt);
    held.error = std::move(error);
    return held;
}

}  // namespace

HeldItems ReadPolytomousItemFile(const std::string& path, std::size_t itemCount,
                                 const StopPoll& stop) {
    HeldItems held;
    held.items.assign(itemCount, std::nullopt);
    LineReader reader(path, LineReader::kDefaultBufferSize, stop);
    std::string line;
    std::size_t number = 0;
    Columns columns;
    bool headed = false;
    while (!reader.Ended()) {
        // A row is a few dozen cells; the rest of a longer line is not kept.
        reader.ReadLine(line, 4096);
        if (reader.Status() == ReadStatus::Stopped) break;
        ++number;
        const std::string_view text = Trimmed(line);
        if (!headed) {
            const std::vector<std::string_view> header = CellsOf(text);
            columns = ColumnsOf(header);
            if (columns.seq != 0 || columns.model < 0 || columns.a < 0) {
                return Refused(
                    itemCount,
                    "ERROR Item file " + path +
                        " is not a polytomous item file: its first line is not the header "
                        "of a polytomous result file (SeqItem,AccNo,Model,Categories,a,b1,...).");
            }
            headed = true;
            continue;
        }
        if (text.empty()) break;
        HeldItemRow row;
        row.line = number;
        row.text = std::string(text);
        std::size_t item = 0;
        std::string error = ParseRow(CellsOf(text), columns, itemCount, item, row);
        if (error.empty()) error = CheckRowValues(row);
        // Two rows of one item would leave the run holding whichever came last.
        if (error.empty() && held.items[item]) {
            error = "item " + std::to_string(item + 1) + " has a row already, on line " +
                    std::to_string(held.items[item]->line);
        }
        if (!error.empty()) {
            return Refused(itemCount, "ERROR Item file " + path + ", line " +
                                          std::to_string(number) + " ('" + row.text +
                                          "'): " + error + ".");
        }
        held.items[item] = std::move(row);
    }
    if (reader.Status() == ReadStatus::Stopped) {
        return Refused(itemCount,
                       "ERROR Item file " + path + " was not read: the run was stopped.");
    }
    if (reader.Status() != ReadStatus::Read) {
        return Refused(itemCount, "ERROR Item file " + path + " cannot be read.");
    }
    if (!headed) return Refused(itemCount, "ERROR Item file " + path + " is empty.");
    return held;
}

}  // namespace tarvo::poly
