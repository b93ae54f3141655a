#include "run/input_files_section.h"

#include <algorithm>
#include <nlohmann/json.hpp>
#include <string>

#include "input/text/file_digest.h"
#include "report/plural.h"

namespace tarvo {

namespace {

using Json = nlohmann::ordered_json;

Json FileEntry(const std::string& name) {
    const auto digest = DigestFile(name);
    return Json{{"name", name},
                {"bytes", digest ? Json(digest->bytes) : Json(nullptr)},
                {"sha256", digest ? Json(digest->sha256) : Json(nullptr)}};
}

}  // namespace

ReportSection InputFilesSection(const RunSettings& settings) {
    const Json inputs{{"response_file", FileEntry(settings.responseFile)},
                      {"item_parameter_file", settings.itemParameterFile.empty()
                                                  ? Json(nullptr)
                                                  : FileEntry(settings.itemParameterFile)}};
    ReportSection section;
    section.key = "inputs";
    // File names are the user's bytes, which need not be UTF-8.
    section.json = inputs.dump(-1, ' ', false, Json::error_handler_t::replace);
    return section;
}

namespace {

// The groups the summary line names before it counts the rest.
constexpr std::size_t kGroupsNamed = 10;

std::string FieldOf(const GroupSettings& groups) {
    if (!groups.present()) return "labels given with the responses";
    if (!groups.column.empty()) return "column " + groups.column;
    if (groups.length <= 1) return "column " + std::to_string(groups.start);
    return "columns " + std::to_string(groups.start) + "-" +
           std::to_string(groups.start + groups.length - 1);
}

}  // namespace

std::string ReferenceGroup(const GroupSettings& groups, const PersonTable& persons) {
    if (!groups.reference.empty()) return groups.reference;
    return persons.groupLabels.empty() ? std::string() : persons.groupLabels.front();
}

std::vector<std::string> FocalGroups(const GroupSettings& groups, const PersonTable& persons) {
    if (!groups.focal.empty()) return groups.focal;
    const std::string reference = ReferenceGroup(groups, persons);
    std::vector<std::string> focal;
    for (const std::string& label : persons.groupLabels) {
        if (label != reference) focal.push_back(label);
    }
    return focal;
}

bool EstimatorUsesGroups(const RunRequest& request) {
    // Only the marginal estimator calibrating the groups together fits each
    // group its own population; the classic estimator and a one-population
    // marginal run fit every examinee alike.
    return request.method != Method::Classic && request.marginal.groups;
}

ReportSection GroupsSection(const RunRequest& request, const PersonTable& persons) {
    using Json = nlohmann::ordered_json;
    const std::string reference = ReferenceGroup(request.groups, persons);
    const std::vector<std::string> focal = FocalGroups(request.groups, persons);
    std::vector<std::size_t> counts(persons.groupLabels.size(), 0);
    std::size_t unknown = 0;
    for (const std::int32_t group : persons.group) {
        if (group == PersonTable::kNoGroup) {
            ++unknown;
        } else {
            ++counts[static_cast<std::size_t>(group)];
        }
    }
    const bool used = EstimatorUsesGroups(request);

    Json entries = Json::array();
    std::string line;
    for (std::size_t g = 0; g < counts.size(); ++g) {
        const std::string& label = persons.groupLabels[g];
        const bool isReference = label == reference;
        const bool isFocal = std::find(focal.begin(), focal.end(), label) != focal.end();
        entries.push_back(Json{{"label", label},
                               {"count", counts[g]},
                               {"reference", isReference},
                               {"focal", isFocal}});
        // The line names the first groups; the JSON has them all.
        if (g < kGroupsNamed) {
            line += (line.empty() ? "" : ", ") + ("'" + label + "' " + std::to_string(counts[g])) +
                    (isReference ? " (reference)" : "");
        } else if (g == kGroupsNamed) {
            line += " and " + std::to_string(counts.size() - kGroupsNamed) + " more";
        }
    }
    const auto referenceAt =
        std::find(persons.groupLabels.begin(), persons.groupLabels.end(), reference);
    if (!reference.empty() &&
        referenceAt - persons.groupLabels.begin() >= static_cast<std::ptrdiff_t>(kGroupsNamed)) {
        line += "; reference '" + reference + "'";
    }
    ReportSection section;
    section.key = "groups";
    section.json = Json{
        {"field", FieldOf(request.groups)},
        {"groups", std::move(entries)},
        {"reference", reference.empty() ? Json() : Json(reference)},
        {"focal", focal},
        {"unknown", unknown},
        {"used", used}}.dump(-1, ' ', false, Json::error_handler_t::replace);
    std::string summary = "Groups (" + FieldOf(request.groups) +
                          "): " + (line.empty() ? std::string("none") : line) + "; " +
                          report::Plural(unknown, "examinee", "examinees") + " without a group.";
    if (!used && request.dif.any()) {
        summary += request.method == Method::Classic
                       ? " The classic estimator takes no groups: only the DIF screens used them."
                       : " The estimator fitted one population: only the DIF screens used the "
                         "groups (--groups calibrates them together).";
    } else if (!used) {
        summary += request.method == Method::Classic
                       ? " The classic estimator takes no groups: they were not used."
                       : " The estimator does not take groups: they were not used.";
    }
    section.summary.push_back(std::move(summary));
    return section;
}

}  // namespace tarvo
