// The option analysis on the page: per item a table of its options (or of
// its scores, for an item scored 0..m) read from the JSON's "options"
// section, and beside it the share choosing each in the ability groups as
// trace lines.
#include <algorithm>
#include <array>
#include <cmath>

#include "report/html/html_sections.h"
#include "report/html/svg_plot.h"

namespace tarvo::report::html {

namespace {

// One colour per option, apart in grey as well as in colour; the key's line
// is drawn solid with points, the others dashed.
constexpr std::array<const char*, 8> kOptionColours{"#1f4e9a", "#c0392b", "#2e8b57", "#b35900",
                                                    "#7d3c98", "#008b8b", "#a0522d", "#555555"};

std::string ItemCaption(const Json& item) {
    std::string caption = "Item " + Shown(item.value("item", Json()), 0);
    const Json& key = item.value("key", Json());
    if (key.is_string() && key.get<std::string>() != "+") {
        caption += ", key " + key.get<std::string>();
    } else {
        caption += ", scored by its digit";
    }
    const Json& flags = item.value("flags", Json::array());
    if (flags.is_array() && !flags.empty()) caption += " (flagged: " + Shown(flags, 0) + ")";
    return caption;
}

// The five groups' columns of rows whose member "group_proportion" holds
// one share per group.
void AddGroupColumns(std::vector<Column>& columns, std::size_t groups) {
    for (std::size_t g = 0; g < groups; ++g) {
        std::string heading = "group " + std::to_string(g + 1);
        if (g == 0) heading += " (low)";
        if (g + 1 == groups && groups > 1) heading += " (high)";
        columns.push_back({heading, "/group_proportion/" + std::to_string(g), 3});
    }
}

// The shares choosing each row's option (or score) by group, one line each,
// over the groups' mean abilities where every group has one, else over the
// groups' numbers.
std::string TracePlot(const Json& rows, const char* name, const std::vector<double>& groupMeans,
                      const std::string& abilityName, const std::string& title) {
    const bool byMean =
        !groupMeans.empty() && std::all_of(groupMeans.begin(), groupMeans.end(),
                                           [](double x) { return std::isfinite(x); });
    std::vector<Series> series;
    for (std::size_t k = 0; k < rows.size(); ++k) {
        const Json& row = rows[k];
        Series s;
        s.y = NumbersOf(row.value("group_proportion", Json()));
        for (std::size_t g = 0; g < s.y.size(); ++g) {
            s.x.push_back(byMean && g < groupMeans.size() ? groupMeans[g]
                                                          : static_cast<double>(g + 1));
        }
        const bool key = row.value("key", false);
        s.colour = kOptionColours[k % kOptionColours.size()];
        s.label = Shown(row.value(name, Json()), 0) + (key ? " (key)" : "");
        s.dashed = !key && row.contains("key");
        series.push_back(std::move(s));
        if (key) {
            // The key's points over its line, so that it reads in grey too.
            Series points = series.back();
            points.label.clear();
            points.points = true;
            series.push_back(std::move(points));
        }
    }
    PlotFrame frame;
    frame.width = 300;
    frame.height = 200;
    frame.title = title;
    frame.xLabel = byMean ? "group's mean " + abilityName : "ability group";
    frame.yLabel = "share choosing";
    frame.yLow = 0;
    frame.yHigh = 1;
    return "<figure>" + LinePlot(frame, series) + "</figure>";
}

}  // namespace

void OptionsSection(std::string& out, const Page& page) {
    SectionStart(out, "options", "Option analysis");
    const Json::json_pointer at("/options");
    if (!page.document.contains(at) || !page.document.at(at).is_object()) {
        out +=
            "<p>No option analysis: it is formed from the raw response codes and the answer "
            "key of items scored right or wrong.</p>";
        SectionEnd(out);
        return;
    }
    const Json& options = page.document.at(at);
    MembersTable(out, page.document, "/options", "How the options were counted");
    const std::size_t groups = options.value("groups", std::size_t{0});
    const std::string abilityName = options.value("ability", std::string("ability"));
    const std::vector<double> groupMeans = NumbersOf(options.value("group_mean_ability", Json()));
    out +=
        "<p class=\"note\">Per item, each option's count and share of every examinee, its share "
        "in each ability group (group 1 the lowest), the mean " +
        Escape(abilityName) + " of those who chose it and its point-biserial with the " +
        Escape(options.value("correlated_with", std::string("rest score"))) +
        ". The key's row is in bold with a check mark, a flagged option's row ends in \"!\"; "
        "the plot traces the share choosing each option across the groups (the key solid, the "
        "other options dashed).</p>\n";

    std::vector<Column> optionColumns{{"option", "/code", -1},
                                      {"key", "/key", -1},
                                      {"count", "/count", 0},
                                      {"proportion", "/proportion", 3}};
    AddGroupColumns(optionColumns, groups);
    for (const Column& c : std::vector<Column>{{"mean " + abilityName, "/mean_ability", 3},
                                               {"point-biserial", "/point_biserial", 3},
                                               {"flags", "/flags", -1}}) {
        optionColumns.push_back(c);
    }
    std::vector<Column> scoreColumns{{"score", "/score", 0}, {"count", "/count", 0}};
    AddGroupColumns(scoreColumns, groups);

    const RowClass marks = [](const Json& row) {
        std::string mark = row.value("key", false) ? "key" : "";
        const Json& flags = row.value("flags", Json::array());
        if (flags.is_array() && !flags.empty()) mark += mark.empty() ? "flagged" : " flagged";
        return mark;
    };
    const Json& items = options.value("items", Json::array());
    for (std::size_t k = 0; k < items.size(); ++k) {
        const Json& item = items[k];
        const std::string where = "/options/items/" + std::to_string(k);
        const std::string caption = ItemCaption(item);
        const bool keyed = item.contains("options");
        const char* rowsName = keyed ? "options" : "categories";
        if (!item.contains(rowsName) || !item[rowsName].is_array()) continue;
        out += "<div class=\"option-item\">";
        if (keyed) {
            JsonTable(out, page.document, where + "/options", optionColumns, caption, {}, marks);
        } else {
            JsonTable(out, page.document, where + "/categories", scoreColumns, caption);
        }
        out += TracePlot(item[rowsName], keyed ? "code" : "score", groupMeans, abilityName,
                         "Item " + Shown(item.value("item", Json()), 0) +
                             (keyed ? ": options by group" : ": scores by group"));
        out += "</div>\n";
    }
    SectionEnd(out);
}

}  // namespace tarvo::report::html
