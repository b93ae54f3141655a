// The report's sections that are tables of the JSON's values.
#include <algorithm>
#include <cmath>
#include <numeric>

#include "report/html/html_sections.h"
#include "report/report_flags.h"
#include "report/report_summary.h"

namespace tarvo::report::html {

namespace {

// Examinees listed by fit when they are not all listed: the most misfitting.
constexpr std::size_t kMisfitListed = 100;

bool Has(const Json& document, const char* pointer) {
    return document.contains(Json::json_pointer(pointer));
}

bool Polytomous(const RunReport& report) {
    return std::any_of(report.itemRows.begin(), report.itemRows.end(),
                       [](const ItemReport& item) { return item.categories > 2; });
}

std::string Number(double x, int decimals) { return Shown(Json(x), decimals); }

}  // namespace

void SummarySection(std::string& out, const Page& page) {
    const RunReport& report = page.report;
    SectionStart(out, "summary", "Summary and warnings");
    // The summary as the runner prints it, without its warnings, which
    // follow as a list, every one.
    std::string summary;
    const std::string text = SummaryText(report);
    for (std::size_t from = 0, end; from < text.size(); from = end + 1) {
        end = text.find('\n', from);
        if (end == std::string::npos) end = text.size();
        const std::string line = text.substr(from, end - from);
        if (line.rfind("WARNING ", 0) != 0) summary += line + "\n";
    }
    out += "<pre class=\"summary\">" + Escape(summary) + "</pre>\n";
    if (!report.unwrittenFiles.empty()) {
        out += "<h3>Files not written</h3><ul class=\"warnings\">";
        for (const std::string& line : report.unwrittenFiles)
            out += "<li>" + Escape(line) + "</li>";
        out += "</ul>\n";
    }
    if (report.warnings.empty()) {
        out += "<p>No warnings.</p>\n";
    } else {
        out += "<h3>Warnings (" + std::to_string(report.warnings.size()) +
               ")</h3><ul class=\"warnings\">";
        for (const std::string& warning : report.warnings) {
            out += "<li>" + Escape(warning) + "</li>";
        }
        out += "</ul>\n";
    }
    if (!report.error.empty()) out += "<p><b>Error:</b> " + Escape(report.error) + "</p>\n";
    if (!report.stopLine.empty()) out += "<p><b>Stopped:</b> " + Escape(report.stopLine) + "</p>\n";
    SectionEnd(out);
}

void SettingsSection(std::string& out, const Page& page) {
    SectionStart(out, "settings", "Settings and inputs");
    MembersTable(out, page.document, "/run", "The run");
    MembersTable(out, page.document, "/input_files", "Input files");
    if (Has(page.document, "/inputs")) AnyTable(out, page.document, "/inputs");
    out +=
        "<p class=\"note\">The options below run the same calibration again "
        "(tarvo-run, or a job file).</p>";
    MembersTable(out, page.document, "/job/options", "Options");
    const Json& checks = page.document.value("input_check", Json::array());
    if (checks.is_array() && !checks.empty()) {
        out += "<h3>The input check's findings</h3>";
        AnyTable(out, page.document, "/input_check");
    }
    SectionEnd(out);
}

void ClassicalSection(std::string& out, const Page& page) {
    SectionStart(out, "classical", "Classical statistics");
    MembersTable(out, page.document, "/reliability", "Reliability");
    if (Has(page.document, "/polytomous")) {
        MembersTable(out, page.document, "/polytomous", "Items scored in more than two categories");
    }
    std::vector<Column> columns{{"item", "/seq", 0},   {"id", "/id", -1},
                                {"valid", "/nobs", 0}, {"omitted", "/omitted", 0},
                                {"p", "/p_value", 3},  {"item-rest r", "/item_rest", 3}};
    if (Polytomous(page.report)) {
        columns.push_back({"categories", "/polytomous/categories", 0});
        columns.push_back({"mean score", "/polytomous/mean_score", 3});
        columns.push_back({"category proportions", "/polytomous/category_proportions", 3});
    }
    JsonTable(out, page.document, "/items", columns, "Items");
    SectionEnd(out);
}

void ItemsSection(std::string& out, const Page& page) {
    SectionStart(out, "items", "Item parameters");
    const bool polytomous = Polytomous(page.report);
    std::vector<Column> columns{{"item", "/seq", 0}, {"id", "/id", -1}};
    if (std::any_of(page.report.itemRows.begin(), page.report.itemRows.end(),
                    [](const ItemReport& item) { return !item.name.empty(); })) {
        columns.push_back({"name", "/name", -1});
    }
    if (polytomous) columns.push_back({"model", "/polytomous/model", -1});
    for (const Column& c : std::vector<Column>{{"a", "/a", 3},
                                               {"SE a", "/se_a", 3},
                                               {"b", "/b", 3},
                                               {"SE b", "/se_b", 3},
                                               {"c", "/c", 3},
                                               {"SE c", "/se_c", 3},
                                               {"held", "/held", -1},
                                               {"flags", "/flags", -1}}) {
        columns.push_back(c);
    }
    JsonTable(out, page.document, "/items", columns, "Estimates, standard errors and flags");
    out +=
        "<p class=\"note\">A standard error of -1 means the parameter was not estimated; "
        "the flags name the reasons to distrust an estimate (see the warnings).</p>";
    if (polytomous) {
        JsonTable(out, page.document, "/items",
                  {{"item", "/seq", 0},
                   {"model", "/polytomous/model", -1},
                   {"thresholds", "/polytomous/thresholds", 3},
                   {"their errors", "/polytomous/threshold_errors", 3},
                   {"flags", "/polytomous/flags", -1}},
                  "Thresholds of the items scored 0..m");
    }
    SectionEnd(out);
}

void FitSection(std::string& out, const Page& page) {
    const Json& document = page.document;
    SectionStart(out, "fit", "Fit");
    if (!Has(document, "/fit")) {
        out += "<p>This run has no fit statistics (they are formed for a finished run).</p>";
    } else {
        MembersTable(out, document, "/fit", "How the fit was judged");
        JsonTable(out, document, "/items",
                  {{"item", "/seq", 0},
                   {"S-X2", "/fit/s_x2", 2},
                   {"df", "/fit/df", 0},
                   {"p", "/fit/p", 4},
                   {"adjusted p", "/fit/p_adjusted", 4},
                   {"infit", "/fit/infit", 3},
                   {"outfit", "/fit/outfit", 3},
                   {"infit t", "/fit/infit_t", 2},
                   {"outfit t", "/fit/outfit_t", 2},
                   {"note", "/fit_note", -1}},
                  "Item fit");
    }
    if (Has(document, "/local_dependence")) {
        out += "<h3>Local dependence</h3>";
        MembersTable(out, document, "/local_dependence");
        JsonTable(out, document, "/local_dependence/flagged",
                  {{"items", "/items", 0}, {"Q3", "/q3", 3}}, "Pairs flagged");
        JsonTable(out, document, "/local_dependence/largest",
                  {{"items", "/items", 0}, {"Q3", "/q3", 3}}, "Largest residual correlations");
    }
    if (Has(document, "/model_fit")) {
        out += "<h3>Model fit</h3>";
        MembersTable(out, document, "/model_fit");
    }
    if (Has(document, "/model_comparison")) {
        out += "<h3>Model comparison</h3>";
        JsonTable(out, document, "/model_comparison/models",
                  {{"model", "/model", -1},
                   {"run's model", "/run_model", -1},
                   {"-2LL", "/minus_2_log_likelihood", 3},
                   {"parameters", "/parameters", 0},
                   {"AIC", "/aic", 3},
                   {"BIC", "/bic", 3},
                   {"EM cycles", "/em_cycles", 0},
                   {"EM end", "/em_end", -1},
                   {"note", "/note", -1}},
                  "Models");
        JsonTable(out, document, "/model_comparison/tests",
                  {{"smaller", "/smaller", -1},
                   {"larger", "/larger", -1},
                   {"chi-square", "/chi_square", 3},
                   {"df", "/df", 0},
                   {"p", "/p", 4},
                   {"note", "/note", -1}},
                  "Likelihood-ratio tests");
    }
    // Person fit: the examinees that misfit most, by lz, when the
    // examinees are not all listed (their table has every one's fit).
    if (!page.examineesListed && Has(document, "/fit")) {
        std::vector<std::size_t> misfits;
        for (std::size_t j = 0; j < page.report.personRows.size(); ++j) {
            if (page.report.personRows[j].flags & kPersonMisfit) misfits.push_back(j);
        }
        if (misfits.size() > kMisfitListed) misfits.resize(kMisfitListed);
        out += "<h3>Person fit</h3><p>" + std::to_string(misfits.size()) +
               (misfits.size() == kMisfitListed ? " (the first) " : " ") +
               "examinees flagged as misfitting; each examinee's fit is in the JSON report.</p>";
        JsonTable(out, document, "/examinees",
                  {{"examinee", "/seq", 0},
                   {"id", "/id", -1},
                   {"theta", "/theta", 3},
                   {"lz", "/fit/lz", 2},
                   {"infit", "/fit/infit", 3},
                   {"outfit", "/fit/outfit", 3}},
                  "Misfitting examinees", misfits);
    }
    SectionEnd(out);
}

void ExamineesSection(std::string& out, const Page& page, std::size_t limit) {
    const RunReport& report = page.report;
    SectionStart(out, "examinees", "Examinees");
    const bool fit = Has(page.document, "/fit");
    if (page.examineesListed) {
        std::vector<Column> columns{{"examinee", "/seq", 0},    {"id", "/id", -1},
                                    {"theta", "/theta", 3},     {"SE", "/se_theta", 3},
                                    {"score", "/raw_score", 0}, {"valid", "/nvalid", 0},
                                    {"flags", "/flags", -1}};
        if (fit) {
            columns.push_back({"lz", "/fit/lz", 2});
            columns.push_back({"infit", "/fit/infit", 3});
            columns.push_back({"outfit", "/fit/outfit", 3});
        }
        JsonTable(out, page.document, "/examinees", columns, "Every examinee");
        SectionEnd(out);
        return;
    }
    out += "<p>" + std::to_string(report.personRows.size()) + " examinees, more than the " +
           std::to_string(limit) +
           " this report lists (--html-examinees raises the limit); every examinee is in the "
           "result file and the JSON report.</p>";
    std::vector<double> thetas;
    thetas.reserve(report.personRows.size());
    std::size_t flagged[5] = {};
    for (const PersonReport& p : report.personRows) {
        if (std::isfinite(p.theta) && p.nvalid > 0) thetas.push_back(p.theta);
        for (int bit = 0; bit < 5; ++bit) flagged[bit] += (p.flags >> bit) & 1u;
    }
    std::vector<std::vector<std::string>> rows;
    rows.push_back({"examinees with a finite theta", std::to_string(thetas.size())});
    if (!thetas.empty()) {
        std::sort(thetas.begin(), thetas.end());
        const double n = static_cast<double>(thetas.size());
        const double mean = std::accumulate(thetas.begin(), thetas.end(), 0.0) / n;
        double squares = 0;
        for (double t : thetas) squares += (t - mean) * (t - mean);
        auto quantile = [&](double q) {
            return thetas[static_cast<std::size_t>(q * (n - 1) + 0.5)];
        };
        rows.push_back({"theta mean", Number(mean, 3)});
        rows.push_back(
            {"theta SD", Number(thetas.size() > 1 ? std::sqrt(squares / (n - 1)) : 0, 3)});
        rows.push_back({"theta lowest", Number(thetas.front(), 3)});
        rows.push_back({"theta 5%", Number(quantile(0.05), 3)});
        rows.push_back({"theta 25%", Number(quantile(0.25), 3)});
        rows.push_back({"theta median", Number(quantile(0.5), 3)});
        rows.push_back({"theta 75%", Number(quantile(0.75), 3)});
        rows.push_back({"theta 95%", Number(quantile(0.95), 3)});
        rows.push_back({"theta highest", Number(thetas.back(), 3)});
    }
    const std::vector<std::string> names = PersonFlagNames(0x1Fu);
    for (std::size_t bit = 0; bit < names.size() && bit < 5; ++bit) {
        rows.push_back({"flagged " + names[bit], std::to_string(flagged[bit])});
    }
    TextTable(out, {"", "value"}, rows, "The examinees in summary");
    SectionEnd(out);
}

}  // namespace tarvo::report::html
