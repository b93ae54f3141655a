#include "request/group_request.h"

#include <cstddef>
#include <optional>
#include <string_view>

#include "input/format/response_format.h"
#include "platform/control_ids.h"
#include "request/value_checks.h"

namespace tarvo::request {

namespace {

constexpr WholeRange kColumns{1, 65535};

// The response format the texts name: the last format entry, else the
// dialog's Format box; fixed when neither is given.
std::optional<ResponseFormat> NamedFormat(const RequestTexts& texts) {
    const std::string* text = nullptr;
    for (const auto& [name, value] : texts.format) {
        if (name == "format") text = &value;
    }
    if (text == nullptr) {
        const auto box = texts.controls.find(control::kResponseFormat);
        if (box != texts.controls.end()) text = &box->second;
    }
    return text == nullptr ? ResponseFormat::Fixed : ParseResponseFormat(*text);
}

std::string Columns(std::size_t first, std::size_t last) {
    return first == last ? "column " + std::to_string(first)
                         : "columns " + std::to_string(first) + "-" + std::to_string(last);
}

// The first field of the boxes that shares a column with the group's, or
// empty: its name and columns.
std::string Overlap(FieldSpec group, const RunSettings& boxes) {
    const std::size_t first = group.start;
    const std::size_t last = first + group.length - 1u;
    struct Named {
        const char* name;
        std::size_t start, length;
    };
    const Named fields[] = {
        {"the item responses", boxes.responseStart, boxes.itemCount},
        {"the examinee ID", boxes.examineeIdField.start, boxes.examineeIdField.length},
        {"the given theta", boxes.thetaField.start, boxes.thetaField.length},
    };
    for (const Named& field : fields) {
        if (field.start == 0 || field.length == 0) continue;
        const std::size_t end = field.start + field.length - 1u;
        if (field.start <= last && first <= end) {
            return std::string(field.name) + " (" + Columns(field.start, end) + ")";
        }
    }
    return {};
}

std::vector<std::string> Labels(std::string_view text) {
    std::vector<std::string> labels;
    while (true) {
        const std::size_t comma = text.find(',');
        const std::string_view label = WithoutBlanks(text.substr(0, comma));
        if (!label.empty()) labels.emplace_back(label);
        if (comma == std::string_view::npos) break;
        text.remove_prefix(comma + 1);
    }
    return labels;
}

}  // namespace

std::string ReadGroupSettings(const RequestTexts& texts, const RunSettings& boxes,
                              GroupSettings& groups) {
    groups = GroupSettings();
    // As the other boxes: empty (or 0) is a field not read.
    auto box = [&texts](int id) {
        const auto found = texts.controls.find(id);
        const std::string_view text =
            found == texts.controls.end() ? std::string_view() : WithoutBlanks(found->second);
        return text == "0" ? std::string_view() : text;
    };
    const std::string_view startText = box(control::kGroupStart);
    const std::string_view lengthText = box(control::kGroupLength);
    std::string message;
    if (startText.empty() && !lengthText.empty()) {
        return "The group field's length (--group-length) needs its start column "
               "(--group-start).";
    }
    if (!startText.empty()) {
        const auto start = WholeIn(startText, kColumns,
                                   {"The group field's start column", "--group-start"}, message);
        if (!start) return message;
        groups.start = static_cast<std::uint16_t>(*start);
        groups.length = 1;
        if (!lengthText.empty()) {
            const auto length = WholeIn(lengthText, kColumns,
                                        {"The group field's length", "--group-length"}, message);
            if (!length) return message;
            groups.length = static_cast<std::uint16_t>(*length);
        }
    }
    if (texts.groupColumn) {
        if (groups.length > 0) {
            return "The group field is given twice: by its columns (--group-start) and as a "
                   "column (--group-column); keep one of them.";
        }
        groups.column = std::string(WithoutBlanks(*texts.groupColumn));
    }
    const std::optional<ResponseFormat> format = NamedFormat(texts);
    if (groups.length > 0 && format == ResponseFormat::Fixed) {
        const std::string overlap = Overlap({groups.start, groups.length}, boxes);
        if (!overlap.empty()) {
            return "The group field (" + Columns(groups.start, groups.start + groups.length - 1u) +
                   ") overlaps " + overlap +
                   ": give the group's own columns (--group-start, --group-length, or the "
                   "Group field's start and length).";
        }
    }
    if (!groups.column.empty() && format == ResponseFormat::Fixed) {
        return "The group column (--group-column) names a column of a csv or tsv file; in fixed "
               "columns give the group field's start and length (--group-start, "
               "--group-length).";
    }
    if (texts.referenceGroup) groups.reference = std::string(WithoutBlanks(*texts.referenceGroup));
    if (texts.focalGroups) groups.focal = Labels(*texts.focalGroups);
    if ((texts.referenceGroup || texts.focalGroups) && !groups.present()) {
        return "A reference or focal group (--reference-group, --focal-groups) needs the "
               "examinees' group field (--group-start and --group-length, or --group-column).";
    }
    for (const std::string& focal : groups.focal) {
        if (focal == groups.reference) {
            return "The reference group '" + focal +
                   "' is also among the focal groups (--focal-groups): a group is compared "
                   "with the reference, not with itself.";
        }
    }
    return {};
}

}  // namespace tarvo::request
