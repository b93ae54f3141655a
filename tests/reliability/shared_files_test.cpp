// Files that other runs, or other users, reach at the same time, through
// real tarvo-run processes: two runs writing one result file, a run writing
// the file that another run reads, and a result name that another user
// planted as a link in a shared folder.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "reliability/result_checks.h"
#include "reliability/runner_process.h"
#include "reliability/sample_args.h"
#include "support/run_fixture.h"

namespace tarvo {
namespace {

using test_support::ProcessSettings;
using test_support::RunFixture;

// Whether process pid holds a whole-file lock of the kind ("READ" for
// shared, "WRITE" for exclusive), as the kernel lists it.
bool HoldsFileLock(pid_t pid, const std::string& kind) {
    std::ifstream locks("/proc/locks");
    std::string line;
    while (std::getline(locks, line)) {
        std::istringstream fields(line);
        std::string number, type, mode, access;
        pid_t owner = 0;
        fields >> number >> type >> mode >> access >> owner;
        if (type == "FLOCK" && access == kind && owner == pid) return true;
    }
    return false;
}

// Waits until the run holds its lock, then stops it there; false when the
// run ended first.
bool StopOnceLocked(test_support::RunnerProcess& run, const std::string& kind) {
    const bool locked =
        test_support::WaitUntil([&] { return HoldsFileLock(run.pid(), kind) || run.Finished(); });
    if (!locked || run.Finished()) return false;
    kill(run.pid(), SIGSTOP);
    return true;
}

ProcessSettings Settings(const RunFixture& data, int mode, int items, const std::string& output,
                         const std::string& err) {
    ProcessSettings settings;
    settings.args = test_support::SampleArgs(data, mode, items, output);
    settings.errFile = err;
    return settings;
}

// A joint run holds its result file from opening to closing. Meanwhile a
// second run naming it as its result, and a third reading it as responses,
// are refused; the first run's result comes out whole.
TEST(SharedFiles, ResultFileOfARunningRunIsLeftToIt) {
    RunFixture data(2000, 40);
    data.WriteFiles();
    const std::string result = data.dir.File("result.csv");
    test_support::RunnerProcess first(Settings(data, 3, 40, result, data.dir.File("first.txt")));
    ASSERT_TRUE(StopOnceLocked(first, "WRITE")) << "the joint run ended before it was seen";

    const auto second =
        test_support::RunToEnd(Settings(data, 1, 40, result, ""), data.dir.File("second.txt"));
    EXPECT_EQ(second.status, 1);
    EXPECT_EQ(second.err,
              "ERROR Output file " + result + " cannot be written. (in use by another run)\n");

    ProcessSettings reader = Settings(data, 1, 40, data.dir.File("third.csv"), "");
    reader.args[1] = "--response-file=" + result;
    const auto third = test_support::RunToEnd(reader, data.dir.File("third.txt"));
    EXPECT_EQ(third.status, 1);
    EXPECT_EQ(third.err,
              "ERROR Response file " + result + " cannot be read. (in use by another run)\n");
    EXPECT_FALSE(std::filesystem::exists(data.dir.File("third.csv")));

    kill(first.pid(), SIGCONT);
    EXPECT_EQ(first.Wait(), 0);
    bool allCrLf = false;
    const auto lines = test_support::CrLfLines(test_support::ReadFile(result), &allCrLf);
    EXPECT_TRUE(allCrLf);
    ASSERT_EQ(lines.size(), 1u + 40 + 1 + 1 + 2000);
    EXPECT_EQ(lines[0].substr(0, 14), "SeqItem,AccNo,");
    EXPECT_EQ(lines[42], test_support::kPersonHeader);
    EXPECT_EQ(test_support::ReadFile(result).find('\0'), std::string::npos);
}

// The responses come through a named pipe, so the reading run holds its
// shared lock for as long as the test wants. A second run whose result names
// that pipe is refused, instead of writing its rows into the first run's
// input; the first run reads every examinee the test sends and no other.
TEST(SharedFiles, ResultNamingTheInputOfARunningRunIsRefused) {
    RunFixture data(300, 5);
    data.WriteFiles();
    const std::string responses = test_support::ReadFile(data.responseFile());
    const std::string pipe = data.dir.File("responses.pipe");
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    // Read and write, so that neither this open nor the run's blocks.
    const int feed = open(pipe.c_str(), O_RDWR | O_CLOEXEC);
    ASSERT_GE(feed, 0);

    ProcessSettings settings = Settings(data, 1, 5, data.dir.File("first.csv"), "");
    settings.args[1] = "--response-file=" + pipe;
    test_support::RunnerProcess first(settings);
    const std::size_t half = responses.find('\n', responses.size() / 2) + 1;
    ASSERT_EQ(write(feed, responses.data(), half), static_cast<ssize_t>(half));
    // Once the run has taken what the pipe holds, it has the pipe open.
    ASSERT_TRUE(test_support::WaitUntil([&] {
        int unread = 0;
        return ioctl(feed, FIONREAD, &unread) == 0 && unread == 0;
    }));

    const auto second =
        test_support::RunToEnd(Settings(data, 1, 5, pipe, ""), data.dir.File("second.txt"));
    EXPECT_EQ(second.status, 1);
    EXPECT_EQ(second.err,
              "ERROR Output file " + pipe + " cannot be written. (in use by another run)\n");

    const std::size_t rest = responses.size() - half;
    ASSERT_EQ(write(feed, responses.data() + half, rest), static_cast<ssize_t>(rest));
    close(feed);
    EXPECT_EQ(first.Wait(), 0);
    EXPECT_EQ(test_support::CrLfLines(data.Output("first.csv")).size(), 1u + 300);
}

// A link that another user left in a folder anyone may write to, such as
// /tmp, pointing at a file of the user who runs: the run refuses it.
TEST(SharedFiles, LinkPlantedInASharedFolderIsNotFollowed) {
    if (geteuid() != 0) GTEST_SKIP() << "planting a link as another user needs root";
    RunFixture data(20, 4);
    data.WriteFiles();
    const std::string own = data.dir.File("own.txt");
    test_support::WriteFile(own, "private\n");
    chmod(own.c_str(), 0600);
    const std::string shared = data.dir.File("shared");
    std::filesystem::create_directory(shared);
    chmod(shared.c_str(), 01777);
    const std::string link = shared + "/result.csv";
    std::filesystem::create_symlink(own, link);
    ASSERT_EQ(lchown(link.c_str(), 65534, 65534), 0);

    const auto run =
        test_support::RunToEnd(Settings(data, 1, 4, link, ""), data.dir.File("err.txt"));
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "ERROR Output file " + link + " cannot be written. (" + link +
                           ": a link of another user's in a shared folder is not followed)\n");
    EXPECT_EQ(test_support::ReadFile(own), "private\n");
}

}  // namespace
}  // namespace tarvo
