#include "input/text/item_parameter_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace tarvo {
namespace {

using test_support::TempDir;

// Item ID in columns 1-8, a in 10-15, b in 17-22, c in 24-29.
RunSettings ItemSettings() {
    RunSettings settings;
    settings.itemIdField = {1, 8};
    settings.aField = {10, 6};
    settings.bField = {17, 6};
    settings.cField = {24, 6};
    return settings;
}

struct Expected {
    std::string AccNo;
    double a, b, c;
};

void ExpectItems(const ItemTable& items, const std::vector<Expected>& expected) {
    ASSERT_EQ(items.itemCount(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE("item " + std::to_string(i + 1));
        EXPECT_EQ(items.AccNo[i], expected[i].AccNo);
        EXPECT_EQ(items.a[i], expected[i].a);
        EXPECT_EQ(items.b[i], expected[i].b);
        EXPECT_EQ(items.c[i], expected[i].c);
    }
}

ItemTable ReadItems(const std::string& bytes, std::size_t itemCount,
                    const RunSettings& settings = ItemSettings()) {
    TempDir dir;
    ItemTable items(itemCount);
    EXPECT_EQ(ReadItemParameterFile(dir.Write("items.txt", bytes), settings, items),
              ReadStatus::Read);
    return items;
}

const std::string kLine1 = "ITEM01   1.25   -0.5   0.2  \r\n";
const std::string kLine2 = "ITEM02   0.8    1.5    0.25 \r\n";
const std::string kLine3 = "ITEM03   1.0    0.0    0.1  \r\n";

TEST(ItemParameterFile, LineIIsItemI) {
    ExpectItems(
        ReadItems(kLine1 + kLine2 + kLine3, 3),
        {{"ITEM01  ", 1.25, -0.5, 0.2}, {"ITEM02  ", 0.8, 1.5, 0.25}, {"ITEM03  ", 1.0, 0.0, 0.1}});
}

TEST(ItemParameterFile, MissingLinesGiveEmptyItems) {
    ExpectItems(ReadItems(kLine1 + kLine2 + kLine3, 5), {{"ITEM01  ", 1.25, -0.5, 0.2},
                                                         {"ITEM02  ", 0.8, 1.5, 0.25},
                                                         {"ITEM03  ", 1.0, 0.0, 0.1},
                                                         {"", 0, 0, 0},
                                                         {"", 0, 0, 0}});
}

TEST(ItemParameterFile, LinesAfterItemCountAreIgnored) {
    std::string bytes;
    for (int i = 0; i < 7; ++i) bytes += kLine1;
    bytes += "BAD";
    const ItemTable items = ReadItems(bytes, 5);
    ASSERT_EQ(items.itemCount(), 5u);
    EXPECT_EQ(items.AccNo[4], "ITEM01  ");  // the same identifier twice is fine
}

TEST(ItemParameterFile, EmptyLineIsTheLineOfItsItem) {
    ExpectItems(ReadItems(kLine1 + "\r\n" + kLine3, 3),
                {{"ITEM01  ", 1.25, -0.5, 0.2}, {"", 0, 0, 0}, {"ITEM03  ", 1.0, 0.0, 0.1}});
}

TEST(ItemParameterFile, ByteTwentySixEndsTheItems) {
    ExpectItems(ReadItems(kLine1 + kLine2 + kLine3 + "\x1a" + kLine1, 5),
                {{"ITEM01  ", 1.25, -0.5, 0.2},
                 {"ITEM02  ", 0.8, 1.5, 0.25},
                 {"ITEM03  ", 1.0, 0.0, 0.1},
                 {"", 0, 0, 0},
                 {"", 0, 0, 0}});
}

TEST(ItemParameterFile, FieldsOfLengthZeroAreNotRead) {
    RunSettings settings = ItemSettings();
    settings.cField.length = 0;
    settings.itemIdField = {0, 0};
    ExpectItems(ReadItems(kLine1, 1, settings), {{"", 1.25, -0.5, 0.0}});
}

TEST(ItemParameterFile, ValuesFollowTheNumberRule) {
    // A decimal comma stops the number; exponents and shortened lines work.
    ExpectItems(ReadItems("A1       0,25   1.2E-1 .5\r\nA2       2x\r\nA2\r\n", 3),
                {{"A1      ", 0.0, 0.12, 0.5}, {"A2      ", 2.0, 0, 0}, {"A2", 0, 0, 0}});
}

TEST(ItemParameterFile, FileThatCannotBeReadSaysSo) {
    TempDir dir;
    std::vector<std::string> unreadable = {dir.path().string(), (dir.path() / "none").string()};
    if (::geteuid() != 0) {  // permission bits do not stop root
        unreadable.push_back(dir.Write("locked.itm", kLine1));
        ::chmod(unreadable.back().c_str(), 0);
    }
    for (const std::string& path : unreadable) {
        SCOPED_TRACE(path);
        for (const std::size_t itemCount : {0u, 2u}) {
            ItemTable items(itemCount);
            EXPECT_EQ(ReadItemParameterFile(path, ItemSettings(), items), ReadStatus::CannotRead);
            ExpectItems(items, std::vector<Expected>(itemCount, {"", 0, 0, 0}));
        }
    }
}

TEST(ItemParameterFile, OnlyTheColumnsOfTheFieldsAreKept) {
    // Megabytes past the c column, and a last line without a line end.
    const std::string bytes = kLine1.substr(0, 28) + std::string(3'000'000, '7') + "\r\n" +
                              kLine2.substr(0, 28) + std::string(70'000, '7');
    ExpectItems(ReadItems(bytes, 3),
                {{"ITEM01  ", 1.25, -0.5, 0.2}, {"ITEM02  ", 0.8, 1.5, 0.25}, {"", 0, 0, 0}});
}

}  // namespace
}  // namespace tarvo
