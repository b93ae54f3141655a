// Result files that cannot be written, through the real tarvo-run: each ends
// with its message and status 1, starts no viewer, and never harms an input.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "reliability/fake_viewer.h"
#include "reliability/fifo_reader.h"
#include "reliability/runner_process.h"
#include "reliability/sample_args.h"
#include "support/run_fixture.h"

namespace tarvo {
namespace {

using test_support::FakeViewer;
using test_support::ProcessSettings;
using test_support::RunFixture;

// Runs tarvo-run --view in mode 3 on data with the given output name.
test_support::RunnerResult RunWithViewer(const RunFixture& data, const FakeViewer& viewer,
                                         const std::string& output, bool asNobody = false) {
    ProcessSettings settings;
    settings.args = test_support::SampleArgs(data, 3, 4, output);
    settings.args.push_back("--view");
    settings.pathPrefix = viewer.binDir();
    settings.workingDir = data.dir.path().string();
    settings.asNobody = asNobody;
    return test_support::RunToEnd(settings, data.dir.File("stderr.txt"));
}

// A run that fails must start no viewer. The launch is detached, so absence
// is judged after a later good run's viewer has been seen, with some grace.
void ExpectNoViewerStarted(const RunFixture& data, const FakeViewer& viewer) {
    const auto control = RunWithViewer(data, viewer, "control.csv");
    ASSERT_EQ(control.status, 0) << control.err;
    ASSERT_TRUE(viewer.WaitForCalls(1));
    test_support::Pause(200);
    EXPECT_EQ(viewer.Calls(), std::vector<std::vector<std::string>>{{"control.csv"}});
    viewer.Forget();
}

TEST(FailingOutput, FullDiskIsReportedAndShowsNothing) {
    if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full on this system";
    RunFixture data(30, 4);
    data.WriteFiles();
    FakeViewer viewer;
    const auto run = RunWithViewer(data, viewer, "/dev/full");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "ERROR Output file /dev/full could not be written completely.\n");
    ExpectNoViewerStarted(data, viewer);
}

// A result file that is a pipe whose reader goes away: every later write
// fails, which must be reported like a full disk, not end the process.
TEST(FailingOutput, ReaderThatGoesAwayIsReportedLikeAFullDisk) {
    RunFixture data(10000, 20);
    data.WriteFiles();
    FakeViewer viewer;
    const std::string output = data.dir.File("result.csv");
    test_support::FifoReader result(output);
    ASSERT_TRUE(result.ok());
    ProcessSettings settings = test_support::SampleRun(data, 1, 20, output);
    settings.args.push_back("--view");
    settings.pathPrefix = viewer.binDir();
    test_support::RunnerProcess run(settings);
    ASSERT_TRUE(result.ReadLines(2, run));
    result.Close();
    EXPECT_EQ(run.Wait(), 1);
    EXPECT_EQ(test_support::ReadFile(settings.errFile),
              "ERROR Output file " + output + " could not be written completely.\n");
    ExpectNoViewerStarted(data, viewer);
}

// A relative name is resolved against the working folder; the message
// shows where that led and why it failed.
TEST(FailingOutput, MissingFolderEstimatesNothing) {
    RunFixture data(30, 4);
    data.WriteFiles();
    FakeViewer viewer;
    const std::string output = "no such folder/out.csv";
    const auto run = RunWithViewer(data, viewer, output);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "ERROR Output file " + output + " cannot be written. (" +
                           data.dir.File(output) + ": No such file or directory)\n");
    EXPECT_FALSE(std::filesystem::exists(data.dir.File("no such folder")));
    ExpectNoViewerStarted(data, viewer);
}

// As root every file is writable, so the run is made as user nobody, who can
// read the inputs but not write a file that is read-only to its owner.
TEST(FailingOutput, ReadOnlyFileIsLeftAsItWas) {
    RunFixture data(30, 4);
    data.WriteFiles();
    FakeViewer viewer;
    const std::string output = data.dir.File("read-only.csv");
    test_support::WriteFile(output, "earlier result\r\n");
    chmod(output.c_str(), 0444);
    const bool root = geteuid() == 0;
    if (root) {
        // nobody needs to reach the program and the inputs, and a folder of
        // its own to show that it can make a run at all.
        const std::string open = data.dir.File("open to all");
        std::filesystem::create_directory(open);
        chmod(open.c_str(), 0777);
        const auto probe = RunWithViewer(data, viewer, open + "/probe.csv", true);
        if (probe.status != 0) {
            GTEST_SKIP() << "running as root and user nobody cannot make a run here: " << probe.err;
        }
        ASSERT_TRUE(viewer.WaitForCalls(1));
        viewer.Forget();
    }
    const auto run = RunWithViewer(data, viewer, output, root);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "ERROR Output file " + output + " cannot be written. (" + output +
                           ": Permission denied)\n");
    EXPECT_EQ(test_support::ReadFile(output), "earlier result\r\n");
    ExpectNoViewerStarted(data, viewer);
}

TEST(FailingOutput, InputNamedAsOutputStaysByteForByte) {
    RunFixture data(30, 4);
    data.WriteFiles();
    FakeViewer viewer;
    const std::string responses = test_support::ReadFile(data.responseFile());
    const std::string items = test_support::ReadFile(data.itemFile());
    std::filesystem::create_hard_link(data.itemFile(), data.dir.File("hard link.itm"));
    std::filesystem::create_symlink(data.responseFile(), data.dir.File("soft link.dat"));
    const std::string names[] = {
        data.responseFile(),
        "responses.dat",  // relative to the working folder
        data.dir.File("./items.itm"),
        data.dir.File("hard link.itm"),
        "soft link.dat",
    };
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        const auto run = RunWithViewer(data, viewer, name);
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.err, "ERROR Output file " + name + " is an input file.\n");
        EXPECT_EQ(test_support::ReadFile(data.responseFile()), responses);
        EXPECT_EQ(test_support::ReadFile(data.itemFile()), items);
    }
    ExpectNoViewerStarted(data, viewer);
}

}  // namespace
}  // namespace tarvo
