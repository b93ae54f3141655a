#include "output/result_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace tarvo {
namespace {

namespace fs = std::filesystem;

// A fresh folder for each test, removed afterwards.
class ResultFileTest : public ::testing::Test {
  protected:
    void SetUp() override {
        folder_ = fs::temp_directory_path() /
                  ("tarvo_result_file_" + std::to_string(::getpid()) + "_" +
                   ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(folder_);
        fs::create_directories(folder_);
    }
    void TearDown() override {
        std::error_code ignored;
        fs::permissions(folder_, fs::perms::owner_all, fs::perm_options::add, ignored);
        fs::remove_all(folder_, ignored);
    }

    std::string PathOf(const std::string& name) const { return (folder_ / name).string(); }

    static std::string Contents(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    fs::path folder_;
};

TEST_F(ResultFileTest, WritesLinesWithCrLf) {
    const std::string path = PathOf("out.csv");
    ResultFile file;
    ASSERT_TRUE(file.Open(path));
    file.WriteLine("header");
    file.Write("   1, A,");
    file.WriteLine("  0.500");
    file.WriteLine("");
    EXPECT_TRUE(file.Close());
    EXPECT_FALSE(file.WriteFailed());
    EXPECT_EQ(Contents(path), "header\r\n   1, A,  0.500\r\n\r\n");
}

TEST_F(ResultFileTest, HandsOverWholeLinesOnly) {
    const std::string path = PathOf("out.txt");
    ResultFile file;
    ASSERT_TRUE(file.Open(path));
    file.WriteLine("first");
    file.Write("   2, B,");  // an unfinished line waits for its line end
    EXPECT_EQ(Contents(path), "first\r\n");
    file.WriteLine("  1.000");
    EXPECT_EQ(Contents(path), "first\r\n   2, B,  1.000\r\n");
    file.Write("tail without line end");
    EXPECT_TRUE(file.Close());
    EXPECT_EQ(Contents(path), "first\r\n   2, B,  1.000\r\ntail without line end");
}

TEST_F(ResultFileTest, EmptiesAnExistingFile) {
    const std::string path = PathOf("old.csv");
    std::ofstream(path, std::ios::binary) << "a much longer earlier result\r\n";
    ResultFile file;
    ASSERT_TRUE(file.Open(path));
    file.WriteLine("new");
    EXPECT_TRUE(file.Close());
    EXPECT_EQ(Contents(path), "new\r\n");
}

TEST_F(ResultFileTest, OpenFailsForNamesThatCannotBeWritten) {
    const std::string cases[] = {
        "",
        PathOf("missing/out.csv"),
        folder_.string(),
        PathOf("out") + std::string(1, '\0') + ".csv",
    };
    for (const std::string& name : cases) {
        ResultFile file;
        EXPECT_FALSE(file.Open(name)) << "\"" << name << "\"";
        EXPECT_FALSE(file.IsOpen());
        file.WriteLine("ignored");  // writing to a file that did not open does nothing
        EXPECT_FALSE(file.Close());
    }
    EXPECT_FALSE(fs::exists(PathOf("out")));
}

TEST_F(ResultFileTest, OpenFailsForReadOnlyFile) {
    if (::geteuid() == 0) GTEST_SKIP() << "permission bits do not stop root";
    const std::string path = PathOf("readonly.csv");
    std::ofstream(path) << "keep\r\n";
    fs::permissions(path, fs::perms::owner_read);
    ResultFile file;
    EXPECT_FALSE(file.Open(path));
    EXPECT_EQ(Contents(path), "keep\r\n");
}

TEST_F(ResultFileTest, FullDiskIsRememberedAndTheRunGoesOn) {
    if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    ResultFile file;
    ASSERT_TRUE(file.Open("/dev/full"));
    file.WriteLine("lost");
    EXPECT_TRUE(file.WriteFailed());
    file.WriteLine("tried again");
    EXPECT_FALSE(file.Close());
    EXPECT_FALSE(file.IsOpen());
}

TEST_F(ResultFileTest, UnfinishedLineFailingAtCloseIsReported) {
    if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    ResultFile file;
    ASSERT_TRUE(file.Open("/dev/full"));
    file.Write("no line end");
    EXPECT_FALSE(file.WriteFailed());
    EXPECT_FALSE(file.Close());
    EXPECT_TRUE(file.WriteFailed());
}

TEST_F(ResultFileTest, ReopeningStartsAfresh) {
    if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    ResultFile file;
    ASSERT_TRUE(file.Open("/dev/full"));
    file.WriteLine("lost");
    const std::string path = PathOf("second.csv");
    ASSERT_TRUE(file.Open(path));
    EXPECT_FALSE(file.WriteFailed());
    file.WriteLine("kept");
    EXPECT_TRUE(file.Close());
    EXPECT_EQ(Contents(path), "kept\r\n");
}

TEST_F(ResultFileTest, DestructorClosesAndHandsOverTheRest) {
    const std::string path = PathOf("scoped.csv");
    {
        ResultFile file;
        ASSERT_TRUE(file.Open(path));
        file.Write("last");
    }
    EXPECT_EQ(Contents(path), "last");
}

TEST_F(ResultFileTest, IsSameFileSeesThroughSpellings) {
    const std::string path = PathOf("data.txt");
    const std::string other = PathOf("other.txt");
    std::ofstream(path) << "x";
    std::ofstream(other) << "x";
    fs::create_symlink(path, PathOf("link.txt"));
    fs::create_hard_link(path, PathOf("hard.txt"));

    EXPECT_TRUE(IsSameFile(path, path));
    EXPECT_TRUE(IsSameFile(path, PathOf("link.txt")));
    EXPECT_TRUE(IsSameFile(PathOf("hard.txt"), path));
    EXPECT_TRUE(IsSameFile(path, (folder_ / "." / "data.txt").string()));
    EXPECT_TRUE(IsSameFile(path, (folder_ / ".." / folder_.filename() / "data.txt").string()));
    EXPECT_FALSE(IsSameFile(path, other));
    EXPECT_FALSE(IsSameFile(path, PathOf("missing.txt")));
    EXPECT_FALSE(IsSameFile(PathOf("missing.txt"), PathOf("missing.txt")));
    EXPECT_FALSE(IsSameFile("", path));
}

TEST_F(ResultFileTest, IsSameFileWithRelativeDotSpelling) {
    const fs::path previous = fs::current_path();
    fs::current_path(folder_);
    std::ofstream("in.dat") << "x";
    EXPECT_TRUE(IsSameFile("in.dat", "./in.dat"));
    EXPECT_TRUE(IsSameFile("./in.dat", PathOf("in.dat")));
    fs::current_path(previous);
}

}  // namespace
}  // namespace tarvo
