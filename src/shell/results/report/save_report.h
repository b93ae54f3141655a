#pragma once

#include <QString>
#include <vector>

#include "output/result_file_open.h"
#include "report/run_report.h"

// "Save report..." of the results window: the run's HTML report written
// through the program's one checked open.
namespace tarvo::shell {

// The files the report may not be written over: the run's result, its
// inputs and the other files it wrote.
std::vector<NamedFile> FilesNotTheReport(const RunReport& report);

// Writes the whole run as one HTML page to path; empty, or why it was not
// written, naming the file.
QString SaveHtmlReport(const QString& path, const RunReport& report,
                       const std::vector<NamedFile>& notThese);

}  // namespace tarvo::shell
