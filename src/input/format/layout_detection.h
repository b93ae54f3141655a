#pragma once

#include <cstddef>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "core/run_tables.h"
#include "input/format/response_format.h"
#include "input/text/input_file.h"

namespace tarvo {

// A layout proposed from a response file's first lines; nothing of it is
// used until the user takes it.
struct LayoutProposal {
    ResponseFormat format = ResponseFormat::Fixed;
    char delimiter = ',';  // delimited: the cell delimiter

    // Fixed columns: the fields (length 0: none found).
    FieldSpec id;
    FieldSpec theta;
    FieldSpec group;  // the examinees' group
    std::uint16_t responseStart = 0;
    std::uint16_t itemCount = 0;

    // Delimited: the header and the columns, indexes from 0.
    bool header = true;
    std::vector<std::string> names;  // the header's names (empty without a header)
    std::optional<std::size_t> idColumn;
    std::optional<std::size_t> thetaColumn;
    std::optional<std::size_t> groupColumn;
    std::vector<std::size_t> itemColumns;

    std::optional<std::size_t> keyRecord;  // its line (fixed) or row (delimited), from 1
    std::vector<std::string> notes;        // what the proposal rests on, for the user
};

// Fixed columns, from the lines as read (blank lines are passed over):
// - a key record: the first record, when it begins with KEY;
// - the responses: the longest run of columns that hold a response
//   character (the key's characters, else letters and digits), a blank or a
//   9 on nearly every line and a response on most, passing over the leading
//   block when another run is there;
// - the ID: the leading non-blank block, up to the responses;
// - theta: a block of columns before or after the responses that holds a
//   signed decimal number on nearly every line;
// - the group: the block beside the ID, when it is short text of a few
//   values (LooksLikeGroups).
LayoutProposal DetectFixedLayout(std::span<const std::string> lines);

// Delimited rows (cells as read): a header when the first row's cells are
// names where the rows below hold single responses; items: the columns of
// single characters (empty, NA and 9 missing); theta: a column of signed
// decimal numbers; the ID: the first other column; a key row: the first row
// whose ID begins with KEY; the group: the column beside the ID when it holds
// short text of a few values (LooksLikeGroups) that no item column holds (so
// a column of M and F beside items scored 0..5 is no item).
LayoutProposal DetectDelimitedLayout(std::span<const std::vector<std::string>> rows,
                                     ResponseFormat format);

// Whether the texts of a field (one per record, blanks and NA for none) look
// like the examinees' groups: short text, at least one with a letter, of 2
// to kMostGroupValues distinct values, given on most records.
inline constexpr std::size_t kMostGroupValues = 10;
bool LooksLikeGroups(std::span<const std::string_view> texts);

// The cell delimiter of a file from its first lines, 0 for none: of tab,
// comma, semicolon and bar, those that nearly every line holds as often as
// the first line does, more than none; of these the one the first line
// holds most often (on a tie, the first in that order), so that decimal
// commas in a file split by semicolons do not make it comma-separated.
char DetectDelimiter(std::span<const std::string> lines);

// The format of a file from its first lines: tsv for a tab delimiter, csv
// for another, fixed columns without one.
ResponseFormat DetectFormat(std::span<const std::string> lines);

struct DetectionResult {
    LayoutProposal proposal;
    std::string error;     // the file cannot be read
    bool stopped = false;  // the stop poll said stop while the file was read
};

// Reads the first lines (rows) of a file, each up to kDetectionLineBytes,
// and proposes its layout; a longer line, or a file in UTF-16, is an error.
// A stop poll ends the wait on a pipe that delivers nothing.
inline constexpr std::size_t kDetectionLines = 200;
// A line (row) longer than this is not one of responses: 65,535 items of a
// cell each, with their delimiters, an ID and theta, take less.
inline constexpr std::size_t kDetectionLineBytes = std::size_t{1} << 20;
DetectionResult DetectLayoutOfFile(const std::string& path, const StopPoll& stop = {});

// The runner's options that reproduce the proposal, on one line.
std::string ProposalAsOptions(const LayoutProposal& proposal);

// The proposal as the dialog's control texts: the Format box and the start
// and length boxes (for a delimited file they count cells).
std::map<int, std::string> ProposalAsControlTexts(const LayoutProposal& proposal);

// The Format box's entries, in their order, and the entry for a format (a
// csv file split by semicolons or bars names its delimiter in brackets).
inline constexpr const char* kFormatEntries[] = {"Fixed columns",      "CSV with header",
                                                 "CSV, no header",     "CSV (;) with header",
                                                 "CSV (;), no header", "CSV (|) with header",
                                                 "CSV (|), no header", "TSV with header",
                                                 "TSV, no header",     "Auto"};
std::string FormatEntry(ResponseFormat format, bool header, char delimiter = ',');

}  // namespace tarvo
