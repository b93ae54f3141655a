#pragma once

#include <cstddef>
#include <string>

#include "report/run_report.h"

namespace tarvo::report {

// Above this many examinees the report summarises them (their abilities'
// spread, the flags, the examinees that misfit most) instead of listing
// every one; the user can raise it (--html-examinees).
inline constexpr std::size_t kHtmlExamineeLimit = 2000;

struct HtmlReportOptions {
    std::size_t examineeLimit = kHtmlExamineeLimit;
};

// The whole run as one HTML page that needs nothing else: no network, no
// script to read it (a small one sorts the tables where scripts run), the
// plots as inline SVG, a page break before each section when printed. The
// summary and every warning come first, then the settings and inputs, the
// classical statistics, the items with their errors and flags, the fit, the
// option analysis, the person-item map, every item's curve with its
// observed points, the test information, the score table, the population,
// the estimator's trace and the examinees; any other section of the JSON
// report follows as tables. Every number in a table is the JSON report's
// (each cell carries the JSON's text of its value).
std::string HtmlReport(const RunReport& report, const HtmlReportOptions& options = {});

}  // namespace tarvo::report
