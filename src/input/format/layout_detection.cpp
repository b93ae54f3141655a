#include "input/format/layout_detection.h"

#include <algorithm>
#include <array>

#include "input/format/delimited_records.h"
#include "input/text/line_reader.h"
#include "input/text/number_text.h"
#include "input/text/scoring.h"
#include "platform/control_ids.h"

namespace tarvo {

namespace {

// Shares of the lines that make a column or a field what it looks like.
constexpr double kNearlyAll = 0.9;
constexpr double kMost = 0.5;

bool IsBlankLine(std::string_view line) {
    return line.find_first_not_of(" \t") == std::string_view::npos;
}

bool IsAlphanumeric(unsigned char ch) {
    return (ch >= '0' && ch <= '9') || (ch >= 'A' && ch <= 'Z') || (ch >= 'a' && ch <= 'z');
}

char At(std::string_view line, std::size_t column) {
    return column < line.size() ? line[column] : ' ';
}

// The longest block of non-blank characters of a line: a key record's key.
std::string_view LongestBlock(std::string_view line) {
    std::string_view best;
    std::size_t k = 0;
    while (k < line.size()) {
        const std::size_t start = line.find_first_not_of(' ', k);
        if (start == std::string_view::npos) break;
        std::size_t end = line.find(' ', start);
        if (end == std::string_view::npos) end = line.size();
        if (end - start > best.size()) best = line.substr(start, end - start);
        k = end;
    }
    return best;
}

struct Run {
    std::size_t start = 0, length = 0;  // columns from 0
};

std::string ShellWord(std::string_view text) {
    const bool plain = !text.empty() && std::all_of(text.begin(), text.end(), [](char ch) {
        return IsAlphanumeric(static_cast<unsigned char>(ch)) || ch == '_' || ch == '-' ||
               ch == '.' || ch == ':' || ch == ',';
    });
    if (plain) return std::string(text);
    std::string quoted = "'";
    for (const char ch : text) {
        if (ch == '\'') {
            quoted += "'\\''";
        } else {
            quoted += ch;
        }
    }
    return quoted + "'";
}

std::uint16_t Narrow(std::size_t value) {
    return static_cast<std::uint16_t>(std::min<std::size_t>(value, 65535));
}

}  // namespace

bool LooksLikeGroups(std::span<const std::string_view> texts) {
    // Longer texts are names or comments, not group labels.
    constexpr std::size_t kLongestLabel = 16;
    std::vector<std::string_view> values;
    std::size_t filled = 0;
    bool letter = false;
    for (const std::string_view text : texts) {
        const std::string_view label = TrimBlanks(text);
        if (label.empty() || label == "NA") continue;
        if (label.size() > kLongestLabel) return false;
        ++filled;
        letter = letter || std::any_of(label.begin(), label.end(), [](char ch) {
                     return (ch >= 'A' && ch <= 'Z') || (ch >= 'a' && ch <= 'z');
                 });
        if (std::find(values.begin(), values.end(), label) == values.end()) {
            if (values.size() == kMostGroupValues) return false;
            values.push_back(label);
        }
    }
    return letter && values.size() >= 2 &&
           static_cast<double>(filled) >= kMost * static_cast<double>(texts.size());
}

LayoutProposal DetectFixedLayout(std::span<const std::string> lines) {
    LayoutProposal proposal;
    std::vector<std::string_view> data;
    std::optional<std::string_view> keyLine;
    std::size_t lineNumber = 0;
    for (const std::string& line : lines) {
        ++lineNumber;
        if (IsBlankLine(line)) continue;
        const std::string_view head = std::string_view(line).substr(line.find_first_not_of(' '));
        if (!keyLine && data.empty() && IsKeyIdentifier(head)) {
            keyLine = line;
            proposal.keyRecord = lineNumber;
            continue;
        }
        data.emplace_back(line);
    }
    if (data.empty()) {
        proposal.notes.push_back("no record to look at");
        return proposal;
    }

    // The response characters: the key's, or any letter or digit.
    std::array<bool, 256> response{};
    if (keyLine) {
        for (const char ch : LongestBlock(*keyLine))
            response[static_cast<unsigned char>(ch)] = true;
    } else {
        for (unsigned ch = 0; ch < 256; ++ch)
            response[ch] = IsAlphanumeric(static_cast<unsigned char>(ch));
    }
    response['9'] = true;

    std::size_t width = 0;
    for (const std::string_view line : data) width = std::max(width, line.size());
    const double lines_ = static_cast<double>(data.size());
    std::vector<bool> responseLike(width, false);
    std::vector<bool> used(width, false);  // a non-blank on some line
    for (std::size_t column = 0; column < width; ++column) {
        std::size_t answers = 0, allowed = 0;
        for (const std::string_view line : data) {
            const auto ch = static_cast<unsigned char>(At(line, column));
            if (ch != ' ') used[column] = true;
            if (response[ch]) ++answers;
            if (response[ch] || ch == ' ') ++allowed;
        }
        responseLike[column] = static_cast<double>(allowed) >= kNearlyAll * lines_ &&
                               static_cast<double>(answers) >= kMost * lines_;
    }
    std::vector<Run> runs;
    for (std::size_t column = 0; column < width; ++column) {
        if (!responseLike[column]) continue;
        if (runs.empty() || runs.back().start + runs.back().length != column)
            runs.push_back({column, 0});
        ++runs.back().length;
    }

    // The leading block is the ID when anything else can be the responses.
    std::size_t leading = width;
    for (const std::string_view line : data) {
        leading = std::min(leading, line.find_first_not_of(' '));
    }
    const Run* best = nullptr;
    for (const Run& run : runs) {
        if (runs.size() > 1 && run.start == leading) continue;
        if (!best || run.length > best->length) best = &run;
    }
    if (!best) {
        proposal.notes.push_back("no columns of responses found");
        return proposal;
    }
    proposal.responseStart = Narrow(best->start + 1);
    proposal.itemCount = Narrow(best->length);
    const std::size_t responseEnd = best->start + best->length;

    // The ID: from the leading column to the last non-blank before a blank,
    // on any line, not into the responses.
    if (leading < best->start) {
        std::size_t idEnd = leading;
        for (const std::string_view line : data) {
            std::size_t end = line.find(' ', leading);
            if (end == std::string_view::npos) end = line.size();
            idEnd = std::max(idEnd, std::min(end, best->start));
        }
        proposal.id = {Narrow(leading + 1), Narrow(idEnd - leading)};
    }

    // Theta: a block of used columns outside the ID and the responses.
    const std::size_t idEnd = proposal.id.length != 0 ? leading + proposal.id.length : 0;
    std::size_t column = idEnd;
    while (column < width) {
        if (!used[column] || (column >= best->start && column < responseEnd)) {
            ++column;
            continue;
        }
        std::size_t end = column;
        while (end < width && used[end] && !(end >= best->start && end < responseEnd)) ++end;
        std::size_t numbers = 0, filled = 0;
        bool decimal = false;
        for (const std::string_view line : data) {
            const std::string_view text =
                column < line.size() ? line.substr(column, end - column) : std::string_view();
            filled += !TrimBlanks(text).empty();
            numbers += IsWholeNumberText(text);
            decimal = decimal || IsDecimalNumberText(text);
        }
        // A theta left blank here and there still makes the field.
        if (decimal && static_cast<double>(numbers) >= kNearlyAll * static_cast<double>(filled) &&
            static_cast<double>(filled) >= kMost * lines_) {
            proposal.theta = {Narrow(column + 1), Narrow(end - column)};
            break;
        }
        column = end;
    }

    // The group: the block of used columns that follows the ID, short text
    // of a few values, neither the theta nor the responses.
    if (proposal.id.length != 0) {
        std::size_t first = idEnd;
        while (first < best->start && !used[first]) ++first;
        std::size_t end = first;
        while (end < best->start && used[end]) ++end;
        const bool theta = proposal.theta.length != 0 && first + 1 == proposal.theta.start;
        if (first < end && !theta) {
            std::vector<std::string_view> texts;
            for (const std::string_view line : data) {
                texts.push_back(first < line.size() ? line.substr(first, end - first)
                                                    : std::string_view());
            }
            if (LooksLikeGroups(texts)) proposal.group = {Narrow(first + 1), Narrow(end - first)};
        }
    }

    proposal.notes.push_back(std::to_string(data.size()) + " records looked at");
    if (proposal.keyRecord) {
        proposal.notes.push_back("key record on line " + std::to_string(*proposal.keyRecord));
    }
    if (proposal.group.length != 0) {
        proposal.notes.push_back("a group field beside the ID (columns " +
                                 std::to_string(proposal.group.start) + "-" +
                                 std::to_string(proposal.group.start + proposal.group.length - 1) +
                                 "): its text names each examinee's group");
    }
    return proposal;
}

namespace {

bool IsItemCell(std::string_view cell) {
    const std::string_view trimmed = TrimBlanks(cell);
    return trimmed.size() <= 1 || trimmed == "NA";
}

// The column beside the ID as the group's, when its cells look like group
// labels and, if it was taken for an item, no other item column holds its
// values (an item's responses are the other items' responses).
void ProposeGroupColumn(std::span<const std::vector<std::string>> data, std::size_t width,
                        LayoutProposal& proposal) {
    const std::size_t k = *proposal.idColumn + 1;
    if (k >= width || k == proposal.thetaColumn) return;
    std::vector<std::string_view> texts;
    for (const auto& row : data) texts.emplace_back(k < row.size() ? row[k] : std::string_view());
    if (!LooksLikeGroups(texts)) return;
    auto& items = proposal.itemColumns;
    const auto asItem = std::find(items.begin(), items.end(), k);
    if (asItem != items.end()) {
        std::vector<std::string_view> others;
        for (const std::size_t other : items) {
            if (other == k) continue;
            for (const auto& row : data) {
                if (other < row.size()) others.push_back(TrimBlanks(row[other]));
            }
        }
        for (const std::string_view text : texts) {
            const std::string_view label = TrimBlanks(text);
            if (label.empty() || label == "NA") continue;
            if (std::find(others.begin(), others.end(), label) != others.end()) return;
        }
        items.erase(asItem);
    }
    proposal.groupColumn = k;
}

}  // namespace

LayoutProposal DetectDelimitedLayout(std::span<const std::vector<std::string>> rows,
                                     ResponseFormat format) {
    LayoutProposal proposal;
    proposal.format = format;
    if (rows.empty()) {
        proposal.notes.push_back("no row to look at");
        return proposal;
    }
    // The run takes its columns from the first row: cells beyond it belong
    // to no column, so none is proposed there.
    const std::size_t width = rows.front().size();
    const bool wider =
        std::any_of(rows.begin(), rows.end(), [&](const auto& row) { return row.size() > width; });
    auto cell = [](const std::vector<std::string>& row, std::size_t k) {
        return k < row.size() ? std::string_view(row[k]) : std::string_view();
    };

    // Columns judged on the rows after the first, which may be a header.
    const std::span<const std::vector<std::string>> below =
        rows.size() > 1 ? rows.subspan(1) : rows;
    const double count = static_cast<double>(below.size());
    std::vector<bool> item(width, false), numeric(width, false);
    for (std::size_t k = 0; k < width; ++k) {
        std::size_t items = 0, filled = 0, numbers = 0;
        bool decimal = false;
        for (const auto& row : below) {
            const std::string_view text = cell(row, k);
            items += IsItemCell(text);
            filled += !TrimBlanks(text).empty();
            numbers += IsWholeNumberText(text);
            decimal = decimal || IsDecimalNumberText(text);
        }
        // The run refuses a longer cell in an item column, so one such cell
        // in the rows looked at makes the column no item.
        item[k] = items == below.size() && filled > 0;
        numeric[k] = decimal &&
                     static_cast<double>(numbers) >= kNearlyAll * static_cast<double>(filled) &&
                     static_cast<double>(filled) >= kMost * count;
    }
    std::size_t itemColumns = 0, named = 0;
    for (std::size_t k = 0; k < width; ++k) {
        if (!item[k]) continue;
        ++itemColumns;
        named += !IsItemCell(cell(rows.front(), k));
    }
    proposal.header = rows.size() > 1 && (itemColumns == 0 || named * 2 >= itemColumns);
    if (proposal.header) proposal.names.assign(rows.front().begin(), rows.front().end());
    const std::span<const std::vector<std::string>> data = proposal.header ? rows.subspan(1) : rows;

    for (std::size_t k = 0; k < width; ++k) {
        if (item[k]) {
            proposal.itemColumns.push_back(k);
        } else if (numeric[k] && !proposal.thetaColumn) {
            proposal.thetaColumn = k;
        } else if (!proposal.idColumn) {
            proposal.idColumn = k;
        }
    }
    if (proposal.idColumn) ProposeGroupColumn(data, width, proposal);
    if (proposal.idColumn && !data.empty() &&
        IsKeyIdentifier(cell(data.front(), *proposal.idColumn))) {
        proposal.keyRecord = proposal.header ? 2 : 1;
    }
    proposal.notes.push_back(std::to_string(data.size()) + " rows looked at");
    if (proposal.keyRecord) {
        proposal.notes.push_back("key row: row " + std::to_string(*proposal.keyRecord));
    }
    if (wider) {
        proposal.notes.push_back(
            "rows with more cells than the first row: their last cells are "
            "in no column");
    }
    if (proposal.groupColumn) {
        proposal.notes.push_back("a group column beside the ID (column " +
                                 std::to_string(*proposal.groupColumn + 1) +
                                 "): its text names each examinee's group");
    }
    if (proposal.itemColumns.empty())
        proposal.notes.push_back("no column of single responses found");
    return proposal;
}

char DetectDelimiter(std::span<const std::string> lines) {
    char best = 0;
    std::size_t bestCount = 0;
    for (const char delimiter : {'\t', ',', ';', '|'}) {
        std::size_t first = 0, same = 0, nonBlank = 0;
        bool started = false;
        for (const std::string& line : lines) {
            if (IsBlankLine(line)) continue;
            ++nonBlank;
            const auto n =
                static_cast<std::size_t>(std::count(line.begin(), line.end(), delimiter));
            if (!started) {
                first = n;
                started = true;
            }
            same += n == first;
        }
        if (first > bestCount &&
            static_cast<double>(same) >= kNearlyAll * static_cast<double>(nonBlank)) {
            best = delimiter;
            bestCount = first;
        }
    }
    return best;
}

ResponseFormat DetectFormat(std::span<const std::string> lines) {
    const char delimiter = DetectDelimiter(lines);
    if (delimiter == 0) return ResponseFormat::Fixed;
    return delimiter == '\t' ? ResponseFormat::Tsv : ResponseFormat::Csv;
}

namespace {

// What the first lines say about a file written in UTF-16: its byte order
// mark, or NUL bytes in every other place where ASCII text would be. Empty
// for any other file.
std::string Utf16Sign(std::span<const std::string> lines) {
    if (lines.empty()) return {};
    const std::string_view first = lines.front();
    if (first.substr(0, 2) == "\xFF\xFE" || first.substr(0, 2) == "\xFE\xFF") {
        return "its byte order mark";
    }
    std::size_t bytes = 0, nuls = 0;
    for (const std::string& line : lines) {
        bytes += line.size();
        nuls += static_cast<std::size_t>(std::count(line.begin(), line.end(), '\0'));
    }
    return bytes > 0 && 4 * nuls >= bytes ? "its NUL bytes" : std::string();
}

}  // namespace

DetectionResult DetectLayoutOfFile(const std::string& path, const StopPoll& stop) {
    DetectionResult result;
    std::vector<std::string> lines;
    {
        // Only the first lines are read, each up to a bound: a file of one
        // endless line (/dev/zero) costs no more than the bound.
        LineReader reader(path, LineReader::kDefaultBufferSize, stop);
        while (!reader.Ended() && lines.size() < kDetectionLines) {
            std::string& line = lines.emplace_back();
            if (!reader.ReadLineWithin(line, kDetectionLineBytes)) {
                result.error = "line " + std::to_string(lines.size()) + " of " + path +
                               " is longer than " + std::to_string(kDetectionLineBytes) +
                               " bytes, more than a line of responses holds: it is not a "
                               "response file (only the first lines are read)";
                return result;
            }
        }
        result.stopped = reader.Status() == ReadStatus::Stopped;
        if (result.stopped) return result;
        if (reader.Status() != ReadStatus::Read) {
            result.error = "the file " + path + " cannot be read";
            return result;
        }
    }
    if (const std::string sign = Utf16Sign(lines); !sign.empty()) {
        result.error = "the file " + path + " is UTF-16 text (by " + sign +
                       "): save it as UTF-8 or plain ASCII text and detect again";
        return result;
    }
    const char delimiter = DetectDelimiter(lines);
    if (delimiter == 0) {
        result.proposal = DetectFixedLayout(lines);
        return result;
    }
    const ResponseFormat format = delimiter == '\t' ? ResponseFormat::Tsv : ResponseFormat::Csv;
    std::vector<std::vector<std::string>> rows;
    DelimitedRecords records(path, delimiter, InputFile::kDefaultBufferSize, stop);
    records.LimitRecordBytes(kDetectionLineBytes);
    while (rows.size() < kDetectionLines && records.Next()) {
        if (records.RecordCut()) {
            result.error = "row " + std::to_string(records.RecordNumber()) + " of " + path +
                           " holds more than " + std::to_string(kDetectionLineBytes) +
                           " bytes (a quote left open?): it is not a response file's row";
            return result;
        }
        std::vector<std::string>& row = rows.emplace_back();
        for (std::size_t k = 0; k < records.CellCount(); ++k) row.emplace_back(records.Cell(k));
    }
    result.stopped = records.Status() == ReadStatus::Stopped;
    result.proposal = DetectDelimitedLayout(rows, format);
    result.proposal.delimiter = delimiter;
    return result;
}

namespace {

// A column by its header name when it has one, else by its number.
std::string ColumnWord(const LayoutProposal& p, std::size_t k) {
    if (p.header && k < p.names.size() && !TrimBlanks(p.names[k]).empty()) {
        const std::string_view name = TrimBlanks(p.names[k]);
        // A name that looks like a number would be read as one.
        const bool digits =
            std::all_of(name.begin(), name.end(), [](char ch) { return ch >= '0' && ch <= '9'; });
        const bool special = name.find_first_of(":,") != std::string_view::npos;
        // A name two columns share would not say which.
        const bool shared = std::count_if(p.names.begin(), p.names.end(), [&](const auto& other) {
                                return TrimBlanks(other) == name;
                            }) > 1;
        if (!digits && !special && !shared) return ShellWord(name);
    }
    return std::to_string(k + 1);
}

bool Contiguous(const std::vector<std::size_t>& columns) {
    for (std::size_t k = 1; k < columns.size(); ++k) {
        if (columns[k] != columns[k - 1] + 1) return false;
    }
    return true;
}

}  // namespace

std::string ProposalAsOptions(const LayoutProposal& p) {
    std::string text = "--format " + std::string(FormatName(p.format));
    auto add = [&](std::string_view option, const std::string& value) {
        text += " --" + std::string(option) + " " + value;
    };
    if (!IsDelimited(p.format)) {
        if (p.id.length != 0) {
            add("examinee-id-start", std::to_string(p.id.start));
            add("examinee-id-length", std::to_string(p.id.length));
        }
        if (p.theta.length != 0) {
            add("theta-start", std::to_string(p.theta.start));
            add("theta-length", std::to_string(p.theta.length));
        }
        add("response-start", std::to_string(p.responseStart));
        add("item-count", std::to_string(p.itemCount));
        if (p.group.length != 0) {
            add("group-start", std::to_string(p.group.start));
            add("group-length", std::to_string(p.group.length));
        }
        return text;
    }
    if (p.format == ResponseFormat::Csv && p.delimiter != ',')
        add("delimiter", ShellWord(DelimiterText(p.delimiter)));
    if (!p.header) text += " --no-header";
    if (p.idColumn) add("id-column", ColumnWord(p, *p.idColumn));
    if (p.thetaColumn) add("theta-column", ColumnWord(p, *p.thetaColumn));
    if (!p.itemColumns.empty()) {
        std::string items;
        if (Contiguous(p.itemColumns) && p.itemColumns.size() > 1) {
            items =
                ColumnWord(p, p.itemColumns.front()) + ":" + ColumnWord(p, p.itemColumns.back());
        } else {
            for (const std::size_t k : p.itemColumns)
                items += (items.empty() ? "" : ",") + ColumnWord(p, k);
        }
        add("item-columns", items);
    }
    if (p.groupColumn) add("group-column", ColumnWord(p, *p.groupColumn));
    return text;
}

std::string FormatEntry(ResponseFormat format, bool header, char delimiter) {
    switch (format) {
        case ResponseFormat::Csv:
            if (delimiter == ';') return header ? kFormatEntries[3] : kFormatEntries[4];
            if (delimiter == '|') return header ? kFormatEntries[5] : kFormatEntries[6];
            return header ? kFormatEntries[1] : kFormatEntries[2];
        case ResponseFormat::Tsv:
            return header ? kFormatEntries[7] : kFormatEntries[8];
        case ResponseFormat::Auto:
            return kFormatEntries[9];
        case ResponseFormat::Fixed:
            break;
    }
    return kFormatEntries[0];
}

std::map<int, std::string> ProposalAsControlTexts(const LayoutProposal& p) {
    std::map<int, std::string> texts;
    texts[control::kResponseFormat] = FormatEntry(p.format, p.header, p.delimiter);
    auto number = [](std::size_t value) {
        return value == 0 ? std::string() : std::to_string(value);
    };
    if (!IsDelimited(p.format)) {
        texts[control::kExamineeIdStart] = number(p.id.start);
        texts[control::kExamineeIdLength] = number(p.id.length);
        texts[control::kThetaStart] = number(p.theta.start);
        texts[control::kThetaLength] = number(p.theta.length);
        texts[control::kResponseStart] = number(p.responseStart);
        texts[control::kItemCount] = number(p.itemCount);
        texts[control::kGroupStart] = number(p.group.start);
        texts[control::kGroupLength] = number(p.group.length);
        return texts;
    }
    // Cells: a column's number in its start box; the items from the first to
    // the last item column.
    texts[control::kExamineeIdStart] = p.idColumn ? number(*p.idColumn + 1) : std::string();
    texts[control::kExamineeIdLength] = p.idColumn ? "1" : "";
    texts[control::kThetaStart] = p.thetaColumn ? number(*p.thetaColumn + 1) : std::string();
    texts[control::kThetaLength] = p.thetaColumn ? "1" : "";
    texts[control::kGroupStart] = p.groupColumn ? number(*p.groupColumn + 1) : std::string();
    texts[control::kGroupLength] = p.groupColumn ? "1" : "";
    if (!p.itemColumns.empty()) {
        texts[control::kResponseStart] = number(p.itemColumns.front() + 1);
        texts[control::kItemCount] = number(p.itemColumns.back() - p.itemColumns.front() + 1);
    } else {
        texts[control::kResponseStart] = "";
        texts[control::kItemCount] = "";
    }
    return texts;
}

}  // namespace tarvo
