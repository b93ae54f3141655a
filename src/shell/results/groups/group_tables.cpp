#include "shell/results/groups/group_tables.h"

#include <cmath>
#include <limits>
#include <nlohmann/json.hpp>

#include "shell/results/fit_tables.h"

namespace tarvo::results {
namespace {

using Json = nlohmann::json;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

Json SectionJson(const RunReport& report, const char* key) {
    for (const ReportSection& section : report.sections) {
        if (section.key == key) return Json::parse(section.json, nullptr, false);
    }
    return Json();
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

TableCell Number(double value, int decimals) {
    return {FitNumber(value, decimals), std::isfinite(value) ? value : kNaN, false, {}};
}

TableCell Text(std::string text) { return {std::move(text), kNaN, false, {}}; }

const Json& GroupsOf(const Json& section) {
    static const Json kNone = Json::array();
    if (!section.is_object() || !section.contains("groups") || !section["groups"].is_array()) {
        return kNone;
    }
    return section["groups"];
}

}  // namespace

double GroupHistogram::Total() const {
    double total = 0;
    for (const double n : count) total += n;
    return total;
}

bool HasGroupsSection(const RunReport& report) {
    for (const ReportSection& section : report.sections) {
        if (section.key == "groups" || section.key == "group_calibration") return true;
    }
    return false;
}

ResultTable BuildGroupTable(const RunReport& report) {
    ResultTable table;
    const Json calibrated = SectionJson(report, "group_calibration");
    if (!GroupsOf(calibrated).empty()) {
        table.columns = {"Group", "Role",  "Examinees",  "Mean",  "SE mean",
                         "SD",    "SE SD", "Mean score", "Alpha", "Reliability"};
        table.numeric = {false, false, true, true, true, true, true, true, true, true};
        for (const Json& group : GroupsOf(calibrated)) {
            const bool reference = group.value("reference", false);
            table.rows.push_back(
                {Text(TextOf(group, "label")), Text(reference ? "reference" : "focal"),
                 Number(NumberOf(group, "examinees"), 0), Number(NumberOf(group, "mean"), 3),
                 Number(NumberOf(group, "se_mean"), 3), Number(NumberOf(group, "sd"), 3),
                 Number(NumberOf(group, "se_sd"), 3), Number(NumberOf(group, "mean_score"), 3),
                 Number(NumberOf(group, "alpha"), 3),
                 Number(NumberOf(group, "empirical_reliability"), 3)});
        }
        return table;
    }
    table.columns = {"Group", "Role", "Examinees"};
    table.numeric = {false, false, true};
    const Json groups = SectionJson(report, "groups");
    for (const Json& group : GroupsOf(groups)) {
        const bool reference = group.value("reference", false);
        const bool focal = group.value("focal", false);
        table.rows.push_back({Text(TextOf(group, "label")),
                              Text(reference ? "reference"
                                   : focal   ? "focal"
                                             : ""),
                              Number(NumberOf(group, "count"), 0)});
    }
    return table;
}

std::string GroupModelLine(const RunReport& report) {
    const Json calibrated = SectionJson(report, "group_calibration");
    if (!GroupsOf(calibrated).empty()) {
        std::string line = "The groups calibrated together: log-likelihood " +
                           FitNumber(NumberOf(calibrated, "log_likelihood"), 3) + ", -2LL " +
                           FitNumber(NumberOf(calibrated, "minus_2ll"), 3) + ", AIC " +
                           FitNumber(NumberOf(calibrated, "aic"), 3) + ", BIC " +
                           FitNumber(NumberOf(calibrated, "bic"), 3) + " (" +
                           FitNumber(NumberOf(calibrated, "parameters"), 0) +
                           " parameters). The reference group's population is N(0, 1).";
        const double without = NumberOf(calibrated, "examinees_without_group");
        if (without > 0) {
            line += " " + FitNumber(without, 0) +
                    " examinees without a calibrated group were left out of it.";
        }
        return line;
    }
    const Json groups = SectionJson(report, "groups");
    if (!groups.is_object()) return {};
    std::string line = "The examinees' groups (" + TextOf(groups, "field") + "); " +
                       FitNumber(NumberOf(groups, "unknown"), 0) + " without a group.";
    if (groups.value("used", true) == false) line += " The estimator did not use them.";
    return line;
}

std::vector<GroupHistogram> GroupHistograms(const RunReport& report) {
    std::vector<GroupHistogram> histograms;
    const Json calibrated = SectionJson(report, "group_calibration");
    for (const Json& group : GroupsOf(calibrated)) {
        GroupHistogram h;
        h.label = TextOf(group, "label");
        h.mean = NumberOf(group, "mean");
        h.sd = NumberOf(group, "sd");
        if (group.contains("histogram") && group["histogram"].is_array()) {
            for (const Json& bar : group["histogram"]) {
                h.from.push_back(NumberOf(bar, "from"));
                h.to.push_back(NumberOf(bar, "to"));
                h.count.push_back(NumberOf(bar, "count"));
                h.fitted.push_back(NumberOf(bar, "fitted"));
            }
        }
        histograms.push_back(std::move(h));
    }
    return histograms;
}

}  // namespace tarvo::results
