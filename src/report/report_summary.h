#pragma once

#include <string>

#include "report/run_report.h"

namespace tarvo::report {

// The short summary a command-line run prints after the run: one line on how
// it ended, the reliabilities, the raw-score order in the 1PL modes, then each
// warning on its own line beginning "WARNING ". Every line ends with '\n'.
std::string SummaryText(const RunReport& report);

// The first line alone, without its line end, e.g. "Settled after 23 passes
// (MSError change 4.1e-11)."
std::string EndingLine(const RunReport& report);

}  // namespace tarvo::report
