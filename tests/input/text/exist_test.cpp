#include "input/text/exist.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace tarvo {
namespace {

using test_support::TempDir;

TEST(Exist, NamesAFileOrAFolder) {
    TempDir dir;
    const std::string file = dir.Write("resp.dat", "x");
    std::filesystem::create_directory(dir.path() / "sub");
    EXPECT_TRUE(Exist(file));
    EXPECT_TRUE(Exist((dir.path() / "sub").string()));
    EXPECT_TRUE(Exist(dir.path().string()));
    EXPECT_FALSE(Exist((dir.path() / "missing.dat").string()));
    EXPECT_FALSE(Exist(""));
}

TEST(Exist, WildcardsInTheLastPartMatchFolderEntries) {
    TempDir dir;
    dir.Write("resp.dat", "x");
    dir.Write(".hidden", "x");
    dir.Write("[a]b.txt", "x");
    dir.Write("back\\slash", "x");
    std::filesystem::create_directory(dir.path() / "sub");
    const std::string base = dir.path().string() + "/";

    struct Case {
        std::string pattern;
        bool exists;
    };
    const std::vector<Case> cases = {
        {"*", true},
        {"*.dat", true},
        {"resp.???", true},
        {"r*p*.d?t", true},
        {"s?b", true},
        {".h*", true},
        {"*.txt", true},
        {"*.csv", false},
        {"resp.??", false},
        {"?resp.dat", false},
        {"x*", false},
        {"[a]*", true},  // "[" stands for itself ...
        {"a*", false},   // ... and is no bracket set matching "a"
        {"[ab]b.txt", false},
        {"back\\sl?sh", true},
        {"back\\*", true},  // "\" is no escape
        {"back*\\slash", true},
    };
    for (const Case& c : cases) EXPECT_EQ(Exist(base + c.pattern), c.exists) << c.pattern;
}

TEST(Exist, BracketsAndBackslashesWithoutWildcardsAreLiteral) {
    TempDir dir;
    EXPECT_TRUE(Exist(dir.Write("[x].dat", "x")));
    EXPECT_TRUE(Exist(dir.Write("a\\b.dat", "x")));
    EXPECT_FALSE(Exist(dir.path().string() + "/x.dat"));
}

TEST(Exist, WildcardInAMissingFolderMatchesNothing) {
    TempDir dir;
    EXPECT_FALSE(Exist(dir.path().string() + "/none/*"));
    std::filesystem::create_directory(dir.path() / "empty");
    EXPECT_FALSE(Exist(dir.path().string() + "/empty/*"));
}

TEST(MatchesWildcard, StarBacktracksAndMatchesLiteralStars) {
    EXPECT_TRUE(MatchesWildcard("*x", "*ax"));
    EXPECT_TRUE(MatchesWildcard("a*b*c", "aXbYbZc"));
    EXPECT_TRUE(MatchesWildcard("**", ""));
    EXPECT_FALSE(MatchesWildcard("?", ""));
    EXPECT_FALSE(MatchesWildcard("a*b", "aXbY"));
    EXPECT_FALSE(MatchesWildcard("Resp.dat", "resp.dat"));  // names differ in case
}

}  // namespace
}  // namespace tarvo
