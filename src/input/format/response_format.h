#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/control_ids.h"
#include "platform/control_texts.h"

namespace tarvo {

// How the response file is laid out: fixed columns (the classic records), or
// one row per examinee with cells separated by a delimiter (csv: a comma, a
// semicolon or a bar; tsv: a tab). Auto decides by the file's first lines.
enum class ResponseFormat { Fixed, Csv, Tsv, Auto };

// The settings of the response file beyond the fixed-column boxes. The
// column texts name a column by its header name or its number from 1;
// empty texts leave the choice to the start and length boxes (see
// ResolveColumns).
struct ResponseLayout {
    ResponseFormat format = ResponseFormat::Fixed;
    bool header = true;           // delimited: the first row names the columns
    char delimiter = ',';         // delimited: the cell delimiter (a tab for tsv)
    bool delimiterGiven = false;  // stated (--delimiter, a Format entry such as "CSV (;)")
    std::string idColumn;
    std::string thetaColumn;
    std::string itemColumns;  // FIRST:LAST, or a list of columns and ranges split by commas
    std::string groupColumn;  // the examinees' group; empty: none
    std::string keyFile;      // empty: the key row, or all "1"
    std::string key;          // a typed key (ACDB..., or cells); empty: none
};

// The format named by text: its first word, in any case, is fixed, csv, tsv
// or auto ("Fixed columns", "CSV with header"); an empty text is fixed.
// Nothing for any other text.
std::optional<ResponseFormat> ParseResponseFormat(std::string_view text);

// Whether a format text says that the first row is data ("CSV, no header").
bool SaysNoHeader(std::string_view text);

// The delimiter a Format entry names in brackets ("CSV (;) with header"),
// or 0 when it names none.
char DelimiterNamedBy(std::string_view formatText);

// A delimiter as --delimiter takes it: , ; | or tab (or the words comma,
// semicolon, pipe); nothing for any other text.
std::optional<char> ParseDelimiter(std::string_view text);

// A delimiter as --delimiter writes it: ",", ";", "|" or "tab".
std::string_view DelimiterText(char delimiter);

// The layout from the control texts. A format text that names no format is
// reported in error (the run ends at the check), and the layout is fixed.
ResponseLayout ReadResponseLayout(const ControlTexts& texts, std::string& error);

// The names of the format entries of a run request (and of a job file's
// "format" section), each beside the control identifier that holds its text
// in the dialog; the runner's options of the same names set them.
struct FormatEntryName {
    int controlId;
    std::string_view name;
};
inline constexpr FormatEntryName kFormatEntryNames[] = {
    {control::kResponseFormat, "format"},
    {control::kHeaderRow, "header"},
    {control::kIdColumn, "id-column"},
    {control::kThetaColumn, "theta-column"},
    {control::kItemColumns, "item-columns"},
    {control::kKeyFile, "key-file"},
    {control::kAnswerKey, "key"},
    {control::kDelimiter, "delimiter"},
};

bool IsDelimited(ResponseFormat format);
// The cell delimiter of a delimited format when none other is stated: a
// comma for csv, a tab for tsv.
char DelimiterOf(ResponseFormat format);
// "fixed", "csv", "tsv" or "auto", as the runner's --format takes it.
std::string_view FormatName(ResponseFormat format);

}  // namespace tarvo
