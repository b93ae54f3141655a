#pragma once

#include <functional>
#include <string>

#include "report/run_report.h"

namespace tarvo::report {

// The whole report as a JSON document (the schema is in the README).
// Values that are undefined (NaN) are written as null; every item and
// examinee is one line.
std::string ReportJson(const RunReport& report);

// Asked between blocks of rows; true ends the writing.
using StopRequested = std::function<bool()>;

// How writing the report went.
enum class ReportWrite { Written, Failed, Stopped };

// Writes ReportJson into descriptor, a regular file opened for writing (by
// the program's checked open) and empty, which it closes, asking
// stopRequested (when given) between blocks of rows, so that a stop is
// answered however large the report. On failure error is a sentence naming
// the file (path) and the problem; a file that a stop left unfinished is
// removed.
ReportWrite WriteReportJson(const RunReport& report, int descriptor, const std::string& path,
                            std::string& error, const StopRequested& stopRequested = {});

// The names used for the enumerations, in JSON and elsewhere.
const char* RunEndName(RunEnd end);
const char* LoopEndName(LoopEnd end);

}  // namespace tarvo::report
