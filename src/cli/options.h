#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cli/marginal_options.h"

namespace tarvo::cli {

// What the command line asks for. Each dialog option holds the text the
// dialog's control would hold; the run converts it by the dialog's rules.
struct Options {
    int mode = 2;
    std::map<int, std::string> controlTexts;  // by control identifier
    bool standardize = true;
    bool view = false;
    bool help = false;
    unsigned threads = 0;    // 0: every core
    bool quiet = false;      // no summary after the run
    std::string reportFile;  // empty: no JSON report
    MethodOptions method;    // --method and the marginal estimator's options
    std::string detectFile;  // --detect: propose a layout for this file instead of running
};

struct ParseResult {
    std::optional<Options> options;
    std::string error;  // one line, when options is empty
};

ParseResult ParseCommandLine(const std::vector<std::string_view>& args);

// The text of --help.
std::string HelpText();

}  // namespace tarvo::cli
