#pragma once

#include <QString>
#include <cstddef>
#include <vector>

#include "output/result_file_open.h"
#include "report/run_report.h"

// "Save report..." of the results window: the run's HTML report written
// through the program's one checked open, listing the examinees up to a
// limit the user sets beside the button and the program remembers.
namespace tarvo::shell {

// The files the report may not be written over: the run's result, its
// inputs and the other files it wrote.
std::vector<NamedFile> FilesNotTheReport(const RunReport& report);

// Writes the whole run as one HTML page to path, every examinee listed up
// to examineeLimit (above it they are summarised); empty, or why it was not
// written, naming the file.
QString SaveHtmlReport(const QString& path, const RunReport& report,
                       const std::vector<NamedFile>& notThese, std::size_t examineeLimit);

// The examinee limit as last set, kept in the program's settings with its
// other choices; the runner's default (--html-examinees) until one is set.
inline constexpr std::size_t kMostListedExaminees = 100000000;
std::size_t RememberedExamineeLimit();
void RememberExamineeLimit(std::size_t limit);

}  // namespace tarvo::shell
