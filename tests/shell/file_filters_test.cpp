// Filter conversion, the preselected filter pair and the mask reordering.
#include "shell/files/file_filters.h"

#include <gtest/gtest.h>

#include "shell/files/file_selection.h"

namespace tarvo::shell {
namespace {

using namespace std::string_literals;

std::string OutputFilter() { return ToNulSeparatedFilter(OutputPicker("").barFilter); }

TEST(ToNulSeparatedFilter, BarsBecomeNulsWithOneMoreAtTheEnd) {
    EXPECT_EQ(ToNulSeparatedFilter("Text (*.txt)|*.txt|"), "Text (*.txt)\0*.txt\0\0"s);
    EXPECT_EQ(ToNulSeparatedFilter(""), "\0"s);
}

TEST(FilterIndexForName, PicksTheOutputPairByExtension) {
    const struct {
        const char* name;
        int pair;
    } cases[] = {
        {"result.csv", 1},
        {"RESULT.CSV", 1},
        {"a.b/result.Csv", 1},
        {"result.dat", 2},
        {"C:\\x\\r.DAT", 2},
        {"result.txt", 3},
        {"result.asc", 4},
        {"result.aSc   ", 4},  // trailing spaces do not count
        {"result.out", 5},
        {"result", 5},             // no extension: the last pair
        {"folder.csv/result", 5},  // a folder's dot is no extension
        {"folder/", 5},
        {".txt", 3},  // "." + default extension
        {"*.csv", 1},
        {"", 5},
    };
    for (const auto& c : cases) {
        std::string filter = OutputFilter();
        EXPECT_EQ(FilterIndexForName(filter, c.name), c.pair) << c.name;
    }
}

TEST(FilterIndexForName, AnIncompleteFilterGivesZeroAndStaysAsItWas) {
    for (std::string filter : {"Text (*.txt)\0"s, "a\0b\0c\0\0"s, ""s}) {
        const std::string before = filter;
        EXPECT_EQ(FilterIndexForName(filter, "x.txt"), 0);
        EXPECT_EQ(filter, before);
    }
}

TEST(FilterIndexForName, RejoinsTheFieldsWithOneClosingNul) {
    std::string filter = "A (*.a)\0*.a\0B (*.b)\0*.b\0\0\0"s;
    EXPECT_EQ(FilterIndexForName(filter, "x.b"), 2);
    EXPECT_EQ(filter, "A (*.a)\0*.a\0B (*.b)\0*.b\0"s);
}

TEST(FilterIndexForName, ADotSlashOrColonDecidesTheExtension) {
    // ".*" (after a folder separator) matches an "All files" mask "*.*".
    std::string filter = "Text\0*.txt\0All\0*.*\0Other\0*.x\0"s;
    EXPECT_EQ(FilterIndexForName(filter, "C:"), 2);
    filter = "Text\0*.txt\0Any\0*\0Other\0*.x\0"s;
    EXPECT_EQ(FilterIndexForName(filter, "noextension"), 2);  // "*" + empty extension
}

TEST(MatchFilterPattern, MovesALaterMatchingMaskToTheFront) {
    std::string description = "Data (*.dat,*.txt,*.asc)";
    std::string pattern = "*.dat;*.txt;*.asc";
    EXPECT_TRUE(MatchFilterPattern(".ASC", description, pattern));
    EXPECT_EQ(pattern, "*.asc;*.txt;*.dat");
    EXPECT_EQ(description, "Data (*.asc,*.txt,*.dat)");
}

TEST(MatchFilterPattern, AFirstMaskMatchChangesNothing) {
    std::string description = "Data (*.dat,*.txt)";
    std::string pattern = "*.DAT;*.txt";
    EXPECT_TRUE(MatchFilterPattern(".DAT", description, pattern));
    EXPECT_EQ(pattern, "*.DAT;*.txt");
    EXPECT_EQ(description, "Data (*.dat,*.txt)");
}

TEST(MatchFilterPattern, NoMatchLeavesBothAlone) {
    std::string description = "Data (*.dat)";
    std::string pattern = "*.dat";
    EXPECT_FALSE(MatchFilterPattern(".CSV", description, pattern));
    EXPECT_FALSE(MatchFilterPattern(".DA", description, pattern));
    EXPECT_EQ(pattern, "*.dat");
}

TEST(MatchFilterPattern, ShortOrUnparenthesisedDescriptionsAreSafe) {
    // Fewer listed items than masks, or no list at all: the masks still move.
    std::string shortList = "Data (*.dat)";
    std::string pattern = "*.dat;*.txt";
    EXPECT_TRUE(MatchFilterPattern(".TXT", shortList, pattern));
    EXPECT_EQ(pattern, "*.txt;*.dat");
    EXPECT_EQ(shortList, "Data (*.dat)");

    std::string plain = "Data files";
    pattern = "*.dat;*.txt";
    EXPECT_TRUE(MatchFilterPattern(".TXT", plain, pattern));
    EXPECT_EQ(plain, "Data files");
}

TEST(DialogNameFilters, TakeTheMasksFromThePatternField) {
    const auto filters = DialogNameFilters(OutputFilter());
    ASSERT_EQ(filters.size(), 5u);
    EXPECT_EQ(filters[0], "CSV Files (*.csv)");
    EXPECT_EQ(filters[4], "All Files (*)");  // "*.*" would hide names without a dot

    const auto listed = DialogNameFilters("Data (old)\0*.dat;*.txt\0Bare\0*.x\0"s);
    ASSERT_EQ(listed.size(), 2u);
    EXPECT_EQ(listed[0], "Data (*.dat *.txt)");
    EXPECT_EQ(listed[1], "Bare (*.x)");
}

}  // namespace
}  // namespace tarvo::shell
