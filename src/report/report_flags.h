#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "report/run_report.h"

namespace tarvo::report {

// Which item parameters a calibration mode estimates; the others are given
// or forced, and a given value on a bound is no sign of trouble.
struct EstimatedParameters {
    bool a = false, b = false, c = false;
};
EstimatedParameters EstimatedIn(int mode);

// True when the mode estimates the abilities (not the items-only modes).
bool EstimatesTheta(int mode);

// The flags of an item row whose estimates, standard errors, nobs and
// p-value are filled. A parameter whose standard error is -1 is flagged as
// not estimated, not as on a bound (its value is a reset, not a limit).
std::uint32_t ItemFlagsOf(const ItemReport& item, int mode);

// The flags of an examinee row whose theta, raw score and nvalid are filled.
std::uint32_t PersonFlagsOf(const PersonReport& person, int mode);

// Short names of the set flags, in bit order ("a_at_bound", ...).
std::vector<std::string> ItemFlagNames(std::uint32_t flags);
std::vector<std::string> PersonFlagNames(std::uint32_t flags);

}  // namespace tarvo::report
