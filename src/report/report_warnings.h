#pragma once

#include <string>
#include <vector>

#include "report/run_report.h"

namespace tarvo::report {

// Standardising abilities whose spread (before division) is below this
// stretches them by more than a quarter: in a 1PL mode, where a is held at
// 1, the scale of b then follows the data instead of the logit metric.
inline constexpr double kSmallThetaSpread = 0.8;

// Item numbers listed in a warning; more are counted, not listed.
inline constexpr std::size_t kListedItems = 20;

// The warnings of a report whose rows and statistics are filled, each one
// sentence naming the cause and what to do, in a fixed order.
std::vector<std::string> WarningsFor(const RunReport& report);

}  // namespace tarvo::report
