#include "shell/preview/preview_model.h"

#include <algorithm>

#include "input/format/delimited_records.h"
#include "input/format/layout_detection.h"
#include "input/text/line_reader.h"
#include "input/text/number_text.h"
#include "input/text/scoring.h"
#include "input/text/text_rules.h"
#include "platform/control_ids.h"

namespace tarvo::shell {

namespace id = control;

namespace {

std::uint16_t Box(const DialogControls& controls, int controlId) {
    return DialogNumber(controls.Text(controlId));
}

struct Boxes {
    int start, length;
};

Boxes BoxesOf(PreviewField field) {
    switch (field) {
        case PreviewField::ExamineeId:
            return {id::kExamineeIdStart, id::kExamineeIdLength};
        case PreviewField::Theta:
            return {id::kThetaStart, id::kThetaLength};
        case PreviewField::Group:
            return {id::kGroupStart, id::kGroupLength};
        case PreviewField::Responses:
            break;
    }
    return {id::kResponseStart, id::kItemCount};
}

}  // namespace

PreviewData LoadPreview(const std::string& path, const std::string& formatText) {
    PreviewData data;
    {
        LineReader reader(path);
        while (!reader.Ended() && data.lines.size() < kPreviewLines) {
            data.lines.push_back(reader.ReadLine());
        }
        if (reader.Status() != ReadStatus::Read) {
            data.error = "The file " + path + " cannot be read.";
            return data;
        }
    }
    data.format = ParseResponseFormat(formatText).value_or(ResponseFormat::Fixed);
    data.delimiter = DelimiterOf(data.format);
    if (const char named = DelimiterNamedBy(formatText); named != 0) data.delimiter = named;
    data.header = !SaysNoHeader(formatText);
    if (data.format == ResponseFormat::Auto) {
        // As the run decides: the format, the delimiter and the header as
        // detection reads them.
        const DetectionResult detected = DetectLayoutOfFile(path);
        data.format = detected.proposal.format;
        data.delimiter = detected.proposal.delimiter;
        data.header = detected.proposal.header;
    }
    if (!IsDelimited(data.format)) return data;
    DelimitedRecords records(path, data.delimiter);
    while (data.rows.size() < kPreviewLines && records.Next()) {
        std::vector<std::string>& row = data.rows.emplace_back();
        for (std::size_t k = 0; k < records.CellCount(); ++k) row.emplace_back(records.Cell(k));
    }
    return data;
}

std::optional<ColumnSpan> FieldSpan(const DialogControls& controls, PreviewField field,
                                    const PreviewData& data) {
    const Boxes boxes = BoxesOf(field);
    const std::size_t start = Box(controls, boxes.start);
    std::size_t length = Box(controls, boxes.length);
    if (start == 0) return std::nullopt;
    // The group's length box left empty is one column, as the run reads it.
    if (field == PreviewField::Group && TrimBlanks(controls.Text(boxes.length)).empty()) length = 1;
    if (!IsDelimited(data.format)) {
        if (length == 0) return std::nullopt;
        return ColumnSpan{start - 1, length};
    }
    if (field != PreviewField::Responses) return ColumnSpan{start - 1, 1};
    std::size_t width = 0;
    for (const auto& row : data.rows) width = std::max(width, row.size());
    const std::size_t count = length != 0 ? length : (width > start - 1 ? width - (start - 1) : 0);
    return ColumnSpan{start - 1, count};
}

std::optional<std::size_t> KeyRecordLine(const DialogControls& controls, const PreviewData& data) {
    const std::optional<ColumnSpan> idSpan = FieldSpan(controls, PreviewField::ExamineeId, data);
    if (!idSpan) return std::nullopt;
    if (IsDelimited(data.format)) {
        const std::size_t first = data.header ? 1 : 0;
        if (first >= data.rows.size() || idSpan->first >= data.rows[first].size())
            return std::nullopt;
        if (IsKeyIdentifier(data.rows[first][idSpan->first])) return first;
        return std::nullopt;
    }
    // As the run reads it: the first line whose response field is not blank.
    const std::optional<ColumnSpan> responses = FieldSpan(controls, PreviewField::Responses, data);
    const FieldSpec idField{static_cast<std::uint16_t>(idSpan->first + 1),
                            static_cast<std::uint16_t>(idSpan->count)};
    for (std::size_t k = 0; k < data.lines.size(); ++k) {
        const std::string& line = data.lines[k];
        if (responses) {
            const std::string field = line.size() > responses->first
                                          ? line.substr(responses->first, responses->count)
                                          : "";
            if (field.find_first_not_of(' ') == std::string::npos) continue;
        }
        if (IsKeyIdentifier(CutField(line, idField))) return k;
        return std::nullopt;
    }
    return std::nullopt;
}

void SetFieldColumns(DialogControls& controls, PreviewField field, ColumnSpan span,
                     ResponseFormat format) {
    const Boxes boxes = BoxesOf(field);
    controls.SetText(boxes.start, std::to_string(span.first + 1));
    const bool single = IsDelimited(format) && field != PreviewField::Responses;
    controls.SetText(boxes.length, std::to_string(single ? 1 : span.count));
}

std::string RulerText(std::size_t width) {
    std::string ruler(width, ' ');
    if (width > 0) ruler[0] = '1';
    for (std::size_t column = 10; column <= width; column += 10) {
        const std::string number = std::to_string(column);
        const std::size_t at = column - 1;  // the number starts above its column
        for (std::size_t k = 0; k < number.size() && at + k < width; ++k) ruler[at + k] = number[k];
    }
    return ruler;
}

std::vector<std::string> ApplyDetection(DialogControls& controls, const std::string& path) {
    const DetectionResult result = DetectLayoutOfFile(path);
    if (!result.error.empty()) return {result.error};
    for (const auto& [controlId, text] : ProposalAsControlTexts(result.proposal)) {
        controls.SetText(controlId, text);
    }
    std::vector<std::string> notes = {"Proposed: " + ProposalAsOptions(result.proposal)};
    notes.insert(notes.end(), result.proposal.notes.begin(), result.proposal.notes.end());
    return notes;
}

std::string FormatText(const PreviewData& data) {
    return FormatEntry(data.format, data.header, data.delimiter);
}

}  // namespace tarvo::shell
