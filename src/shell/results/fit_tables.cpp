#include "shell/results/fit_tables.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <nlohmann/json.hpp>
#include <set>
#include <utility>

namespace tarvo::results {
namespace {

using Json = nlohmann::json;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

const ReportSection* SectionOf(const RunReport& report, const char* key) {
    for (const ReportSection& section : report.sections) {
        if (section.key == key) return &section;
    }
    return nullptr;
}

// A section's JSON; null when it is missing or cannot be read.
Json ParsedSection(const RunReport& report, const char* key) {
    const ReportSection* section = SectionOf(report, key);
    if (section == nullptr) return Json();
    return Json::parse(section->json, nullptr, false);
}

double NumberOf(const Json& object, const char* key) {
    if (!object.is_object()) return kNaN;
    const auto found = object.find(key);
    return found != object.end() && found->is_number() ? found->get<double>() : kNaN;
}

std::string TextOf(const Json& object, const char* key) {
    if (!object.is_object()) return {};
    const auto found = object.find(key);
    return found != object.end() && found->is_string() ? found->get<std::string>() : std::string();
}

// A row's members as the section wrote them ("\"fit\":{...},\"fit_note\":...").
Json Members(const std::string& text) { return Json::parse("{" + text + "}", nullptr, false); }

TableCell NumberCell(double value, int decimals) {
    return TableCell{FitNumber(value, decimals), std::isfinite(value) ? value : kNaN, false, {}};
}

TableCell TextCell(std::string text) { return TableCell{std::move(text), kNaN, false, {}}; }

TableCell ProbabilityCell(double p) {
    return TableCell{FitProbability(p), std::isfinite(p) ? p : kNaN, false, {}};
}

std::string ItemName(const RunReport& report, int item) {
    if (item < 1 || static_cast<std::size_t>(item) > report.itemRows.size()) return {};
    const ItemReport& row = report.itemRows[static_cast<std::size_t>(item) - 1];
    return row.name.empty() ? row.accNo : row.name;
}

}  // namespace

std::string FitNumber(double value, int decimals) {
    if (!std::isfinite(value)) return "";
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

std::string FitProbability(double p) {
    if (!std::isfinite(p)) return "";
    char text[64];
    std::snprintf(text, sizeof text, "%.3g", p);
    return text;
}

const ReportSection* FitSectionOf(const RunReport& report) { return SectionOf(report, "fit"); }

std::vector<ItemFitValues> ReadItemFit(const RunReport& report) {
    std::vector<ItemFitValues> items;
    const ReportSection* section = FitSectionOf(report);
    if (section == nullptr) return items;
    for (const std::string& text : section->itemMembers) {
        const Json members = Members(text);
        const Json& f = members.is_object() && members.contains("fit") ? members["fit"] : Json();
        ItemFitValues item{NumberOf(f, "s_x2"),
                           NumberOf(f, "df"),
                           NumberOf(f, "p"),
                           NumberOf(f, "p_adjusted"),
                           NumberOf(f, "infit"),
                           NumberOf(f, "outfit"),
                           {},
                           TextOf(members, "fit_note")};
        if (f.is_object() && f.contains("group_residuals") && f["group_residuals"].is_array()) {
            for (const Json& r : f["group_residuals"]) {
                item.groupResiduals.push_back(r.is_number() ? r.get<double>() : kNaN);
            }
        }
        items.push_back(std::move(item));
    }
    return items;
}

PersonFitValues PersonFitOf(const ReportSection& fit, std::size_t j) {
    const Json members = Members(fit.personMembers[j]);
    const Json& f = members.is_object() && members.contains("fit") ? members["fit"] : Json();
    return {NumberOf(f, "lz"), NumberOf(f, "infit"), NumberOf(f, "outfit"),
            TextOf(members, "fit_note")};
}

ResultTable BuildLocalDependenceTable(const RunReport& report) {
    ResultTable table;
    table.columns = {"Item A", "Name A", "Item B", "Name B", "Q3", "Flag"};
    table.numeric = {true, false, true, false, true, false};
    const Json q3 = ParsedSection(report, "local_dependence");
    if (!q3.is_object()) return table;
    const double flagAbove = NumberOf(q3, "flag_above");

    std::set<std::pair<int, int>> flagged;
    if (q3.contains("flagged") && q3["flagged"].is_array()) {
        for (const Json& pair : q3["flagged"]) {
            flagged.insert({pair["items"][0].get<int>(), pair["items"][1].get<int>()});
        }
    }
    // Every pair of the matrix when the report holds it, else its lists.
    std::vector<std::pair<std::pair<int, int>, double>> pairs;
    if (q3.contains("matrix") && q3["matrix"].is_array()) {
        const Json& matrix = q3["matrix"];
        for (std::size_t i = 0; i < matrix.size(); ++i) {
            for (std::size_t k = i + 1; k < matrix[i].size(); ++k) {
                if (!matrix[i][k].is_number()) continue;
                pairs.push_back({{static_cast<int>(i) + 1, static_cast<int>(k) + 1},
                                 matrix[i][k].get<double>()});
            }
        }
    } else {
        std::set<std::pair<int, int>> seen;
        for (const char* list : {"flagged", "largest"}) {
            if (!q3.contains(list) || !q3[list].is_array()) continue;
            for (const Json& pair : q3[list]) {
                const std::pair<int, int> items{pair["items"][0].get<int>(),
                                                pair["items"][1].get<int>()};
                if (seen.insert(items).second) pairs.push_back({items, pair["q3"].get<double>()});
            }
        }
    }
    std::stable_sort(pairs.begin(), pairs.end(),
                     [](const auto& x, const auto& y) { return x.second > y.second; });
    for (const auto& [items, value] : pairs) {
        std::vector<TableCell> row{
            NumberCell(items.first, 0),  TextCell(ItemName(report, items.first)),
            NumberCell(items.second, 0), TextCell(ItemName(report, items.second)),
            NumberCell(value, 3),        TextCell("")};
        if (flagged.count(items) != 0) {
            const std::string why =
                "Q3 " + FitNumber(value, 3) + " is above " + FitNumber(flagAbove, 3) +
                " (0.2 beyond the average Q3): the two items depend on each other beyond the "
                "ability. Check whether they share a stem, a passage or a clue.";
            for (const std::size_t c : {std::size_t{4}, std::size_t{5}}) {
                row[c].flagged = true;
                row[c].why = why;
            }
            row[5].text = "local dependence";
        }
        table.rows.push_back(std::move(row));
    }
    return table;
}

std::string LocalDependenceNote(const RunReport& report) {
    const Json q3 = ParsedSection(report, "local_dependence");
    if (!q3.is_object()) return {};
    const std::string note = TextOf(q3, "note");
    if (!note.empty()) return note;
    std::string text =
        "Yen's Q3, the correlation of two items' residuals over the examinees: "
        "the average is " +
        FitNumber(NumberOf(q3, "average_q3"), 3) + "; pairs above " +
        FitNumber(NumberOf(q3, "flag_above"), 3) + " are flagged.";
    if (!q3.contains("matrix") || q3["matrix"].is_null()) {
        text += " The report lists the largest pairs only.";
    }
    return text;
}

ResultTable BuildComparisonTable(const RunReport& report) {
    ResultTable table;
    table.columns = {"Model", "-2LL", "Parameters", "AIC", "BIC", "Chi-square", "df", "p", "Note"};
    table.numeric = {false, true, true, true, true, true, true, true, false};
    const Json comparison = ParsedSection(report, "model_comparison");
    if (!comparison.is_object() || !comparison.contains("models")) return table;
    const Json& models = comparison["models"];
    const Json tests = comparison.contains("tests") ? comparison["tests"] : Json::array();
    for (std::size_t k = 0; k < models.size(); ++k) {
        const Json& model = models[k];
        const Json test = k > 0 && k - 1 < tests.size() ? tests[k - 1] : Json();
        std::string name = TextOf(model, "model");
        if (model.value("run_model", false)) name += " (the run's)";
        std::string note = TextOf(model, "note");
        if (const std::string testNote = TextOf(test, "note"); !testNote.empty()) {
            note += (note.empty() ? "" : " ") + testNote;
        }
        table.rows.push_back(
            {TextCell(name), NumberCell(NumberOf(model, "minus_2_log_likelihood"), 3),
             NumberCell(NumberOf(model, "parameters"), 0), NumberCell(NumberOf(model, "aic"), 3),
             NumberCell(NumberOf(model, "bic"), 3), NumberCell(NumberOf(test, "chi_square"), 3),
             NumberCell(NumberOf(test, "df"), 0), ProbabilityCell(NumberOf(test, "p")),
             TextCell(note)});
    }
    return table;
}

}  // namespace tarvo::results
