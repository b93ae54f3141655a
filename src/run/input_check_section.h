#pragma once

#include <vector>

#include "input/check/input_check.h"
#include "report/run_report.h"

namespace tarvo {

// The input check's findings as a section of the run report: under
// "input_check" an array of {code, message, count, examples, serious}, one entry per
// finding in the check's order (empty when the inputs look sound), and each
// message once among the report's warnings, before the others (the section
// leads: the summaries show them before the line on how the run ended).
ReportSection InputCheckSection(const std::vector<InputFinding>& findings);

}  // namespace tarvo
