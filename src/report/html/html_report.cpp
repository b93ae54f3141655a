#include "report/html/html_report.h"

#include <set>

#include "report/html/html_sections.h"
#include "report/report_json.h"
#include "report/report_summary.h"

namespace tarvo::report {

namespace html {

void OtherSections(std::string& out, const Page& page) {
    // What the sections of this page show; any other member is a section
    // this page does not know, shown by its tables.
    static const std::set<std::string> kShown{"schema_version",
                                              "program",
                                              "job",
                                              "input_files",
                                              "run",
                                              "loop",
                                              "mml",
                                              "reliability",
                                              "warnings",
                                              "input_check",
                                              "inputs",
                                              "fit",
                                              "local_dependence",
                                              "model_fit",
                                              "model_comparison",
                                              "polytomous",
                                              "summed_scores",
                                              "items",
                                              "examinees",
                                              "options",
                                              "groups",
                                              "group_calibration",
                                              "dif"};
    for (const auto& [key, value] : page.document.items()) {
        if (kShown.count(key) != 0 || value.is_null()) continue;
        SectionStart(out, key, "Results: " + key);
        AnyTable(out, page.document, "/" + key);
        SectionEnd(out);
    }
}

}  // namespace html

std::string HtmlReport(const RunReport& report, const HtmlReportOptions& options) {
    using html::Json;
    html::Page page{report, Json::parse(ReportHeadJson(report)), false};
    Json items = Json::array();
    for (std::size_t i = 0; i < report.itemRows.size(); ++i) {
        items.push_back(Json::parse(ItemRowJson(report, i)));
    }
    page.document["items"] = std::move(items);
    // The examinees' rows are parsed where the page shows them: all of them
    // up to the limit, above it only the misfitting ones the fit lists.
    page.examineesListed = report.personRows.size() <= options.examineeLimit;
    Json examinees = Json::array();
    for (std::size_t j = 0; j < report.personRows.size(); ++j) {
        const bool shown = page.examineesListed || (report.personRows[j].flags & kPersonMisfit);
        examinees.push_back(shown ? Json::parse(PersonRowJson(report, j)) : Json());
    }
    page.document["examinees"] = std::move(examinees);

    std::string out = html::PageStart("TARVO report: " + report.resultFile);
    out += "<header><h1>Calibration report</h1><p>" + html::Escape(report.program) + ", mode " +
           std::to_string(report.mode) + ", " + html::Escape(report.method) + " " +
           html::Escape(report.model) + ": " + html::Escape(EndingLine(report)) +
           "</p><p class=\"note\">Result file " + html::Escape(report.resultFile) +
           "; response file " + html::Escape(report.responseFile) + ".</p></header>\n";
    html::SummarySection(out, page);
    html::SettingsSection(out, page);
    html::ClassicalSection(out, page);
    html::ItemsSection(out, page);
    html::FitSection(out, page);
    html::OptionsSection(out, page);
    html::PersonItemMapSection(out, page);
    html::ItemCurvesSection(out, page);
    html::InformationSection(out, page);
    html::ScoreTableSection(out, page);
    html::PopulationSection(out, page);
    html::TraceSection(out, page);
    html::ExamineesSection(out, page, options.examineeLimit);
    html::GroupsSection(out, page);
    html::DifSection(out, page);
    html::OtherSections(out, page);
    out += html::PageEnd();
    return out;
}

}  // namespace tarvo::report
