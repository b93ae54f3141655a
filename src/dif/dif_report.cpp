#include "dif/dif_report.h"

#include <algorithm>
#include <cmath>
#include <nlohmann/json.hpp>

#include "fit/multiple_testing.h"

namespace tarvo::dif {

namespace {

using Json = nlohmann::ordered_json;

Json Value(double x) { return std::isfinite(x) ? Json(x) : Json(nullptr); }

Json Category(char category) {
    return category == ' ' ? Json(nullptr) : Json(std::string(1, category));
}

std::string ItemName(const ItemNames& names, std::size_t item) {
    const std::string id = names.Of(item);
    return "item " + std::to_string(item + 1) + (id.empty() ? "" : " '" + id + "'");
}

// What a table's effect is, by method and item.
const char* EffectName(DifMethod method, int categories) {
    switch (method) {
        case DifMethod::MantelHaenszel:
            return categories > 2 ? "smd" : "delta_mh";
        case DifMethod::Standardization:
            return categories > 2 ? "smd" : "std_p_dif";
        case DifMethod::Logistic:
            return "r2_change";
    }
    return "";
}

// The rule each method's categories follow, for the report's readers, in
// the order of DifMethod.
constexpr const char* kCategoryRules[] = {
    "ETS: right/wrong items C where |delta| >= 1.5 and significantly above 1 (one-sided 5%), A "
    "where |delta| < 1 or p >= 0.05, else B; items scored 0..m by |SMD| / SD: C above 0.25 and "
    "B above 0.17 where p < 0.05",
    "|STD P-DIF| < 0.05 A, below 0.10 B, else C; items scored 0..m by |SMD| / SD: above 0.17 B, "
    "above 0.25 C",
    "Jodoin and Gierl: Nagelkerke R-squared change of the 2-df test below 0.035 A, below 0.070 "
    "B, else C; A where p >= 0.05"};

Json RowJson(const DifRow& row, DifMethod method, const ItemNames& names) {
    const std::string id = names.Of(row.item);
    Json out{
        {"item", row.item + 1},
        {"id", id.empty() ? Json(nullptr) : Json(id)},
        {"categories", row.categories},
        {"statistic", Value(row.statistic)},
        {"df", row.df > 0 ? Json(row.df) : Json(nullptr)},
        {"p", Value(row.p)},
        {"p_adjusted", Value(row.pAdjusted)},
        {"effect", Value(row.effect)},
        {"effect_name", EffectName(method, row.categories)},
        {"category", Category(row.category)},
    };
    if (method == DifMethod::MantelHaenszel) {
        out["alpha"] = Value(row.mantel.alpha);
        out["delta"] = Value(row.mantel.delta);
        out["se_delta"] = Value(row.mantel.seDelta);
        out["item_sd"] = Value(row.mantel.itemSd);
    } else if (method == DifMethod::Logistic) {
        const LogisticResult& lr = row.logistic;
        out["uniform"] = Json{{"chi_square", Value(lr.uniform)},
                              {"df", 1},
                              {"p", Value(lr.uniformP)},
                              {"p_adjusted", Value(row.uniformPAdjusted)},
                              {"r2_change", Value(lr.uniformR2)}};
        out["non_uniform"] = Json{{"chi_square", Value(lr.nonUniform)},
                                  {"df", 1},
                                  {"p", Value(lr.nonUniformP)},
                                  {"p_adjusted", Value(row.nonUniformPAdjusted)},
                                  {"r2_change", Value(lr.nonUniformR2)}};
    }
    out["note"] = row.note.empty() ? Json(nullptr) : Json(row.note);
    return out;
}

// "  item 3 'Q3'  chi2 48.27  df 1  p 3.7e-12  adj 4.5e-11  delta_mh -2.233  C"
std::string RowLine(const DifRow& row, DifMethod method, const ItemNames& names) {
    std::string line = "  " + ItemName(names, row.item) + ":";
    if (row.df > 0) {
        line += " chi-square " + fit::FixedText(row.statistic, 2) + ", df " +
                std::to_string(row.df) + ", p " + fit::PValueText(row.p) + ", adjusted p " +
                fit::PValueText(row.pAdjusted) + ",";
    }
    line += std::string(" ") + EffectName(method, row.categories) + " " +
            fit::FixedText(row.effect,
                           method == DifMethod::MantelHaenszel && row.categories == 2 ? 2 : 3) +
            ", category " + row.category;
    return line;
}

Json CurveJson(const ObservedCurve& curve) {
    return Json{{"score", curve.score}, {"count", curve.count}, {"mean_score", curve.meanScore}};
}

// Each item's observed scores by group and matching score, for plots.
Json ObservedJson(const DifComparison& c) {
    Json items = Json::array();
    for (std::size_t i = 0; i < c.observed.size(); ++i) {
        items.push_back(Json{{"item", i + 1},
                             {"reference", CurveJson(c.observed[i].reference)},
                             {"focal", CurveJson(c.observed[i].focal)}});
    }
    return items;
}

std::string Joined(const std::vector<std::string>& parts) {
    std::string text;
    for (std::size_t k = 0; k < parts.size(); ++k) {
        if (k > 0) text += k + 1 == parts.size() ? " and " : ", ";
        text += parts[k];
    }
    return text;
}

std::string Label(const std::vector<std::string>& labels, std::size_t g) {
    return "'" + labels[g] + "'";
}

// The adjusted p below which a screen other than Mantel-Haenszel's frees an
// item.
constexpr double kFreeingAlpha = 0.05;

void AddToFree(DifReport& report, std::size_t item, std::string why) {
    auto at = std::find_if(report.toFree.begin(), report.toFree.end(),
                           [item](const DifReport::Flagged& f) { return f.item >= item; });
    if (at != report.toFree.end() && at->item == item) {
        at->why += "; " + why;
        return;
    }
    report.toFree.insert(at, DifReport::Flagged{item, std::move(why)});
}

}  // namespace

std::string ItemNames::Of(std::size_t item) const {
    if (accNo != nullptr && item < accNo->size() && !(*accNo)[item].empty()) return (*accNo)[item];
    if (header != nullptr && item < header->size()) return (*header)[item];
    return {};
}

DifReport DescribeDif(const DifScreen& screen, const std::vector<std::string>& labels,
                      const ItemNames& names, std::size_t unknownGroup) {
    DifReport report;
    const char* matching = screen.matching == Matching::Total ? "total" : "rest";
    Json comparisons = Json::array();
    for (const DifComparison& c : screen.comparisons) {
        Json purified = Json::array();
        for (const std::size_t i : c.purified) purified.push_back(i + 1);
        Json tables = Json::array();
        const std::string pair = "group " + Label(labels, c.focal) + " against " +
                                 Label(labels, c.reference) + " (" + std::to_string(c.focalCount) +
                                 " and " + std::to_string(c.referenceCount) + " examinees)";
        for (const DifTable& table : c.tables) {
            Json rows = Json::array();
            std::vector<std::string> flagged, lines;
            std::size_t b = 0, cc = 0;
            for (const DifRow& row : table.rows) {
                rows.push_back(RowJson(row, table.method, names));
                const bool strong = table.method == DifMethod::MantelHaenszel
                                        ? row.category == 'C'
                                        : row.pAdjusted < kFreeingAlpha;
                if (strong) {
                    AddToFree(report, row.item,
                              std::string(MethodName(table.method)) +
                                  (table.method == DifMethod::MantelHaenszel
                                       ? " category C"
                                       : " adjusted p " + fit::PValueText(row.pAdjusted)) +
                                  " for " + Label(labels, c.focal) + " against " +
                                  Label(labels, c.reference));
                }
                if (!row.flagged()) continue;
                (row.category == 'B' ? b : cc) += 1;
                flagged.push_back(ItemName(names, row.item) + " (" + row.category + ")");
                lines.push_back(RowLine(row, table.method, names));
            }
            tables.push_back(Json{{"method", MethodKey(table.method)},
                                  {"name", MethodName(table.method)},
                                  {"categories", kCategoryRules[static_cast<int>(table.method)]},
                                  {"rows", std::move(rows)}});
            report.summary.push_back(std::string("DIF, ") + MethodName(table.method) + ", " + pair +
                                     ", on the " + matching + " score" +
                                     (c.purified.empty()
                                          ? std::string()
                                          : " without the " + std::to_string(c.purified.size()) +
                                                " items the first stage flagged") +
                                     ": " + std::to_string(b) + " in category B, " +
                                     std::to_string(cc) + " in C" + (flagged.empty() ? "." : ":"));
            for (std::string& line : lines) report.summary.push_back(std::move(line));
            if (!flagged.empty()) {
                report.warnings.push_back(std::string(MethodName(table.method)) + " flags " +
                                          std::to_string(flagged.size()) +
                                          (flagged.size() == 1 ? " item" : " items") +
                                          " for DIF between " + Label(labels, c.focal) + " and " +
                                          Label(labels, c.reference) + ": " + Joined(flagged) +
                                          ". Have them reviewed before their scores are reported.");
            }
        }
        comparisons.push_back(Json{{"reference", labels[c.reference]},
                                   {"focal", labels[c.focal]},
                                   {"reference_count", c.referenceCount},
                                   {"focal_count", c.focalCount},
                                   {"purified", std::move(purified)},
                                   {"tables", std::move(tables)},
                                   {"observed", ObservedJson(c)}});
    }
    const Json json{{"matching", matching},
                    {"purification",
                     "two stages: the items Mantel-Haenszel puts in B or C on "
                     "the whole test leave the matching score"},
                    {"p_adjustment", "Benjamini-Hochberg across the items of each table"},
                    {"observed",
                     "per item and group, each matching score held, its examinees and their "
                     "mean score on the item (a right/wrong item's proportion correct)"},
                    {"unknown_group", unknownGroup},
                    {"comparisons", std::move(comparisons)}};
    report.json = json.dump(-1, ' ', false, Json::error_handler_t::replace);
    return report;
}

namespace {

DifReport NotFormed(std::string why) {
    DifReport report;
    report.json =
        Json{{"formed", false}, {"note", why}}.dump(-1, ' ', false, Json::error_handler_t::replace);
    report.warnings.push_back("The DIF screens (--dif) were not formed: " + why);
    return report;
}

// The index of a group by its label, or labels.size() when none has it.
std::size_t GroupNamed(const std::vector<std::string>& labels, const std::string& label) {
    std::size_t g = 0;
    while (g < labels.size() && labels[g] != label) ++g;
    return g;
}

}  // namespace

DifReport DifOfRun(const DifRequest& request, const GroupSettings& groups,
                   const PersonTable& persons, const ItemNames& names, WorkerPool& pool) {
    const std::vector<std::string>& labels = persons.groupLabels;
    if (!groups.present() || persons.group.size() != persons.personCount()) {
        return NotFormed("the examinees have no group field to compare.");
    }
    if (labels.size() < 2) {
        return NotFormed(labels.empty()
                             ? std::string("no examinee has a group.")
                             : "every examinee is in one group, " + Label(labels, 0) + ".");
    }
    DifOptions options;
    if (request.mantelHaenszel) options.methods.push_back(DifMethod::MantelHaenszel);
    if (request.standardization) options.methods.push_back(DifMethod::Standardization);
    if (request.logistic) options.methods.push_back(DifMethod::Logistic);
    options.matching = request.restScore ? Matching::Rest : Matching::Total;
    if (!groups.reference.empty()) {
        options.reference = GroupNamed(labels, groups.reference);
        if (options.reference == labels.size()) {
            return NotFormed("the reference group '" + groups.reference +
                             "' is not among the file's groups.");
        }
    }
    for (const std::string& label : groups.focal) {
        const std::size_t g = GroupNamed(labels, label);
        if (g == labels.size()) {
            return NotFormed("the focal group '" + label + "' is not among the file's groups.");
        }
        if (g == options.reference) {
            return NotFormed("the group '" + label + "' is both the reference and a focal group.");
        }
        options.focal.push_back(g);
    }
    std::size_t unknown = 0;
    for (const std::int32_t g : persons.group) unknown += g < 0 ? 1 : 0;
    const DifData data{persons.itemCount, persons.responses, persons.group, labels.size()};
    return DescribeDif(ScreenDif(data, options, pool), labels, names, unknown);
}

}  // namespace tarvo::dif
