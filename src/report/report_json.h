#pragma once

#include <cstddef>
#include <functional>
#include <string>

#include "report/run_report.h"

namespace tarvo::report {

// The whole report as a JSON document (the schema is in the README).
// Values that are undefined (NaN) are written as null; every item and
// examinee is one line.
std::string ReportJson(const RunReport& report);

// The pieces of that document, each as JSON text: everything but the rows
// (an object), and one item's or one examinee's row with the members the
// sections add to it (index from 0). Readers that show the report another
// way (the HTML report) take their numbers from here, so that they are the
// JSON's to the last digit.
std::string ReportHeadJson(const RunReport& report);
std::string ItemRowJson(const RunReport& report, std::size_t index);
std::string PersonRowJson(const RunReport& report, std::size_t index);

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
