// The group field's findings and the refusal of labels the file lacks.
#include "input/check/group_check.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tarvo {
namespace {

// persons with count[g] examinees in group g, then `unknown` without one.
PersonTable Grouped(std::vector<std::string> labels, const std::vector<std::size_t>& counts,
                    std::size_t unknown = 0) {
    PersonTable persons;
    persons.groupLabels = std::move(labels);
    for (std::size_t g = 0; g < counts.size(); ++g) {
        persons.group.insert(persons.group.end(), counts[g], static_cast<std::int32_t>(g));
    }
    persons.group.insert(persons.group.end(), unknown, PersonTable::kNoGroup);
    return persons;
}

TEST(GroupLabels, AReferenceOrFocalLabelTheFileLacksIsRefusedNamingTheLabelsFound) {
    const PersonTable persons = Grouped({"F", "M"}, {120, 130}, 4);
    GroupSettings groups;
    groups.start = 10;
    groups.length = 1;
    EXPECT_EQ(GroupLabelsRefusal(groups, persons), "");  // the defaults need no label
    groups.reference = "M";
    groups.focal = {"F"};
    EXPECT_EQ(GroupLabelsRefusal(groups, persons), "");
    groups.reference = "m";  // labels are compared exactly
    EXPECT_EQ(GroupLabelsRefusal(groups, persons),
              "the reference group (--reference-group) 'm' is no group of the file, whose "
              "groups are 'F', 'M': name one of them");
    groups.reference.clear();
    groups.focal = {"F", "X", "Y"};
    EXPECT_EQ(GroupLabelsRefusal(groups, persons),
              "the focal groups (--focal-groups) 'X', 'Y' are no groups of the file, whose "
              "groups are 'F', 'M': name them as the file writes them");
    groups.focal = {"X"};
    EXPECT_EQ(GroupLabelsRefusal(groups, Grouped({}, {}, 3)),
              "the focal group (--focal-groups) 'X' is no group of the file, whose groups are "
              "none (the group field is blank for every examinee): name them as the file "
              "writes them");
    // Without a group field nothing is asked of the labels.
    EXPECT_EQ(GroupLabelsRefusal(GroupSettings{}, persons), "");
}

TEST(GroupFindings, SmallGroupsNumericFieldsAndABlankField) {
    EXPECT_TRUE(CheckGroups(PersonTable{}, "column 10").empty());  // no group field
    EXPECT_TRUE(CheckGroups(Grouped({"F", "M"}, {100, 2000}, 54), "column 10").empty());

    std::vector<InputFinding> found = CheckGroups(Grouped({"F", "M", "X"}, {99, 500, 3}), "c");
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].code, "small-group");
    EXPECT_EQ(found[0].count, 2u);
    EXPECT_FALSE(found[0].serious);
    EXPECT_EQ(found[0].message,
              "2 groups have fewer than 100 examinees: 'F' (99), 'X' (3); a comparison with so "
              "few rests on chance: merge small groups in the group field, or leave them out of "
              "the focal groups (--focal-groups)");

    // Ages: numbers of many values, said once instead of as many small groups.
    std::vector<std::string> ages;
    for (int age = 11; age <= 40; ++age) ages.push_back(std::to_string(age));
    found = CheckGroups(Grouped(ages, std::vector<std::size_t>(ages.size(), 20)), "column 2 (age)");
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].code, "group-field-numeric");
    EXPECT_EQ(found[0].count, 30u);
    EXPECT_NE(found[0].message.find(
                  "the group field in column 2 (age) holds numbers of 30 different values"),
              std::string::npos)
        << found[0].message;
    EXPECT_NE(found[0].message.find("Group it first"), std::string::npos);
    // A few numbered groups are groups.
    EXPECT_TRUE(CheckGroups(Grouped({"1", "2", "3"}, {200, 200, 200}), "c").empty());

    found = CheckGroups(Grouped({}, {}, 40), "column 10");
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].code, "group-field-blank");
    EXPECT_EQ(found[0].count, 40u);
}

}  // namespace
}  // namespace tarvo
