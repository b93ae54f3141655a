#pragma once

#include <cstddef>
#include <cstdio>
#include <string>
#include <vector>

#include "core/estimation_outcome.h"
#include "core/run_request.h"
#include "output/result_file_open.h"
#include "report/run_report.h"

namespace tarvo::cli {

// Where the summary goes: standard output, unless standard output is the
// result file itself (--output-file /dev/stdout), where it would mix into
// the result; then standard error.
std::FILE* SummaryStream(const std::string& resultFile);

// Empty, or why the run may not start, before anything is read or written:
// --report or --html-report names one of the run's inputs (the job file it
// was read from among them, when jobFile is not empty) or another of its
// outputs; or the result or the score table names the job file. The run
// itself refuses a result or a score table that is one of the other inputs.
std::string RunnerFileClash(const RunRequest& request, const std::string& jobFile);

// What the report may not be written over, by identity once opened: every
// other file of the run, the job file included.
std::vector<NamedFile> NotTheReport(const RunRequest& request, const std::string& jobFile);

// What the HTML report may not be written over: every other file of the
// run, the job file included.
std::vector<NamedFile> NotTheHtmlReport(const RunRequest& request, const std::string& jobFile);

// How publishing the report after the run went.
enum class Published { Done, Failed, Stopped };

// After the run: the summary (unless quiet) and the JSON report (when a file
// is named), answering a stop between blocks of its rows. A run that was
// itself stopped has had its stop: its report is written whole (a second
// signal ends the program at once). When writing failed or was stopped, the
// message naming the file is on standard error.
// notThese: the files the report may not be written over.
Published PublishRunReport(const RunReport& report, bool quiet, const std::string& reportFile,
                           const std::vector<NamedFile>& notThese);

// After the run: the HTML report (when a file is named) through the checked
// open, never over one of notThese; a failure is told on standard error
// naming the file.
Published PublishHtmlReport(const RunReport& report, const std::string& htmlFile,
                            std::size_t examineeLimit, const std::vector<NamedFile>& notThese);

// The exit status of a run, the same for every estimator: 0 finished and
// published, 1 ended at a check, failed, had nothing to estimate, ran
// without the item parameters its mode takes (itemsMissing) or its report
// could not be written, 128 + the signal when stopped (the run, or the
// writing of its report).
int ExitStatus(RunEnd end, Published published, int stopSignal, bool itemsMissing);

}  // namespace tarvo::cli
