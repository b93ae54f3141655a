#pragma once

#include <string>

#include "report/run_report.h"

namespace tarvo::report {

// The whole report as a JSON document (the schema is in the README).
// Values that are undefined (NaN) are written as null.
std::string ReportJson(const RunReport& report);

// Writes ReportJson to a file; on failure returns false and sets error to a
// sentence naming the file and the problem.
bool WriteReportJson(const RunReport& report, const std::string& path, std::string& error);

// The names used for the enumerations, in JSON and elsewhere.
const char* RunEndName(RunEnd end);
const char* LoopEndName(LoopEnd end);

}  // namespace tarvo::report
