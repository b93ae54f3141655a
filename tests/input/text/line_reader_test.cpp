#include "input/text/line_reader.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
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
        // A UTF-8 byte order mark at the very start is passed over, nowhere else.
        {"\xEF\xBB\xBFKEY\r\nx", {"KEY", "x"}},
        {"\xEF\xBB\xBF", {}},
        {"\xEF\xBB\xBF\x1a", {}},
        {"\xEF\xBB", {"\xEF\xBB"}},
        {"\xEF\xBB\xBE", {"\xEF\xBB\xBE"}},
        {"\xEF\xBB\xBF\xEF\xBB\xBF"
         "a",
         {"\xEF\xBB\xBF"
          "a"}},
        {"a\r\n\xEF\xBB\xBF"
         "b",
         {"a",
          "\xEF\xBB\xBF"
          "b"}},
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

TEST(LineReader, FileThatCannotBeReadIsEndedAtOnceAndSaysSo) {
    TempDir dir;
    std::vector<std::string> unreadable = {(dir.path() / "missing.txt").string(),
                                           dir.path().string(), "/dev/null\0x"s};
    if (::geteuid() != 0) {  // permission bits do not stop root
        unreadable.push_back(dir.Write("no access.txt", "text\r\n"));
        ::chmod(unreadable.back().c_str(), 0);
    }
    for (const std::string& path : unreadable) {
        SCOPED_TRACE(path);
        LineReader reader(path);
        EXPECT_TRUE(reader.Ended());
        EXPECT_EQ(reader.ReadLine(), "");
        EXPECT_EQ(reader.Status(), ReadStatus::CannotRead);
    }

    LineReader empty(dir.Write("empty.txt", ""));
    EXPECT_TRUE(empty.Ended());
    EXPECT_EQ(empty.Status(), ReadStatus::Read);
}

// A lock taken on a file through its own open, as another run would.
class FileLock {
  public:
    FileLock(const std::string& path, int operation)
        : descriptor_(::open(path.c_str(), O_RDONLY | O_CLOEXEC)) {
        locked_ = descriptor_ >= 0 && ::flock(descriptor_, operation | LOCK_NB) == 0;
    }
    ~FileLock() {
        if (descriptor_ >= 0) ::close(descriptor_);
    }
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;
    bool locked() const { return locked_; }

  private:
    int descriptor_;
    bool locked_ = false;
};

TEST(LineReader, HoldsASharedLockWhileReading) {
    TempDir dir;
    const std::string path = dir.Write("data.txt", "one\r\ntwo\r\n");
    {
        LineReader first(path);
        LineReader second(path);  // readers share
        EXPECT_EQ(first.ReadLine(), "one");
        EXPECT_EQ(second.ReadLine(), "one");
        EXPECT_FALSE(FileLock(path, LOCK_EX).locked());
        EXPECT_TRUE(FileLock(path, LOCK_SH).locked());
        EXPECT_EQ(first.ReadLine(), "two");
        EXPECT_TRUE(first.Ended());
        EXPECT_EQ(first.Status(), ReadStatus::Read);
    }
    EXPECT_TRUE(FileLock(path, LOCK_EX).locked());  // released with the reader

    // A file locked for writing is not read at all.
    const FileLock writer(path, LOCK_EX);
    ASSERT_TRUE(writer.locked());
    LineReader refused(path);
    EXPECT_TRUE(refused.Ended());
    EXPECT_EQ(refused.ReadLine(), "");
    EXPECT_EQ(refused.Status(), ReadStatus::InUse);
}

TEST(LineReader, KeepsOnlyTheBytesAskedFor) {
    struct KeepCase {
        std::string bytes;
        std::size_t keep;
        std::vector<std::string> lines;
    };
    const std::vector<KeepCase> cases = {
        {"abcdef\r\nxy\r\n", 3, {"abc", "xy"}},
        {"abcdef\r\nxy\r\n", 0, {"", ""}},
        {"abc\r\n\r\nabcd", 4, {"abc", "", "abcd"}},
        {"abcdef\rxyz\nq", 1, {"a", "x", "q"}},
        {"abcdef\x1a"
         "ghi\r\n",
         2,
         {"ab"}},  // byte 26 still ends the data
    };
    TempDir dir;
    for (std::size_t bufferSize : {1u, 2u, 3u, 65536u}) {
        for (const KeepCase& c : cases) {
            LineReader reader(dir.Write("lines.txt", c.bytes), bufferSize);
            std::vector<std::string> lines;
            std::string line;
            while (!reader.Ended()) {
                reader.ReadLine(line, c.keep);
                lines.push_back(line);
            }
            EXPECT_EQ(lines, c.lines) << ::testing::PrintToString(c.bytes) << " keep " << c.keep
                                      << " buffer " << bufferSize;
        }
    }
}

TEST(LineReader, LineWithoutEndCostsOnlyTheBytesKept) {
    // A sparse file of 64 MB of zero bytes: one line, never in memory.
    TempDir dir;
    const std::string path = dir.Write("zeros.bin", "");
    ASSERT_EQ(::truncate(path.c_str(), off_t{64} << 20), 0);
    LineReader reader(path);
    std::string line;
    reader.ReadLine(line, 100);
    EXPECT_EQ(line, std::string(100, '\0'));
    EXPECT_LT(line.capacity(), std::size_t{1} << 20);
    EXPECT_TRUE(reader.Ended());
    EXPECT_EQ(reader.Status(), ReadStatus::Read);
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

// A pipe is opened without waiting for its writer and waited on in steps, so
// that a stop asked for from another thread ends the reading, whether no
// writer ever comes or the writer stops writing in the middle of a line;
// a pipe that is written and closed reads as a file.
TEST(LineReader, AStopEndsTheWaitOnAPipe) {
    TempDir dir;
    const std::string path = (dir.path() / "pipe").string();
    ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
    for (const bool writer : {false, true}) {
        SCOPED_TRACE(writer ? "a writer that stops" : "no writer");
        std::atomic<bool> stop{false};
        LineReader reader(path, LineReader::kDefaultBufferSize, [&] { return stop.load(); });
        int written = -1;
        if (writer) {
            written = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
            ASSERT_GE(written, 0);
            ASSERT_EQ(::write(written, "one\r\ntw", 7), 7);
        }
        std::thread stopper([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(150));
            stop = true;
        });
        std::vector<std::string> lines;
        while (!reader.Ended()) lines.push_back(reader.ReadLine());
        stopper.join();
        if (written >= 0) ::close(written);
        EXPECT_EQ(reader.Status(), ReadStatus::Stopped);
        const std::vector<std::string> expected =
            writer ? std::vector<std::string>{"one", "tw"} : std::vector<std::string>{};
        EXPECT_EQ(lines, expected);
    }

    LineReader reader(path);  // no stop poll: waits for the writer as long as it takes
    const int written = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
    ASSERT_GE(written, 0);
    std::thread writer([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        EXPECT_EQ(::write(written, "one\r\ntwo", 8), 8);
        ::close(written);
    });
    EXPECT_EQ(reader.ReadLine(), "one");
    EXPECT_EQ(reader.ReadLine(), "two");
    EXPECT_TRUE(reader.Ended());
    writer.join();
    EXPECT_EQ(reader.Status(), ReadStatus::Read);
}

}  // namespace
}  // namespace tarvo
