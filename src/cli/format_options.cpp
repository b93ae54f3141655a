#include "cli/format_options.h"

#include <cstdio>

#include "input/format/layout_detection.h"
#include "input/format/response_format.h"
#include "platform/control_ids.h"

namespace tarvo::cli {

namespace {

// Sets the entry, replacing one of the same name (a later option wins).
void SetEntry(const FormatOptions& options, std::string_view name, std::string_view value) {
    for (auto& [entry, text] : *options.entries) {
        if (entry == name) {
            text = std::string(value);
            return;
        }
    }
    options.entries->emplace_back(std::string(name), std::string(value));
}

}  // namespace

bool IsFormatFlag(std::string_view name) { return name == "no-header"; }

bool IsFormatOption(std::string_view name) {
    if (name == "detect") return true;
    for (const FormatEntryName& entry : kFormatEntryNames) {
        if (entry.name == name && entry.controlId != control::kHeaderRow) return true;
    }
    return false;
}

std::string ApplyFormatOption(std::string_view name, std::string_view value,
                              const FormatOptions& options) {
    if (IsFormatFlag(name)) {
        SetEntry(options, "header", "no");
        return {};
    }
    if (name == "detect") {
        if (value.empty()) return "--detect needs a file name";
        *options.detectFile = std::string(value);
        return {};
    }
    if (name == "format" && (value.empty() || !ParseResponseFormat(value) ||
                             value.find_first_of(" ,") != std::string_view::npos)) {
        return "--format takes csv, tsv, fixed or auto, not '" + std::string(value) + "'";
    }
    if (name == "delimiter" && !ParseDelimiter(value)) {
        return "--delimiter takes , ; | or tab, not '" + std::string(value) + "'";
    }
    if (value.empty() && name != "format") return "--" + std::string(name) + " needs a value";
    SetEntry(options, name, value);
    return {};
}

std::string FormatHelpText() {
    return "\nResponse file format:\n"
           "  --format csv|tsv|fixed|auto  fixed columns (default), comma- or tab-separated\n"
           "                            rows, or whichever the file's first lines show\n"
           "                            (auto also decides whether row 1 is a header)\n"
           "  --delimiter CHAR          csv: the cell delimiter, one of , ; | and tab (a\n"
           "                            comma; auto: as the file's first lines show), e.g.\n"
           "                            --delimiter ';' for what spreadsheets save in many\n"
           "                            locales\n"
           "  --no-header               csv/tsv: the first row is data, not column names\n"
           "  --id-column NAME|NUMBER   csv/tsv: the examinee ID column (default: none)\n"
           "  --theta-column NAME|NUMBER  csv/tsv: the given theta column (default: none)\n"
           "  --item-columns FIRST:LAST|LIST  csv/tsv: the item columns, by name or number,\n"
           "                            a range or a list split by commas (default: every\n"
           "                            column but the ID and theta)\n"
           "  --key-file FILE           the answer key on the file's first line (one character\n"
           "                            or cell per item) instead of a KEY record\n"
           "  --key KEY                 the answer key as typed: one character per item\n"
           "                            (ACDB...) or cells split by commas, instead of a\n"
           "                            KEY record\n"
           "  --detect FILE             print the layout proposed for FILE as the options\n"
           "                            that reproduce it, and do not run\n"
           "In csv/tsv files the start boxes count cells: --examinee-id-start and\n"
           "--theta-start name the ID and theta columns, --response-start the first item\n"
           "column and --item-count the number of item columns, unless the options above\n"
           "are given. Each item cell holds one response; an empty cell, NA, a blank and 9\n"
           "are missing.\n";
}

int RunDetect(const std::string& file) {
    const DetectionResult result = DetectLayoutOfFile(file);
    if (!result.error.empty()) {
        std::fprintf(stderr, "tarvo-run: %s\n", result.error.c_str());
        return 1;
    }
    std::printf("%s\n", ProposalAsOptions(result.proposal).c_str());
    for (const std::string& note : result.proposal.notes) {
        std::fprintf(stderr, "# %s\n", note.c_str());
    }
    return 0;
}

}  // namespace tarvo::cli
