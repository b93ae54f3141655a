#include "input/line_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace tarvo {
namespace {

using test_support::TempDir;
using namespace std::string_literals;

std::vector<std::string> ReadAllLines(const std::string& path, std::size_t bufferSize) {
    LineReader reader(path, bufferSize);
    std::vector<std::string> lines;
    while (!reader.Ended()) lines.push_back(reader.ReadLine());
    return lines;
}

struct LineCase {
    std::string bytes;
    std::vector<std::string> lines;
};

TEST(LineReader, SplitsLinesAtEveryLineEndWhateverTheBufferSize) {
    const std::vector<LineCase> cases = {
        {"", {}},
        {"abc", {"abc"}},
        {"a\rb\r", {"a", "b"}},
        {"a\r\nb\r\n", {"a", "b"}},
        {"a\nb\n", {"a", "b"}},  // a lone line feed ends a line too
        {"a\r\r\nb", {"a", "", "b"}},
        {"a\n\rb", {"a", "", "b"}},  // LF then CR: two line ends
        {"a\n\nb", {"a", "", "b"}},
        {"\r\n", {""}},
        {"\r\n\r\n", {"", ""}},
        {"a\x1a"
         "b\r\nc",
         {"a"}},  // byte 26 ends the data mid-line
        {"a\r\n\x1a"
         "b",
         {"a"}},
        {"\x1a"
         "abc",
         {}},
        {"a\tb\0c  \r"s, {"a\tb\0c  "s}},  // tabs, NUL and trailing blanks stay
    };
    TempDir dir;
    for (std::size_t bufferSize : {1u, 2u, 3u, 65536u}) {
        for (const LineCase& c : cases) {
            const std::string path = dir.Write("lines.txt", c.bytes);
            EXPECT_EQ(ReadAllLines(path, bufferSize), c.lines)
                << "bytes: " << ::testing::PrintToString(c.bytes) << " buffer " << bufferSize;
        }
    }
}

TEST(LineReader, GivesEmptyLinesOnceEnded) {
    TempDir dir;
    LineReader reader(dir.Write("short.txt",
                                "one\r\ntwo\x1a"
                                "three\r\n"));
    EXPECT_EQ(reader.ReadLine(), "one");
    EXPECT_EQ(reader.ReadLine(), "two");
    EXPECT_TRUE(reader.Ended());
    EXPECT_EQ(reader.ReadLine(), "");
    EXPECT_EQ(reader.ReadLine(), "");
    EXPECT_TRUE(reader.Ended());
}

TEST(LineReader, FileThatCannotBeReadIsEndedAtOnce) {
    TempDir dir;
    LineReader missing((dir.path() / "missing.txt").string());
    EXPECT_TRUE(missing.Ended());
    EXPECT_EQ(missing.ReadLine(), "");

    LineReader folder(dir.path().string());
    EXPECT_TRUE(folder.Ended());
    EXPECT_EQ(folder.ReadLine(), "");
}

TEST(LineReader, ReadsLinesLongerThanTheBuffer) {
    TempDir dir;
    std::string longLine(5'000'000, 'x');
    longLine[1234567] = '1';
    const std::string path = dir.Write("long.txt", longLine + "\r\nnext\r\n");
    LineReader reader(path);
    EXPECT_EQ(reader.ReadLine(), longLine);
    EXPECT_EQ(reader.ReadLine(), "next");
    EXPECT_TRUE(reader.Ended());
}

}  // namespace
}  // namespace tarvo
