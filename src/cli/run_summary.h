#pragma once

#include <cstdio>
#include <string>

#include "core/estimation_outcome.h"
#include "core/run_request.h"
#include "report/run_report.h"

namespace tarvo::cli {

// Where the summary goes: standard output, unless standard output is the
// result file itself (--output-file /dev/stdout), where it would mix into
// the result; then standard error.
std::FILE* SummaryStream(const std::string& resultFile);

// Empty, or why --report cannot name that file: it is one of the run's
// input files or its result file, which the report would overwrite.
std::string ReportFileClash(const RunRequest& request);

// How publishing the report after the run went.
enum class Published { Done, Failed, Stopped };

// After the run: the summary (unless quiet) and the JSON report (when a file
// is named), answering a stop between blocks of its rows. A run that was
// itself stopped has had its stop: its report is written whole (a second
// signal ends the program at once). When writing failed or was stopped, the
// message naming the file is on standard error.
Published PublishRunReport(const RunReport& report, bool quiet, const std::string& reportFile);

// The exit status of a run, the same for every estimator: 0 finished and
// published, 1 ended at a check, failed, had nothing to estimate or its
// report could not be written, 128 + the signal when stopped (the run, or
// the writing of its report).
int ExitStatus(RunEnd end, Published published, int stopSignal);

}  // namespace tarvo::cli
