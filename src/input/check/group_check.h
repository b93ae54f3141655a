#pragma once

#include <string>
#include <vector>

#include "core/run_request.h"
#include "core/run_tables.h"
#include "input/check/input_check.h"

namespace tarvo {

// Groups with fewer examinees than this are named by the input check: a
// comparison of groups rests on too few answers there.
inline constexpr std::size_t kFewestInGroup = 100;
// A group field whose labels are all numbers, with more distinct values than
// this, is more likely a measure (an age) than a grouping.
inline constexpr std::size_t kMostNumericGroups = 10;

// Empty when the reference and focal groups the settings name are groups of
// the file (or none is named); else the refusal, naming the labels found.
std::string GroupLabelsRefusal(const GroupSettings& groups, const PersonTable& persons);

// The group field's findings, empty without a group field: groups with fewer
// than kFewestInGroup examinees, a field with numbers of many values, and a
// field blank for every examinee. field: how the settings name the field
// ("columns 10-11", "column sex").
std::vector<InputFinding> CheckGroups(const PersonTable& persons, const std::string& field);

}  // namespace tarvo
