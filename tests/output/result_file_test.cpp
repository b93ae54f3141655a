#include "output/result_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "input/text/line_reader.h"

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

TEST_F(ResultFileTest, OpenFailureNamesTheFullPathAndTheReason) {
    const std::string folder = folder_.string();
    const struct {
        std::string name;
        std::string failure;
    } cases[] = {
        {"", "no file name given"},
        {PathOf("missing/out.csv"), folder + "/missing/out.csv: No such file or directory"},
        {folder, folder + ": Is a directory"},
        {PathOf("out") + std::string(1, '\0') + ".csv", "the name holds a NUL byte"},
        // A relative name is shown as the path it resolved to.
        {"missing/out.csv", folder + "/missing/out.csv: No such file or directory"},
        {"./missing/../missing/x.csv", folder + "/missing/x.csv: No such file or directory"},
    };
    const fs::path previous = fs::current_path();
    fs::current_path(folder_);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ResultFile file;
        EXPECT_FALSE(file.Open(c.name));
        EXPECT_FALSE(file.IsOpen());
        EXPECT_EQ(file.OpenFailure(), c.failure);
        file.WriteLine("ignored");  // writing to a file that did not open does nothing
        EXPECT_FALSE(file.Close());
    }
    fs::current_path(previous);
    EXPECT_FALSE(fs::exists(PathOf("out")));

    ResultFile file;
    ASSERT_TRUE(file.Open(PathOf("fine.csv")));
    EXPECT_EQ(file.OpenFailure(), "");
}

TEST_F(ResultFileTest, OpenFailsForReadOnlyFile) {
    if (::geteuid() == 0) GTEST_SKIP() << "permission bits do not stop root";
    const std::string path = PathOf("readonly.csv");
    std::ofstream(path) << "keep\r\n";
    fs::permissions(path, fs::perms::owner_read);
    ResultFile file;
    EXPECT_FALSE(file.Open(path));
    EXPECT_EQ(file.OpenFailure(), path + ": Permission denied");
    EXPECT_EQ(Contents(path), "keep\r\n");
}

// Two runs on one result file: the second is refused and the first one's
// text stays whole. A run reading the file as input keeps it from being
// emptied as well.
TEST_F(ResultFileTest, FileHeldByAnotherRunIsLeftAsItIs) {
    const std::string path = PathOf("shared.csv");
    ResultFile first;
    ASSERT_TRUE(first.Open(path));
    first.WriteLine("first run");
    ResultFile second;
    EXPECT_FALSE(second.Open(path));
    EXPECT_EQ(second.OpenFailure(), "in use by another run");
    first.WriteLine("goes on");
    EXPECT_TRUE(first.Close());
    EXPECT_EQ(Contents(path), "first run\r\ngoes on\r\n");

    {
        LineReader reader(path);
        EXPECT_EQ(reader.ReadLine(), "first run");
        EXPECT_FALSE(second.Open(path));
        EXPECT_EQ(second.OpenFailure(), "in use by another run");
        EXPECT_EQ(reader.ReadLine(), "goes on");
    }
    EXPECT_EQ(Contents(path), "first run\r\ngoes on\r\n");
    ASSERT_TRUE(second.Open(path));  // free again: emptied as ever
    EXPECT_TRUE(second.Close());
    EXPECT_EQ(Contents(path), "");

    // A device is shared by every program that writes to it.
    ResultFile nowhere;
    ResultFile alsoNowhere;
    EXPECT_TRUE(nowhere.Open("/dev/null"));
    EXPECT_TRUE(alsoNowhere.Open("/dev/null"));
}

// A link in a folder such as /tmp (sticky, writable by all) is followed only
// when it belongs to this user or to the folder's owner, as the kernel's
// protected-links rule has it; elsewhere links are followed as ever.
TEST_F(ResultFileTest, LinkPlantedInASharedFolderIsNotFollowed) {
    constexpr uid_t kOther = 65534;
    const uid_t self = ::geteuid();
    const struct {
        const char* what;
        mode_t folderMode;
        uid_t folderOwner;
        uid_t linkOwner;
        bool followed;
    } cases[] = {
        {"another user's link in a shared folder", 01777, self, kOther, false},
        {"own link in a shared folder", 01777, self, self, true},
        {"the folder owner's link", 01777, kOther, kOther, true},
        {"another user's link in a folder without the sticky bit", 0777, self, kOther, true},
        {"another user's link in a sticky folder only its owner writes", 01755, self, kOther, true},
    };
    int number = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        if (self != 0 && (c.folderOwner != self || c.linkOwner != self)) continue;  // needs root
        const std::string target = PathOf("own file " + std::to_string(++number));
        std::ofstream(target, std::ios::binary) << "private\r\n";
        const std::string shared = PathOf("shared " + std::to_string(number));
        fs::create_directory(shared);
        const std::string link = shared + "/result.csv";
        fs::create_symlink(target, link);
        ASSERT_EQ(::lchown(link.c_str(), c.linkOwner, c.linkOwner), 0);
        ASSERT_EQ(::chown(shared.c_str(), c.folderOwner, c.folderOwner), 0);
        ASSERT_EQ(::chmod(shared.c_str(), c.folderMode), 0);

        ResultFile file;
        EXPECT_EQ(file.Open(link), c.followed);
        file.WriteLine("result");
        file.Close();
        EXPECT_EQ(Contents(target), c.followed ? "result\r\n" : "private\r\n");
        if (!c.followed) {
            EXPECT_EQ(file.OpenFailure(),
                      link + ": a link of another user's in a shared folder is not followed");
        }
    }
    if (self != 0) GTEST_SKIP() << "only the cases of one's own links run without root";
}

// A pipe with nobody reading it is refused at once instead of holding the
// run in its open for ever; one that is read takes the result.
TEST_F(ResultFileTest, PipeIsWrittenOnlyWhileSomebodyReadsIt) {
    const std::string pipe = PathOf("result.pipe");
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    ResultFile unread;
    EXPECT_FALSE(unread.Open(pipe));
    EXPECT_EQ(unread.OpenFailure(), pipe + ": a pipe that nobody reads");

    const int reader = ::open(pipe.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(reader, 0);
    ResultFile read;
    ASSERT_TRUE(read.Open(pipe));
    read.WriteLine("result");
    read.Close();
    char text[16] = {};
    EXPECT_EQ(::read(reader, text, sizeof text), 8);
    EXPECT_EQ(std::string(text), "result\r\n");
    ::close(reader);
}

// Another user's file or pipe in a sticky folder everybody writes would take
// the result (or block the run): it is left alone, as the kernel's
// protection of such files would; one's own file there is written.
TEST_F(ResultFileTest, AnotherUsersFileInASharedFolderIsNotReplaced) {
    constexpr uid_t kOther = 65534;
    const std::string shared = PathOf("shared");
    fs::create_directory(shared);
    ASSERT_EQ(::chmod(shared.c_str(), 01777), 0);
    const std::string own = shared + "/own.csv";
    std::ofstream(own, std::ios::binary) << "old\r\n";
    ResultFile ownFile;
    ASSERT_TRUE(ownFile.Open(own));
    ownFile.WriteLine("new");
    ownFile.Close();
    EXPECT_EQ(Contents(own), "new\r\n");
    if (::geteuid() != 0) GTEST_SKIP() << "another user's file needs root to make";

    const std::string others = shared + "/others.csv";
    std::ofstream(others, std::ios::binary) << "theirs\r\n";
    ASSERT_EQ(::chown(others.c_str(), kOther, kOther), 0);
    const std::string othersPipe = shared + "/others.pipe";
    ASSERT_EQ(::mkfifo(othersPipe.c_str(), 0666), 0);
    ASSERT_EQ(::chown(othersPipe.c_str(), kOther, kOther), 0);
    // Reached through a link of one's own from elsewhere too.
    const std::string link = PathOf("link.csv");
    fs::create_symlink(others, link);
    for (const std::string& name : {others, othersPipe, link}) {
        SCOPED_TRACE(name);
        ResultFile file;
        EXPECT_FALSE(file.Open(name));
        EXPECT_EQ(file.OpenFailure(),
                  name + ": a file of another user's in a shared folder is not replaced");
    }
    EXPECT_EQ(Contents(others), "theirs\r\n");
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
