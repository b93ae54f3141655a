// The report's sections that are plots, with the tables beside them.
#include "report/html/html_sections.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <span>

#include "core/model_constants.h"
#include "core/polytomous_models.h"
#include "irt/category_information.h"
#include "report/html/person_item_map.h"
#include "report/html/svg_plot.h"

namespace tarvo::report::html {

namespace {

// The abilities the curves are drawn over.
constexpr double kCurveLow = -4, kCurveHigh = 4;
constexpr int kCurveSteps = 160;

std::vector<double> CurveGrid() {
    std::vector<double> grid;
    for (int i = 0; i <= kCurveSteps; ++i) {
        grid.push_back(kCurveLow + (kCurveHigh - kCurveLow) * i / kCurveSteps);
    }
    return grid;
}

bool ScoredInCategories(const ItemReport& item) {
    return item.categories > 2 && !item.thresholds.empty() &&
           item.thresholds.size() < static_cast<std::size_t>(kMostCategories);
}

// An item's expected score (a right/wrong item's probability of a correct
// response) and information at theta.
std::pair<double, double> ItemAt(const ItemReport& item, double theta) {
    if (!ScoredInCategories(item)) {
        const double p = item.c + (1 - item.c) / (1 + std::exp(-kD * item.a * (theta - item.b)));
        if (!(p > 0) || item.c >= 1) return {p, 0};
        const double lifted = (p - item.c) / (1 - item.c), slope = kD * item.a;
        return {p, slope * slope * ((1 - p) / p) * lifted * lifted};
    }
    std::array<double, kMostCategories> p{}, slopes{};
    const std::size_t m = item.thresholds.size() + 1;
    CategoriesAt(item.model == "grm", theta, item.a, item.thresholds, std::span(p.data(), m),
                 std::span(slopes.data(), m));
    return {ExpectedScore(std::span<const double>(p.data(), m)),
            CategoryInformation(std::span<const double>(p.data(), m),
                                std::span<const double>(slopes.data(), m))};
}

}  // namespace

void PersonItemMapSection(std::string& out, const Page& page) {
    const RunReport& report = page.report;
    SectionStart(out, "map", "Person-item map");
    if (!HasPersonItemMap(report)) {
        out += "<p>This run has no abilities to map.</p>";
        SectionEnd(out);
        return;
    }
    const bool polytomous =
        std::any_of(report.itemRows.begin(), report.itemRows.end(), ScoredInCategories);
    out +=
        "<p class=\"note\">The examinees' abilities (left) and the items' locations (right, "
        "by item number";
    out += polytomous ? "; an item scored 0..m at each threshold, item.threshold" : "";
    out += ") on one scale.</p>";
    const PersonItemMap theta = MapOf(report, 1);
    out += "<figure>" + PersonItemMapSvg(theta, "theta") + "<figcaption>" +
           std::to_string(theta.examinees) + " examinees and " +
           std::to_string(theta.locations.size()) +
           " item locations, theta scale.</figcaption></figure>";
    if (RaschFamily(report)) {
        const PersonItemMap logits = MapOf(report, kLogitsPerTheta);
        out += "<figure>" + PersonItemMapSvg(logits, "logits") +
               "<figcaption>The same map in logits (theta x 1.7), as Rasch users read it."
               "</figcaption></figure>";
    }
    SectionEnd(out);
}

void ItemCurvesSection(std::string& out, const Page& page) {
    const RunReport& report = page.report;
    SectionStart(out, "curves", "Item curves");
    out +=
        "<p class=\"note\">Each item's curve (the probability of a correct response, or the "
        "expected score of an item scored 0..m) with the observed proportion or mean score "
        "in the ability groups (points).</p><div class=\"plots\">";
    const std::vector<double> grid = CurveGrid();
    const Json& items = page.document["items"];
    for (std::size_t i = 0; i < report.itemRows.size(); ++i) {
        const ItemReport& item = report.itemRows[i];
        const bool categories = ScoredInCategories(item);
        Series curve, observed;
        curve.x = grid;
        for (double t : grid) curve.y.push_back(ItemAt(item, t).first);
        observed.points = true;
        observed.colour = "#c0392b";
        observed.x = item.groupTheta;
        observed.y = categories ? item.groupMeanScore : item.groupProportion;
        PlotFrame frame;
        frame.width = 300;
        frame.height = 200;
        frame.title = "Item " + std::to_string(item.seqItem) +
                      (item.accNo.empty() ? "" : " " + item.accNo) +
                      (item.model.empty() ? "" : " (" + item.model + ")");
        if (i < items.size() && items[i].contains("fit") && items[i]["fit"].contains("p")) {
            frame.title += ", S-X2 p " + Shown(items[i]["fit"]["p"], 3);
        }
        frame.xLabel = "theta";
        frame.yLabel = categories ? "expected score" : "P(correct)";
        frame.xLow = kCurveLow;
        frame.xHigh = kCurveHigh;
        frame.yLow = 0;
        frame.yHigh = categories ? static_cast<double>(item.categories - 1) : 1;
        out += "<figure>" + LinePlot(frame, {curve, observed}) + "</figure>\n";
    }
    out += "</div>";
    SectionEnd(out);
}

void InformationSection(std::string& out, const Page& page) {
    SectionStart(out, "information", "Test information and standard error");
    Series information, se;
    const Json::json_pointer curves("/summed_scores/curves");
    if (page.document.contains(curves) && page.document.at(curves).is_object()) {
        const Json& c = page.document.at(curves);
        information.x = se.x = NumbersOf(c.value("theta", Json()));
        information.y = NumbersOf(c.value("information", Json()));
        se.y = NumbersOf(c.value("se", Json()));
    } else {
        information.x = se.x = CurveGrid();
        for (double t : information.x) {
            double sum = 0;
            for (const ItemReport& item : page.report.itemRows) sum += ItemAt(item, t).second;
            information.y.push_back(sum);
            se.y.push_back(sum > 0 ? 1 / std::sqrt(sum) : NAN);
        }
    }
    PlotFrame frame;
    frame.width = 460;
    frame.height = 280;
    frame.xLabel = "theta";
    frame.title = "Test information";
    frame.yLabel = "information";
    out += "<div class=\"plots\"><figure>" + LinePlot(frame, {information}) + "</figure>";
    frame.title = "Standard error of theta";
    frame.yLabel = "SE";
    frame.yLow = 0;
    frame.yHigh = 2;
    se.colour = "#b35900";
    out += "<figure>" + LinePlot(frame, {se}) + "</figure></div>";
    SectionEnd(out);
}

void ScoreTableSection(std::string& out, const Page& page) {
    SectionStart(out, "scores", "Score table");
    const Json::json_pointer at("/summed_scores");
    if (!page.document.contains(at)) {
        out += "<p>No score table: ask for one with --score-table.</p>";
        SectionEnd(out);
        return;
    }
    const Json& c = page.document.at(at).value("curves", Json());
    if (c.is_object()) {
        Series expected;
        expected.x = NumbersOf(c.value("theta", Json()));
        expected.y = NumbersOf(c.value("expected", Json()));
        PlotFrame frame;
        frame.width = 460;
        frame.height = 280;
        frame.title = "Test characteristic curve";
        frame.xLabel = "theta";
        frame.yLabel = "expected summed score";
        out += "<figure>" + LinePlot(frame, {expected}) + "</figure>";
    }
    JsonTable(out, page.document, "/summed_scores/score_table",
              {{"score", "/score", 0},
               {"proportion", "/proportion", 5},
               {"EAP", "/eap", 3},
               {"EAP SD", "/eap_sd", 3},
               {"ML", "/ml", 3}},
              "Summed scores");
    SectionEnd(out);
}

void PopulationSection(std::string& out, const Page& page) {
    SectionStart(out, "population", "Population");
    bool any = false;
    if (page.document.contains(Json::json_pointer("/mml"))) {
        MembersTable(out, page.document, "/mml", "The marginal estimator");
        MembersTable(out, page.document, "/mml/population", "The population");
        any = true;
    }
    if (page.document.contains(Json::json_pointer("/summed_scores/population"))) {
        MembersTable(out, page.document, "/summed_scores/population",
                     "The population of the score table");
        any = true;
    }
    if (!any) out += "<p>The classic estimator estimates no population.</p>";
    SectionEnd(out);
}

void TraceSection(std::string& out, const Page& page) {
    const bool em = page.report.loop.step == LoopStep::EmCycle;
    SectionStart(out, "trace", em ? "EM trace" : "Joint estimation trace");
    MembersTable(out, page.document, "/loop");
    const std::vector<std::pair<const char*, const char*>> traces =
        em ? std::vector<std::pair<const char*, const char*>>{{"log_likelihood", "log-likelihood"},
                                                              {"largest_change", "largest change"}}
           : std::vector<std::pair<const char*, const char*>>{{"ms_error", "MSError"}};
    out += "<div class=\"plots\">";
    for (const auto& [key, name] : traces) {
        const Json& values = page.document["loop"].value(key, Json());
        if (!values.is_array() || values.empty()) continue;
        Series s;
        s.y = NumbersOf(values);
        for (std::size_t k = 0; k < s.y.size(); ++k) s.x.push_back(static_cast<double>(k + 1));
        PlotFrame frame;
        frame.width = 460;
        frame.height = 260;
        frame.title = name;
        frame.xLabel = em ? "EM cycle" : "pass";
        frame.yLabel = name;
        out += "<figure>" + LinePlot(frame, {s}) + "</figure>";
    }
    out += "</div>";
    for (const auto& [key, name] : traces) {
        JsonTable(out, page.document, std::string("/loop/") + key,
                  {{em ? "cycle" : "pass", "#", 0}, {name, "", 6}}, name);
    }
    SectionEnd(out);
}

}  // namespace tarvo::report::html
