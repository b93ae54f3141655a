#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

// The response file's format options of the command line: --format,
// --no-header, --id-column, --theta-column, --item-columns, --key-file and --key,
// each kept as a format entry of the request (the job file's "format"
// section) by its own name; and --detect FILE.
namespace tarvo::cli {

struct FormatOptions {
    std::vector<std::pair<std::string, std::string>>* entries = nullptr;
    std::string* detectFile = nullptr;
};

// --no-header, the option without a value.
bool IsFormatFlag(std::string_view name);

// Options with a value, and the flag (any value); ApplyFormatOption
// replaces the entry of the same name and returns an error line, or nothing.
bool IsFormatOption(std::string_view name);
std::string ApplyFormatOption(std::string_view name, std::string_view value,
                              const FormatOptions& options);

std::string FormatHelpText();

// --detect FILE: prints the layout proposed for the file as the options that
// reproduce it, with notes on standard error. Returns the exit status.
int RunDetect(const std::string& file);

}  // namespace tarvo::cli
