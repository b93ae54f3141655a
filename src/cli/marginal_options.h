#pragma once

#include <string>
#include <string_view>

#include "estimation/marginal/mml_settings.h"

namespace tarvo::cli {

// The estimator options of the command line: --method and the marginal
// estimator's own options.
struct MethodOptions {
    bool marginal = false;  // --method mml; jml (the classic) by default
    MarginalSettings settings;
    bool modelGiven = false;
    bool marginalOptionGiven = false;  // any option that only mml reads
};

// Options without a value.
bool IsMethodFlag(std::string_view name);
void ApplyMethodFlag(std::string_view name, MethodOptions& options);

// Options with a value; ApplyMethodOption returns an error line, or nothing.
bool IsMethodOption(std::string_view name);
std::string ApplyMethodOption(std::string_view name, std::string_view value,
                              MethodOptions& options);

// After all options: the model follows the mode when not given (mode 5:
// 3pl-c-given, mode 6: 1pl, otherwise 3pl); options that only the marginal
// estimator reads are refused with the classic one. Returns an error line,
// or nothing.
std::string FinishMethodOptions(int mode, MethodOptions& options);

std::string MethodHelpText();

}  // namespace tarvo::cli
