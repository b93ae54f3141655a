#pragma once

#include <string>

namespace tarvo::cli {

// Starts program with file as its one argument, detached and without a
// shell, so that no character of the name can be taken as a command. Does
// not wait and reports nothing when the program cannot be started.
void LaunchDetached(const std::string& program, const std::string& file);

}  // namespace tarvo::cli
