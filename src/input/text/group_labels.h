#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "core/run_tables.h"

namespace tarvo {

// Gives each examinee read its group: the group field's text trimmed of
// blanks names the group, a field of blanks (or none) is no group. Labels are
// numbered in the order they first appear, so the first group in the file is
// group 0. Every reader of responses uses it, so that a fixed-column file, a
// delimited file and responses in memory label their groups alike.
class GroupLabeller {
  public:
    // Appends the group of the next examinee to persons.group, and its label
    // to persons.groupLabels when it is new.
    void Append(std::string_view field, PersonTable& persons);

  private:
    // Looked up by the field's view, so that a label already known costs no
    // copy of its text.
    struct LabelHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view text) const {
            return std::hash<std::string_view>{}(text);
        }
    };
    std::unordered_map<std::string, std::int32_t, LabelHash, std::equal_to<>> index_;
};

}  // namespace tarvo
