#pragma once

#include "report/option_analysis.h"
#include "report/run_report.h"

namespace tarvo::report {

// The option analysis as the report's section `options`: its JSON (per item
// every option's count, proportion, group proportions, mean ability and
// point-biserial with their flags; an item scored 0..m its scores' shares by
// group), a summary line and a line per flagged item, and a warning for each
// item whose key deserves a check.
ReportSection OptionSection(const OptionAnalysis& analysis);

// The summary lines alone (the runner prints them with the summary).
std::vector<std::string> OptionSummary(const OptionAnalysis& analysis);

}  // namespace tarvo::report
