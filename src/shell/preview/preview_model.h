#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "input/format/response_format.h"
#include "shell/form/dialog_controls.h"

// What the Preview window shows, without widgets: the first lines of the
// response file, its cells when it is delimited, where the dialog's current
// settings put each field, and what marking columns or Detect writes into
// the dialog's boxes.
namespace tarvo::shell {

enum class PreviewField { ExamineeId, Theta, Responses, Group };

// Columns from first (0-based), count of them: characters of a fixed-column
// line, cells of a delimited row.
struct ColumnSpan {
    std::size_t first = 0;
    std::size_t count = 0;
    friend bool operator==(const ColumnSpan&, const ColumnSpan&) = default;
};

inline constexpr std::size_t kPreviewLines = 50;

struct PreviewData {
    ResponseFormat format = ResponseFormat::Fixed;  // fixed, csv or tsv (auto decided)
    bool header = true;                             // delimited: the first row names the columns
    char delimiter = ',';                           // delimited: the cell delimiter
    std::vector<std::string> lines;                 // the first lines as the run reads them
    std::vector<std::vector<std::string>> rows;     // delimited: the cells of those rows
    std::string error;                              // the file cannot be read
};

// Reads the first kPreviewLines lines (rows) of path; formatText is the
// Format box's text (auto decides by the lines).
PreviewData LoadPreview(const std::string& path, const std::string& formatText);

// Where the dialog's boxes put a field; nothing when it is not set. For a
// delimited file the start boxes name cells.
std::optional<ColumnSpan> FieldSpan(const DialogControls& controls, PreviewField field,
                                    const PreviewData& data);

// The line (row) the run would take as the key record with the current
// settings, as an index into lines (rows); nothing when there is none.
std::optional<std::size_t> KeyRecordLine(const DialogControls& controls, const PreviewData& data);

// Writes a field's columns into its start and length boxes (for item
// responses: the start column and the item count).
void SetFieldColumns(DialogControls& controls, PreviewField field, ColumnSpan span,
                     ResponseFormat format);

// "1        10        20" and so on, over width columns.
std::string RulerText(std::size_t width);

// Proposes the layout of path and writes it into the Format box and the start
// and length boxes; returns the notes the proposal rests on (or the error).
std::vector<std::string> ApplyDetection(DialogControls& controls, const std::string& path);

// The Format box's entry for the data's format ("CSV with header").
std::string FormatText(const PreviewData& data);

}  // namespace tarvo::shell
