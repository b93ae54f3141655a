#pragma once

#include <map>
#include <string>
#include <string_view>

// The response file's format options of the command line: --format,
// --no-header, --id-column, --theta-column, --item-columns and --key-file,
// each kept as the text of its control identifier so that the run reads it
// as it reads the dialog's boxes; and --detect FILE.
namespace tarvo::cli {

struct FormatOptions {
    std::map<int, std::string>* controlTexts = nullptr;
    std::string* detectFile = nullptr;
};

// Options without a value.
bool IsFormatFlag(std::string_view name);
void ApplyFormatFlag(std::string_view name, const FormatOptions& options);

// Options with a value; ApplyFormatOption returns an error line, or nothing.
bool IsFormatOption(std::string_view name);
std::string ApplyFormatOption(std::string_view name, std::string_view value,
                              const FormatOptions& options);

std::string FormatHelpText();

// --detect FILE: prints the layout proposed for the file as the options that
// reproduce it, with notes on standard error. Returns the exit status.
int RunDetect(const std::string& file);

}  // namespace tarvo::cli
