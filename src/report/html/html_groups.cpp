// The examinees' groups and the DIF screens on the page: the groups' table
// (and, calibrated together, each group's population, the model's fit and
// its abilities against the fitted normal density), and per focal group
// and method a table of the screen, the rows in B or C marked.
#include <algorithm>
#include <cmath>
#include <numbers>

#include "report/html/html_sections.h"
#include "report/html/svg_plot.h"

namespace tarvo::report::html {

namespace {

bool Has(const Json& document, const std::string& pointer) {
    return document.contains(Json::json_pointer(pointer));
}

// A group's bars as a stepped outline of counts, and the count its fitted
// normal population expects in a bar at each ability.
std::string GroupHistogram(const Json& group) {
    const Json& bars = group.value("histogram", Json::array());
    Series outline;
    outline.colour = "#5a8246";
    outline.label = "examinees";
    double total = 0, width = 0;
    for (const Json& bar : bars) {
        const double from = bar.value("from", NAN), to = bar.value("to", NAN);
        const double count = bar.value("count", 0.0);
        outline.x.insert(outline.x.end(), {from, from, to, to});
        outline.y.insert(outline.y.end(), {0, count, count, 0});
        total += count;
        width = to - from;
    }
    std::vector<Series> series{outline};
    const double mean = group.value("mean", NAN), sd = group.value("sd", NAN);
    if (std::isfinite(mean) && sd > 0 && width > 0 && !outline.x.empty()) {
        Series fitted;
        fitted.colour = "#111111";
        fitted.label = "fitted normal";
        const double low = outline.x.front(), high = outline.x.back();
        for (int k = 0; k <= 120; ++k) {
            const double theta = low + (high - low) * k / 120.0;
            const double z = (theta - mean) / sd;
            fitted.x.push_back(theta);
            fitted.y.push_back(total * width * std::exp(-0.5 * z * z) /
                               (sd * std::sqrt(2 * std::numbers::pi)));
        }
        series.push_back(std::move(fitted));
    }
    PlotFrame frame;
    frame.width = 300;
    frame.height = 200;
    frame.title = "Group " + group.value("label", std::string()) + ": abilities";
    frame.xLabel = "theta";
    frame.yLabel = "examinees";
    frame.yLow = 0;
    return "<figure>" + LinePlot(frame, series) + "</figure>";
}

// The columns every method's table has, then the method's own.
std::vector<Column> DifColumns(const std::string& method) {
    std::vector<Column> columns{{"item", "/item", 0},
                                {"id", "/id", -1},
                                {"categories", "/categories", 0},
                                {"statistic", "/statistic", 3},
                                {"df", "/df", 0},
                                {"p", "/p", 4},
                                {"adjusted p", "/p_adjusted", 4},
                                {"effect", "/effect", 3},
                                {"measure", "/effect_name", -1},
                                {"category", "/category", -1}};
    if (method == "mh") {
        columns.push_back({"alpha", "/alpha", 3});
        columns.push_back({"SE delta", "/se_delta", 3});
    } else if (method == "lr") {
        columns.push_back({"uniform p", "/uniform/p", 4});
        columns.push_back({"non-uniform p", "/non_uniform/p", 4});
    }
    columns.push_back({"note", "/note", -1});
    return columns;
}

}  // namespace

void GroupsSection(std::string& out, const Page& page) {
    const Json& document = page.document;
    if (!Has(document, "/groups") && !Has(document, "/group_calibration")) return;
    SectionStart(out, "groups", "Groups");
    if (Has(document, "/groups")) {
        MembersTable(out, document, "/groups", "The group field");
        JsonTable(out, document, "/groups/groups",
                  {{"group", "/label", -1},
                   {"examinees", "/count", 0},
                   {"reference", "/reference", -1},
                   {"focal", "/focal", -1}},
                  "The groups in the response file");
    }
    if (Has(document, "/group_calibration/groups")) {
        out +=
            "<p class=\"note\">The groups calibrated together: one set of items, the reference "
            "group's population N(0, 1), each focal group's mean and SD estimated with their "
            "errors; the mean score, alpha and empirical reliability over each group's "
            "examinees.</p>\n";
        MembersTable(out, document, "/group_calibration", "The model of the groups");
        JsonTable(out, document, "/group_calibration/groups",
                  {{"group", "/label", -1},
                   {"reference", "/reference", -1},
                   {"examinees", "/examinees", 0},
                   {"mean", "/mean", 3},
                   {"SE mean", "/se_mean", 3},
                   {"SD", "/sd", 3},
                   {"SE SD", "/se_sd", 3},
                   {"mean score", "/mean_score", 3},
                   {"alpha", "/alpha", 3},
                   {"empirical reliability", "/empirical_reliability", 3}},
                  "Each group's population and scores");
        out += "<div class=\"plots\">";
        for (const Json& group : document.at(Json::json_pointer("/group_calibration/groups"))) {
            out += GroupHistogram(group);
        }
        out += "</div>\n";
    }
    SectionEnd(out);
}

void DifSection(std::string& out, const Page& page) {
    const Json& document = page.document;
    if (!Has(document, "/dif")) return;
    SectionStart(out, "dif", "Differential item functioning");
    MembersTable(out, document, "/dif", "How the screens were formed");
    const Json& comparisons = document.at("dif").value("comparisons", Json::array());
    const RowClass marks = [](const Json& row) {
        const Json& category = row.value("category", Json());
        if (category == "C") return std::string("flagged dif-c");
        if (category == "B") return std::string("flagged dif-b");
        return std::string();
    };
    if (!comparisons.empty()) {
        out +=
            "<p class=\"note\">Each focal group against the reference group, one table per "
            "method; a row in category B (moderate) or C (large) ends its item's cell in \"!\" "
            "and is shaded. Click a heading to sort.</p>\n";
    }
    for (std::size_t c = 0; c < comparisons.size(); ++c) {
        const Json& comparison = comparisons[c];
        const std::string where = "/dif/comparisons/" + std::to_string(c);
        out += "<h3>Group " + Escape(Shown(comparison.value("focal", Json()), 0)) + " against " +
               Escape(Shown(comparison.value("reference", Json()), 0)) + " (" +
               Escape(Shown(comparison.value("focal_count", Json()), 0)) + " and " +
               Escape(Shown(comparison.value("reference_count", Json()), 0)) + " examinees)</h3>\n";
        const Json& purified = comparison.value("purified", Json::array());
        if (!purified.empty()) {
            out += "<p class=\"note\">The matching score leaves out items " +
                   Escape(Shown(purified, 0)) + ", which the first stage flagged.</p>\n";
        }
        const Json& tables = comparison.value("tables", Json::array());
        for (std::size_t t = 0; t < tables.size(); ++t) {
            const Json& table = tables[t];
            const std::string caption = table.value("name", std::string()) + " (" +
                                        table.value("categories", std::string()) + ")";
            JsonTable(out, document, where + "/tables/" + std::to_string(t) + "/rows",
                      DifColumns(table.value("method", std::string())), caption, {}, marks);
        }
    }
    SectionEnd(out);
}

}  // namespace tarvo::report::html
