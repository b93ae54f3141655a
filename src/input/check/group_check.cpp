#include "input/check/group_check.h"

#include <algorithm>
#include <cstddef>

#include "input/text/number_text.h"

namespace tarvo {

namespace {

std::string Quoted(std::string_view text) { return "'" + std::string(text) + "'"; }

std::string LabelList(const std::vector<std::string>& labels) {
    if (labels.empty()) return "none (the group field is blank for every examinee)";
    std::string list;
    for (const std::string& label : labels) list += (list.empty() ? "" : ", ") + Quoted(label);
    return list;
}

bool Known(const PersonTable& persons, const std::string& label) {
    return std::find(persons.groupLabels.begin(), persons.groupLabels.end(), label) !=
           persons.groupLabels.end();
}

std::vector<std::size_t> CountsOf(const PersonTable& persons) {
    std::vector<std::size_t> counts(persons.groupLabels.size(), 0);
    for (const std::int32_t group : persons.group) {
        if (group != PersonTable::kNoGroup) ++counts[static_cast<std::size_t>(group)];
    }
    return counts;
}

}  // namespace

std::string GroupLabelsRefusal(const GroupSettings& groups, const PersonTable& persons) {
    if (!groups.present()) return {};
    if (!groups.reference.empty() && !Known(persons, groups.reference)) {
        return "the reference group (--reference-group) " + Quoted(groups.reference) +
               " is no group of the file, whose groups are " + LabelList(persons.groupLabels) +
               ": name one of them";
    }
    std::vector<std::string> unknown;
    for (const std::string& focal : groups.focal) {
        if (!Known(persons, focal)) unknown.push_back(focal);
    }
    if (unknown.empty()) return {};
    return std::string(unknown.size() == 1 ? "the focal group " : "the focal groups ") +
           "(--focal-groups) " + LabelList(unknown) +
           (unknown.size() == 1 ? " is no group" : " are no groups") +
           " of the file, whose groups are " + LabelList(persons.groupLabels) +
           ": name them as the file writes them";
}

std::vector<InputFinding> CheckGroups(const PersonTable& persons, const std::string& field) {
    std::vector<InputFinding> findings;
    if (persons.group.empty()) return findings;
    const std::vector<std::string>& labels = persons.groupLabels;
    if (labels.empty()) {
        findings.push_back({"group-field-blank",
                            "the group field in " + field +
                                " is blank for every examinee, so no examinee has a group: "
                                "check where the field stands (Preview shows it coloured)",
                            persons.group.size(),
                            {},
                            false});
        return findings;
    }

    const bool numeric = std::all_of(labels.begin(), labels.end(), [](const std::string& label) {
        return IsWholeNumberText(label);
    });
    if (numeric && labels.size() > kMostNumericGroups) {
        std::vector<std::string> examples(labels.begin(), labels.begin() + 5);
        findings.push_back({"group-field-numeric",
                            "the group field in " + field + " holds numbers of " +
                                std::to_string(labels.size()) +
                                " different values, each a group of its own: is it an age or "
                                "a score? Group it first (into bands, say) and give the field "
                                "of the bands",
                            labels.size(), std::move(examples), false});
        // Its small groups are that field's nature, not news.
        return findings;
    }

    const std::vector<std::size_t> counts = CountsOf(persons);
    std::vector<std::string> small;
    for (std::size_t g = 0; g < labels.size(); ++g) {
        if (counts[g] < kFewestInGroup) {
            small.push_back(Quoted(labels[g]) + " (" + std::to_string(counts[g]) + ")");
        }
    }
    if (!small.empty()) {
        std::string list;
        for (const std::string& entry : small) list += (list.empty() ? "" : ", ") + entry;
        findings.push_back(
            {"small-group",
             std::string(small.size() == 1 ? "1 group has"
                                           : std::to_string(small.size()) + " groups have") +
                 " fewer than " + std::to_string(kFewestInGroup) + " examinees: " + list +
                 "; a comparison with so few rests on chance: merge small groups in the group "
                 "field, or leave them out of the focal groups (--focal-groups)",
             small.size(),
             std::vector<std::string>(small.begin(),
                                      small.begin() + std::min<std::size_t>(small.size(), 5)),
             false});
    }
    return findings;
}

}  // namespace tarvo
