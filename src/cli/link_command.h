#pragma once

#include <string_view>
#include <vector>

namespace tarvo::cli {

// Runs tarvo-run --link or --items (see LinkHelpText) and returns the exit
// status: 0 done, 1 a file could not be read or written or no link was
// found, 2 a command-line error.
int RunLinkCommand(const std::vector<std::string_view>& args);

}  // namespace tarvo::cli
