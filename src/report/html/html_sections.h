#pragma once

// The HTML report's sections, each written from the report and its JSON
// document into out.

#include <cstddef>
#include <string>

#include "report/html/html_writer.h"
#include "report/run_report.h"

namespace tarvo::report::html {

// What every section reads: the run's report and its JSON document (the
// examinees' rows parsed only where the page shows them, null elsewhere).
struct Page {
    const RunReport& report;
    Json document;
    bool examineesListed = false;
};

// html_report.cpp: the tables.
void SummarySection(std::string& out, const Page& page);
void SettingsSection(std::string& out, const Page& page);
void ClassicalSection(std::string& out, const Page& page);
void ItemsSection(std::string& out, const Page& page);
void FitSection(std::string& out, const Page& page);
void ExamineesSection(std::string& out, const Page& page, std::size_t limit);
// Every member of the document that no section above shows.
void OtherSections(std::string& out, const Page& page);

// html_sections.cpp: the plots and the tables beside them.
void PersonItemMapSection(std::string& out, const Page& page);
void ItemCurvesSection(std::string& out, const Page& page);
void InformationSection(std::string& out, const Page& page);
void ScoreTableSection(std::string& out, const Page& page);
void PopulationSection(std::string& out, const Page& page);
void TraceSection(std::string& out, const Page& page);

// html_options.cpp: the option analysis (the JSON's "options" section)
// where the run formed one, a table and a trace plot per item; a note where
// it did not.
void OptionsSection(std::string& out, const Page& page);

// html_groups.cpp: the examinees' groups ("groups", "group_calibration")
// and the DIF screens ("dif"), each only where the run has it.
void GroupsSection(std::string& out, const Page& page);
void DifSection(std::string& out, const Page& page);

}  // namespace tarvo::report::html
