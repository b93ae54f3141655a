#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "request/request_texts.h"

namespace tarvo::cli {

// What the command line asks for: the texts of the run's settings, each as
// the dialog's control would hold it (converted later by the one request
// parser), and what only the runner does.
struct Options {
    request::RequestTexts texts;
    bool view = false;
    bool help = false;
    bool quiet = false;      // no summary after the run
    std::string saveJob;     // write the job file here instead of running
    std::string jobFile;     // --job: the job file the settings were read from
    std::string detectFile;  // --detect: propose a layout for this file instead of running
};

struct ParseResult {
    std::optional<Options> options;
    std::string error;  // one line, when options is empty
};

// Reads the arguments; --job FILE is read first, so that every option given
// beside it wins over the job file's, wherever it stands.
ParseResult ParseCommandLine(const std::vector<std::string_view>& args);

// The text of --help, and the short usage of a command line without
// arguments.
std::string HelpText();
std::string UsageText();

}  // namespace tarvo::cli
