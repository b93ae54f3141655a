// tarvo-run --view hands the result's name to the viewer as one argument,
// without a shell: no character of the name can run a command or split it.
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>

#include "reliability/fake_viewer.h"
#include "reliability/runner_process.h"
#include "reliability/sample_args.h"
#include "support/run_fixture.h"

namespace tarvo {
namespace {

using test_support::FakeViewer;
using test_support::ProcessSettings;
using test_support::RunFixture;

TEST(ViewerLaunch, NameArrivesAsOneUnchangedArgument) {
    RunFixture data(12, 3);
    data.WriteFiles();
    FakeViewer viewer;
    const std::string names[] = {
        "result with blanks.csv",
        "  leading and trailing blanks  ",
        "quote\"d 'name'.csv",
        "semi;colon; touch injected.csv",
        "$(touch injected).csv",
        "`touch injected`.csv",
        "pipe | touch injected & name.csv",
        "-leading-dash.csv",
        "--view",
        "star * and ? glob.csv",
        "new\nline.csv",
    };
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        viewer.Forget();
        ProcessSettings settings;
        settings.args = test_support::SampleArgs(data, 1, 3, name);
        settings.args.push_back("--view");
        settings.workingDir = data.dir.path().string();
        settings.pathPrefix = viewer.binDir();
        const auto run = test_support::RunToEnd(settings, data.dir.File("stderr.txt"));
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_TRUE(std::filesystem::exists(data.dir.path() / name));

        ASSERT_TRUE(viewer.WaitForCalls(1));
        EXPECT_EQ(viewer.Calls(), std::vector<std::vector<std::string>>{{name}});
        EXPECT_FALSE(std::filesystem::exists(data.dir.File("injected")));
        EXPECT_FALSE(std::filesystem::exists(data.dir.File("injected.csv")));
    }
}

// The runner ignores SIGPIPE and SIGXFSZ for its own writes; the viewer must
// not inherit that.
TEST(ViewerLaunch, ViewerStartsWithNoSignalIgnored) {
    RunFixture data(12, 3);
    data.WriteFiles();
    FakeViewer viewer;
    ProcessSettings settings;
    settings.args = test_support::SampleArgs(data, 1, 3, data.dir.File("out.csv"));
    settings.args.push_back("--view");
    settings.pathPrefix = viewer.binDir();
    const auto run = test_support::RunToEnd(settings, data.dir.File("stderr.txt"));
    ASSERT_EQ(run.status, 0) << run.err;
    ASSERT_TRUE(viewer.WaitForCalls(1));
    ASSERT_EQ(viewer.IgnoredSignals().size(), 1u);
    EXPECT_EQ(viewer.IgnoredSignals()[0] & (1ull << (SIGPIPE - 1)), 0u);
    EXPECT_EQ(viewer.IgnoredSignals()[0] & (1ull << (SIGXFSZ - 1)), 0u);
}

}  // namespace
}  // namespace tarvo
