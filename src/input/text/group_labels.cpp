#include "input/text/group_labels.h"

#include "input/text/number_text.h"

namespace tarvo {

void GroupLabeller::Append(std::string_view field, PersonTable& persons) {
    const std::string_view label = TrimBlanks(field);
    if (label.empty()) {
        persons.group.push_back(PersonTable::kNoGroup);
        return;
    }
    const auto known = index_.find(label);
    if (known != index_.end()) {
        persons.group.push_back(known->second);
        return;
    }
    const auto next = static_cast<std::int32_t>(persons.groupLabels.size());
    index_.emplace(std::string(label), next);
    persons.groupLabels.emplace_back(label);
    persons.group.push_back(next);
}

}  // namespace tarvo
