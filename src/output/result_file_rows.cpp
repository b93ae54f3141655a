#include "output/result_file_rows.h"

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace tarvo::results {
namespace {

std::string_view Trim(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}

std::vector<std::string_view> SplitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        lines.push_back(line);
        if (end == std::string_view::npos) break;
        text.remove_prefix(end + 1);
    }
    return lines;
}

std::vector<std::string> SplitHeader(std::string_view line) {
    std::vector<std::string> names;
    std::size_t start = 0;
    while (true) {
        const std::size_t comma = line.find(',', start);
        names.emplace_back(Trim(line.substr(start, comma - start)));
        if (comma == std::string_view::npos) break;
        start = comma + 1;
    }
    return names;
}

// A row whose first field is a number, whose second is an identifier that may
// hold commas of its own, and whose last `trailing` fields are numbers: the
// identifier is what lies between the first comma and the trailing fields.
bool SplitRow(std::string_view line, std::size_t trailing, std::vector<std::string>& fields) {
    const std::size_t first = line.find(',');
    if (first == std::string_view::npos) return false;
    std::vector<std::size_t> commas;  // from the right
    std::size_t position = line.size();
    while (commas.size() < trailing) {
        if (position == 0) return false;
        position = line.rfind(',', position - 1);
        if (position == std::string_view::npos || position <= first) return false;
        commas.push_back(position);
    }
    fields.clear();
    fields.emplace_back(Trim(line.substr(0, first)));
    // Without trailing fields the identifier runs to the end of the line.
    const std::size_t idEnd = commas.empty() ? line.size() : commas.back();
    std::string_view id = line.substr(first + 1, idEnd - first - 1);
    if (!id.empty() && id.front() == ' ') id.remove_prefix(1);  // the ", " separator
    fields.emplace_back(Trim(id));
    for (std::size_t k = commas.size(); k-- > 0;) {
        const std::size_t end = k == 0 ? line.size() : commas[k - 1];
        fields.emplace_back(Trim(line.substr(commas[k] + 1, end - commas[k] - 1)));
    }
    return !std::isnan(PrintedNumber(fields.front()));
}

// The numbers written one after another, as in "  1.235 -0.500  0.200".
std::vector<std::string> NumbersIn(std::string_view text) {
    std::vector<std::string> numbers;
    std::size_t i = 0;
    while (i < text.size()) {
        const bool starts = std::isdigit(static_cast<unsigned char>(text[i])) ||
                            (text[i] == '-' && i + 1 < text.size() &&
                             std::isdigit(static_cast<unsigned char>(text[i + 1])));
        if (!starts) {
            ++i;
            continue;
        }
        std::size_t end = i + 1;
        while (end < text.size() &&
               (std::isdigit(static_cast<unsigned char>(text[end])) || text[end] == '.')) {
            ++end;
        }
        numbers.emplace_back(text.substr(i, end - i));
        i = end;
    }
    return numbers;
}

bool StartsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

// Four lines per item: number and AccNo, the estimates, the errors with Nobs,
// an empty line.
void ParseListing(const std::vector<std::string_view>& lines, PrintedTable& items) {
    items.columns = {"SeqItem", "AccNo", "Nobs", "a", "b", "c", "seea", "seeb", "seec"};
    for (std::size_t i = 0; i + 2 < lines.size(); ++i) {
        const std::string_view estimates = Trim(lines[i + 1]);
        const std::string_view errors = Trim(lines[i + 2]);
        if (!StartsWith(estimates, "compu a,b,c=") || !StartsWith(errors, "see =")) continue;
        const std::string_view head = Trim(lines[i]);
        const std::size_t gap = head.find(' ');
        const auto values = NumbersIn(estimates.substr(12));
        const std::size_t nobsAt = errors.find("Nobs=");
        if (values.size() != 3 || nobsAt == std::string_view::npos) continue;
        const auto ses = NumbersIn(errors.substr(5, nobsAt - 5));
        if (ses.size() != 3) continue;
        std::vector<std::string> row;
        row.emplace_back(head.substr(0, gap));
        row.emplace_back(gap == std::string_view::npos ? std::string_view{}
                                                       : Trim(head.substr(gap)));
        row.emplace_back(Trim(errors.substr(nobsAt + 5)));
        row.insert(row.end(), values.begin(), values.end());
        row.insert(row.end(), ses.begin(), ses.end());
        items.rows.push_back(std::move(row));
        i += 2;
    }
}

}  // namespace

int PrintedTable::Column(std::initializer_list<std::string_view> names) const {
    for (std::string_view name : names) {
        for (std::size_t i = 0; i < columns.size(); ++i) {
            if (columns[i] == name) return static_cast<int>(i);
        }
    }
    return -1;
}

double PrintedNumber(std::string_view text) {
    text = Trim(text);
    if (text.empty()) return std::numeric_limits<double>::quiet_NaN();
    const std::string copy(text);
    char* end = nullptr;
    const double value = std::strtod(copy.c_str(), &end);
    if (end != copy.c_str() + copy.size()) return std::numeric_limits<double>::quiet_NaN();
    return value;
}

ResultFileRows ParseResultFile(std::string_view text) {
    ResultFileRows result;
    const std::vector<std::string_view> lines = SplitLines(text);
    PrintedTable* section = nullptr;
    std::size_t trailing = 0;
    std::size_t itemsLine = 0, personsLine = 0;  // where each section's header is, from 1
    std::vector<std::string> fields;
    const auto fail = [&](std::size_t number, const std::string& problem) {
        result.items = {};
        result.persons = {};
        result.error = "line " + std::to_string(number) + ": " + problem;
        return result;
    };
    for (std::size_t k = 0; k < lines.size(); ++k) {
        const std::string_view line = lines[k];
        const std::string_view trimmed = Trim(line);
        const bool itemHeader = StartsWith(trimmed, "SeqItem,");
        if (itemHeader || StartsWith(trimmed, "SeqID,") || StartsWith(trimmed, "SeqPerson,")) {
            // A second header of one section would mix rows of two layouts.
            std::size_t& headerLine = itemHeader ? itemsLine : personsLine;
            if (headerLine != 0) {
                return fail(k + 1, std::string("a second ") + (itemHeader ? "item" : "person") +
                                       " section; the first begins on line " +
                                       std::to_string(headerLine));
            }
            headerLine = k + 1;
            section = itemHeader ? &result.items : &result.persons;
            section->columns = SplitHeader(trimmed);
            trailing = section->columns.size() - 2;  // a header holds a comma: two names or more
            continue;
        }
        if (trimmed.empty()) {
            section = nullptr;
            continue;
        }
        if (section == nullptr) continue;
        // A row of a section has its header's fields; anything else is a
        // damaged file (a row split by a line end, a cut row), not the end
        // of the section.
        if (!SplitRow(line, trailing, fields) || fields.size() != section->columns.size()) {
            return fail(k + 1, "the row does not hold the " +
                                   std::to_string(section->columns.size()) +
                                   " fields its header names, led by a row number");
        }
        section->rows.push_back(fields);
    }
    if (result.items.columns.empty() && result.persons.columns.empty()) {
        ParseListing(lines, result.items);
        result.listingLayout = !result.items.rows.empty();
        if (!result.listingLayout) result.items.columns.clear();
    }
    return result;
}

}  // namespace tarvo::results
