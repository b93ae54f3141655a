// Splitting freed items by group: each freed item becomes one column per
// calibrated group in its place, holding that group's codes alone, with
// every per-item table following; items are found by name or number.
#include "run/groups/free_items.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tarvo {
namespace {

// Three items, four examinees: groups 0, 1, left out, 1; codes j*10 + i
// kept below 9 by taking them modulo 9.
RunInputs ThreeItems() {
    RunInputs inputs;
    inputs.settings.itemCount = 3;
    inputs.settings.responseFile = "r.dat";
    inputs.items = ItemTable(3);
    inputs.items.AccNo = {"", "Q2", ""};
    inputs.itemNames = {"h1", "h2", "h3"};
    inputs.itemLinesGiven = {0, 1, 0};
    inputs.itemFieldTexts.assign(3, {});
    PersonTable& persons = inputs.persons;
    persons.itemCount = 3;
    persons.keyed = {1, 0, 1};
    for (std::uint8_t j = 0; j < 4; ++j) {
        for (std::uint8_t i = 0; i < 3; ++i) {
            persons.responses.push_back(static_cast<std::uint8_t>((j * 3 + i) % 9));
        }
        persons.theta.push_back(0);
    }
    persons.options = std::vector<char>(12, 'x');
    persons.optionKey = "ABC";
    return inputs;
}

TEST(FreeItems, AFreedItemBecomesOneColumnPerGroupHoldingThatGroupsCodes) {
    RunInputs inputs = ThreeItems();
    const std::vector<std::size_t> freed{1};
    const std::vector<std::int32_t> groupOf{0, 1, -1, 1};
    const std::vector<std::string> labels{"F", "M"};
    const ItemSplit split = SplitItems(inputs, freed, groupOf, labels);

    EXPECT_EQ(split.origin, (std::vector<std::size_t>{0, 1, 1, 2}));
    EXPECT_EQ(split.group, (std::vector<int>{-1, 0, 1, -1}));
    ASSERT_EQ(split.columns.size(), 1u);
    EXPECT_EQ(split.columns[0], (std::vector<std::size_t>{1, 2}));
    EXPECT_EQ(inputs.persons.itemCount, 4u);
    EXPECT_EQ(inputs.settings.itemCount, 4);
    // Item 2's codes (1, 4, 7, 10 % 9 = 1) go to its group's column; the
    // other column and the left-out examinee's copies are missing.
    const std::vector<std::uint8_t> expected{0, 1, 9, 2,  //
                                             3, 9, 4, 5,  //
                                             6, 9, 9, 8,  //
                                             0, 9, 1, 2};
    EXPECT_EQ(inputs.persons.responses, expected);
    EXPECT_EQ(inputs.items.AccNo, (std::vector<std::string>{"", "Q2 [F]", "Q2 [M]", ""}));
    EXPECT_EQ(inputs.itemNames, (std::vector<std::string>{"h1", "Q2 [F]", "Q2 [M]", "h3"}));
    EXPECT_EQ(inputs.persons.keyed, (std::vector<char>{1, 0, 0, 1}));
    EXPECT_EQ(inputs.persons.optionKey, "ABBC");
    EXPECT_EQ(inputs.itemLinesGiven, (std::vector<char>{0, 1, 1, 0}));
    EXPECT_EQ(inputs.items.a.size(), 4u);
    EXPECT_EQ(inputs.persons.options[1 * 4 + 1], ' ');
    EXPECT_EQ(inputs.persons.options[1 * 4 + 2], 'x');
}

TEST(FreeItems, NothingFreedLeavesTheTablesAsTheyWere) {
    RunInputs inputs = ThreeItems();
    const RunInputs before = inputs;
    const ItemSplit split = SplitItems(inputs, {}, std::vector<std::int32_t>{0, 1, -1, 1},
                                       std::vector<std::string>{"F", "M"});
    EXPECT_TRUE(split.freed.empty());
    EXPECT_EQ(inputs.persons.responses, before.persons.responses);
    EXPECT_EQ(inputs.items.AccNo, before.items.AccNo);
}

TEST(FreeItems, ItemsAreFoundByIdHeaderNameOrNumber) {
    const RunInputs inputs = ThreeItems();
    std::string problem;
    const std::vector<std::string> names{"3", "Q2", "h1", "2"};
    const auto found = ResolveItems(names, inputs, "--free-items", problem);
    ASSERT_TRUE(found) << problem;
    EXPECT_EQ(*found, (std::vector<std::size_t>{0, 1, 2}));
    EXPECT_EQ(DisplayNameOf(inputs, 0), "h1");
    EXPECT_EQ(DisplayNameOf(inputs, 1), "Q2");

    for (const char* unknown : {"4", "0", "q2", "x"}) {
        const std::vector<std::string> one{unknown};
        EXPECT_FALSE(ResolveItems(one, inputs, "--anchors", problem)) << unknown;
        EXPECT_EQ(problem, "ERROR --anchors names the item '" + std::string(unknown) +
                               "', which is not among the 3 items of the response file r.dat: "
                               "give item names as the item file or the header has them, or "
                               "numbers from 1 to 3.");
    }
}

}  // namespace
}  // namespace tarvo
