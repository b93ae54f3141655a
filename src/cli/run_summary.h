#pragma once

#include <cstdio>
#include <string>

#include "cli/options.h"
#include "report/run_report.h"

namespace tarvo::cli {

// Where the summary goes: standard output, unless standard output is the
// result file itself (--output-file /dev/stdout), where it would mix into
// the result; then standard error.
std::FILE* SummaryStream(const std::string& resultFile);

// Empty, or why --report cannot name that file: it is one of the run's
// input files or its result file, which the report would overwrite.
std::string ReportFileClash(const Options& options);

// After the run: the summary (unless quiet) and the JSON report (when a file
// is named). False when the report file could not be written; the message
// naming it is then on standard error.
bool PublishRunReport(const RunReport& report, bool quiet, const std::string& reportFile);

}  // namespace tarvo::cli
