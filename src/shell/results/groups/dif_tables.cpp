#include "shell/results/groups/dif_tables.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <limits>
#include <nlohmann/json.hpp>

#include "shell/results/fit_tables.h"

namespace tarvo::results {
namespace {

using Json = nlohmann::json;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

Json DifJson(const RunReport& report) {
    for (const ReportSection& section : report.sections) {
        if (section.key == "dif") return Json::parse(section.json, nullptr, false);
    }
    return Json();
}

double NumberOf(const Json& object, const char* key) {
    const auto found = object.find(key);
    return found != object.end() && found->is_number() ? found->get<double>() : kNaN;
}

std::string TextOf(const Json& object, const char* key) {
    const auto found = object.find(key);
    return found != object.end() && found->is_string() ? found->get<std::string>() : std::string();
}

TableCell Number(double value, int decimals) {
    return {FitNumber(value, decimals), std::isfinite(value) ? value : kNaN, false, {}};
}

TableCell Probability(double p) {
    return {FitProbability(p), std::isfinite(p) ? p : kNaN, false, {}};
}

TableCell Text(std::string text) { return {std::move(text), kNaN, false, {}}; }

std::string Quoted(const std::string& label) { return "'" + label + "'"; }

std::string ItemName(const RunReport& report, const Json& row) {
    const std::string id = TextOf(row, "id");
    if (!id.empty()) return id;
    const double item = NumberOf(row, "item");
    if (!(item >= 1) || item > static_cast<double>(report.itemRows.size())) return {};
    const ItemReport& r = report.itemRows[static_cast<std::size_t>(item) - 1];
    return r.name.empty() ? r.accNo : r.name;
}

const Json& Comparisons(const Json& dif) {
    static const Json kNone = Json::array();
    if (!dif.is_object() || !dif.contains("comparisons") || !dif["comparisons"].is_array()) {
        return kNone;
    }
    return dif["comparisons"];
}

std::vector<double> Numbers(const Json& curve, const char* key) {
    std::vector<double> values;
    if (!curve.is_object() || !curve.contains(key) || !curve[key].is_array()) return values;
    for (const Json& v : curve[key]) values.push_back(v.is_number() ? v.get<double>() : kNaN);
    return values;
}

DifPoints PointsOf(const Json& curve, std::string name) {
    std::vector<std::size_t> counts;
    for (const double n : Numbers(curve, "count")) {
        counts.push_back(std::isfinite(n) && n > 0 ? static_cast<std::size_t>(n) : 0);
    }
    DifPoints points = PoolScores(Numbers(curve, "score"), counts, Numbers(curve, "mean_score"),
                                  kLeastPerDifPoint);
    std::size_t total = 0;
    for (const std::size_t n : points.count) total += n;
    points.name = std::move(name) + ", " + std::to_string(total) + " examinees)";
    return points;
}

}  // namespace

bool HasDifSection(const RunReport& report) {
    for (const ReportSection& section : report.sections) {
        if (section.key == "dif") return true;
    }
    return false;
}

std::vector<DifScreenTable> BuildDifTables(const RunReport& report) {
    std::vector<DifScreenTable> tables;
    const Json dif = DifJson(report);
    const Json& comparisons = Comparisons(dif);
    for (std::size_t c = 0; c < comparisons.size(); ++c) {
        const Json& comparison = comparisons[c];
        const std::string pair = Quoted(TextOf(comparison, "focal")) + " against " +
                                 Quoted(TextOf(comparison, "reference"));
        if (!comparison.contains("tables") || !comparison["tables"].is_array()) continue;
        for (const Json& method : comparison["tables"]) {
            DifScreenTable screen;
            screen.title = TextOf(method, "name") + ": " + pair;
            if (!screen.title.empty())
                screen.title[0] = static_cast<char>(std::toupper(screen.title[0]));
            screen.rule = TextOf(method, "categories");
            screen.comparison = c;
            ResultTable& table = screen.table;
            table.columns = {"Item",       "Name",   "Categories", "Statistic", "df",  "p",
                             "Adjusted p", "Effect", "Measure",    "Category",  "Note"};
            table.numeric = {true, false, true, true, true, true, true, true, false, false, false};
            if (!method.contains("rows") || !method["rows"].is_array()) continue;
            for (const Json& row : method["rows"]) {
                std::vector<TableCell> cells{Number(NumberOf(row, "item"), 0),
                                             Text(ItemName(report, row)),
                                             Number(NumberOf(row, "categories"), 0),
                                             Number(NumberOf(row, "statistic"), 3),
                                             Number(NumberOf(row, "df"), 0),
                                             Probability(NumberOf(row, "p")),
                                             Probability(NumberOf(row, "p_adjusted")),
                                             Number(NumberOf(row, "effect"), 3),
                                             Text(TextOf(row, "effect_name")),
                                             Text(TextOf(row, "category")),
                                             Text(TextOf(row, "note"))};
                const std::string category = TextOf(row, "category");
                if (category == "B" || category == "C") {
                    const std::string why = std::string(category == "C" ? "Large" : "Moderate") +
                                            " DIF (category " + category + "): " + screen.rule +
                                            ".";
                    for (TableCell& cell : cells) {
                        cell.flagged = true;
                        cell.why = why;
                    }
                }
                table.rows.push_back(std::move(cells));
            }
            tables.push_back(std::move(screen));
        }
    }
    return tables;
}

std::string DifNote(const RunReport& report) {
    const Json dif = DifJson(report);
    if (!dif.is_object()) return "The report's DIF section cannot be read.";
    if (dif.contains("formed") && dif["formed"] == false) {
        return "The DIF screens were not formed: " + TextOf(dif, "note");
    }
    std::string note = "Each focal group against the reference group, matched on the " +
                       TextOf(dif, "matching") +
                       " score; purification: " + TextOf(dif, "purification") +
                       "; p adjusted: " + TextOf(dif, "p_adjustment") + ".";
    const double unknown = NumberOf(dif, "unknown_group");
    if (unknown > 0) {
        note += " " + FitNumber(unknown, 0) + " examinees without a group are left out.";
    }
    note += " Rows in category B or C are coloured; choose a row for its item's plot.";
    return note;
}

DifPoints PoolScores(const std::vector<double>& score, const std::vector<std::size_t>& count,
                     const std::vector<double>& meanScore, std::size_t least) {
    DifPoints points;
    const std::size_t n = std::min({score.size(), count.size(), meanScore.size()});
    double held = 0, scoreSum = 0, meanSum = 0;
    for (std::size_t k = 0; k < n; ++k) {
        if (count[k] == 0 || !std::isfinite(score[k]) || !std::isfinite(meanScore[k])) continue;
        const double w = static_cast<double>(count[k]);
        held += w;
        scoreSum += w * score[k];
        meanSum += w * meanScore[k];
        if (held < static_cast<double>(least)) continue;
        points.score.push_back(scoreSum / held);
        points.meanScore.push_back(meanSum / held);
        points.count.push_back(static_cast<std::size_t>(held));
        held = scoreSum = meanSum = 0;
    }
    if (held > 0) {
        if (points.count.empty()) {
            points.score.push_back(scoreSum / held);
            points.meanScore.push_back(meanSum / held);
            points.count.push_back(static_cast<std::size_t>(held));
        } else {
            // What is left joins the last point.
            const double w = static_cast<double>(points.count.back());
            const double all = w + held;
            points.score.back() = (points.score.back() * w + scoreSum) / all;
            points.meanScore.back() = (points.meanScore.back() * w + meanSum) / all;
            points.count.back() = static_cast<std::size_t>(all);
        }
    }
    return points;
}

DifItemPlot DifPlotOf(const RunReport& report, std::size_t comparison, std::size_t item) {
    DifItemPlot plot;
    const Json dif = DifJson(report);
    const Json& comparisons = Comparisons(dif);
    if (comparison >= comparisons.size()) return plot;
    const Json& c = comparisons[comparison];
    const std::string reference = TextOf(c, "reference"), focal = TextOf(c, "focal");
    // The item's name and categories from the first table's row.
    Json row;
    if (c.contains("tables") && c["tables"].is_array() && !c["tables"].empty()) {
        const Json& rows = c["tables"][0].value("rows", Json::array());
        if (item < rows.size()) row = rows[item];
    }
    plot.title = "Item " + std::to_string(item + 1);
    const std::string name = row.is_object() ? ItemName(report, row) : std::string();
    if (!name.empty()) plot.title += " (" + name + ")";
    plot.title += ": " + Quoted(focal) + " against " + Quoted(reference);
    const double categories = row.is_object() ? NumberOf(row, "categories") : 2;
    plot.yHigh = std::isfinite(categories) && categories > 2 ? categories - 1 : 1;
    plot.yTitle = plot.yHigh > 1 ? "mean item score" : "proportion correct";
    plot.xTitle = TextOf(dif, "matching") + " score";
    if (c.contains("purified") && c["purified"].is_array() && !c["purified"].empty()) {
        std::string items;
        for (const Json& i : c["purified"]) items += (items.empty() ? "" : ", ") + i.dump();
        plot.xTitle += " without items " + items;
    }
    Json observed;
    if (c.contains("observed") && c["observed"].is_array() && item < c["observed"].size()) {
        observed = c["observed"][item];
    }
    const Json none;
    plot.reference = PointsOf(observed.is_object() ? observed.value("reference", none) : none,
                              reference + " (reference");
    plot.focal =
        PointsOf(observed.is_object() ? observed.value("focal", none) : none, focal + " (focal");
    return plot;
}

}  // namespace tarvo::results
