#include "report/html/link_html.h"

#include <cmath>
#include <set>

#include "report/html/html_writer.h"
#include "report/html/svg_plot.h"

namespace tarvo::report {

namespace {

using html::Column;
using html::Json;

std::vector<double> Numbers(const Json& array) {
    std::vector<double> values;
    if (!array.is_array()) return values;
    for (const Json& v : array) values.push_back(v.is_number() ? v.get<double>() : NAN);
    return values;
}

// The forms' curves side by side: one plot per curve, a series per form.
void CurvePlots(std::string& out, const Json& curves) {
    const std::pair<const char*, const char*> kinds[] = {
        {"expected_score", "Test characteristic curve"},
        {"information", "Test information"},
        {"se", "Standard error of theta"}};
    const char* colours[] = {"#1f4e9a", "#b35900", "#2e7d32"};
    out += "<div class=\"plots\">";
    for (const auto& [key, title] : kinds) {
        std::vector<html::Series> series;
        std::size_t k = 0;
        for (const auto& [form, curve] : curves.items()) {
            if (!curve.is_object() || !curve.contains(key)) continue;
            html::Series s;
            s.x = Numbers(curve.value("theta", Json()));
            s.y = Numbers(curve[key]);
            s.label = form;
            s.colour = colours[k++ % 3];
            s.dashed = k == 2;
            series.push_back(std::move(s));
        }
        if (series.empty()) continue;
        html::PlotFrame frame;
        frame.title = title;
        frame.xLabel = "theta (base scale)";
        frame.yLabel = key;
        if (std::string(key) == "se") frame.yLow = 0, frame.yHigh = 2;
        out += "<figure>" + html::LinePlot(frame, series) + "</figure>";
    }
    out += "</div>";
}

}  // namespace

std::string LinkHtmlReport(const std::string& json) {
    const Json document = Json::parse(json, nullptr, false);
    if (document.is_discarded() || !document.is_object()) return {};
    const bool link = document.contains("linking");
    std::string out = html::PageStart(link ? "TARVO link report" : "TARVO score table");
    out += std::string("<header><h1>") + (link ? "Link report" : "Score table") + "</h1>";
    if (link) {
        out += "<p>" +
               html::Escape(document.value(Json::json_pointer("/new/file"), std::string())) +
               " on the scale of " +
               html::Escape(document.value(Json::json_pointer("/base/file"), std::string())) +
               ", by " + html::Escape(document.value("chosen_method", std::string())) + ".</p>";
    }
    out += "</header>\n";
    std::set<std::string> shown{"linking", "drift", "dropped", "curves", "equating", "score_table"};
    if (link) {
        html::SectionStart(out, "summary", "Linking constants");
        html::JsonTable(out, document, "/linking",
                        {{"method", "/method", -1},
                         {"A", "/A", 4},
                         {"B", "/B", 4},
                         {"SE A", "/se_A", 4},
                         {"SE B", "/se_B", 4}},
                        "Constants of every method (theta on the base scale = A theta + B)");
        html::MembersTable(out, document, "", "The link");
        for (const char* part : {"/criterion", "/base", "/new", "/before_relink"}) {
            html::AnyTable(out, document, part);
            shown.insert(part + 1);
        }
        html::SectionEnd(out);
        html::SectionStart(out, "drift", "Drift of the common items");
        html::MembersTable(out, document, "/drift");
        if (document.contains(Json::json_pointer("/drift/items")) &&
            !document["drift"]["items"].empty()) {
            std::vector<Column> columns;
            for (const auto& [key, value] : document["drift"]["items"].front().items()) {
                columns.push_back({key, "/" + key, value.is_number_integer() ? 0 : 3});
            }
            html::JsonTable(out, document, "/drift/items", columns, "The common items");
        }
        html::AnyTable(out, document, "/dropped");
        html::SectionEnd(out);
    }
    if (document.contains("curves")) {
        html::SectionStart(out, "curves", "Test curves");
        CurvePlots(out, document["curves"].contains("theta") ? Json{{"form", document["curves"]}}
                                                             : document["curves"]);
        html::SectionEnd(out);
    }
    if (document.contains("equating")) {
        html::SectionStart(out, "equating", "True-score equating");
        html::JsonTable(out, document, "/equating",
                        {{"new form's score", "/new_score", 3},
                         {"theta", "/theta", 3},
                         {"base form's score", "/base_score", 3}},
                        "Each score of the new form and its equivalent on the base form");
        html::SectionEnd(out);
    }
    if (document.contains("score_table")) {
        html::SectionStart(out, "scores", "Score table");
        html::JsonTable(out, document, "/score_table",
                        {{"score", "/score", 0},
                         {"proportion", "/proportion", 5},
                         {"EAP", "/eap", 3},
                         {"EAP SD", "/eap_sd", 3},
                         {"ML", "/ml", 3}},
                        "Summed scores");
        html::AnyTable(out, document, "/population");
        shown.insert("population");
        html::SectionEnd(out);
    }
    for (const auto& [key, value] : document.items()) {
        if (shown.count(key) != 0 || !(value.is_object() || value.is_array())) continue;
        html::SectionStart(out, key, "Results: " + key);
        html::AnyTable(out, document, "/" + key);
        html::SectionEnd(out);
    }
    out += html::PageEnd();
    return out;
}

}  // namespace tarvo::report
