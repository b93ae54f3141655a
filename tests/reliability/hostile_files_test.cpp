// Input files that exist but cannot be read, and lines without an end,
// through real tarvo-run processes: an unreadable input is reported like a
// missing one, never passed off as an empty one, and a line of any length
// costs only the columns of its fields.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "reliability/runner_process.h"
#include "reliability/sample_args.h"
#include "support/run_fixture.h"
#include "support/sanitized.h"

namespace tarvo {
namespace {

using test_support::ProcessSettings;
using test_support::RunFixture;

// The runner's last line when a mode that takes its items from the item
// parameter file ran without them.
const std::string kNoItems =
    "ERROR No item parameters were read: every estimate uses a = b = c = 0.\n";

ProcessSettings Settings(const RunFixture& data, int mode, const std::string& responses,
                         const std::string& items, const std::string& output) {
    ProcessSettings settings;
    settings.args = test_support::SampleArgs(data, mode, 4, output);
    settings.args[1] = "--response-file=" + responses;
    settings.args[2] = "--item-file=" + items;
    return settings;
}

// A folder can be named as either input by anyone, root included.
TEST(HostileFiles, FolderNamedAsAnInputIsReported) {
    RunFixture data(30, 4);
    data.WriteFiles();
    const std::string folder = data.dir.File("a folder");
    std::filesystem::create_directory(folder);

    // Without responses the run ends at the check and writes nothing.
    const auto noResponses = test_support::RunToEnd(
        Settings(data, 1, folder, data.itemFile(), data.dir.File("none.csv")),
        data.dir.File("err1.txt"));
    EXPECT_EQ(noResponses.status, 1);
    EXPECT_EQ(noResponses.err, "ERROR Response file " + folder + " cannot be read.\n");
    EXPECT_FALSE(std::filesystem::exists(data.dir.File("none.csv")));

    // Without item parameters the run goes on as if none were named, and
    // says that its estimates use none.
    const auto noItems = test_support::RunToEnd(
        Settings(data, 1, data.responseFile(), folder, data.dir.File("folder.csv")),
        data.dir.File("err2.txt"));
    EXPECT_EQ(noItems.status, 1);
    EXPECT_EQ(noItems.err, "ERROR: Param file " + folder + " cannot be read.\n" + kNoItems);
    const auto missing =
        test_support::RunToEnd(Settings(data, 1, data.responseFile(), data.dir.File("missing.itm"),
                                        data.dir.File("missing.csv")),
                               data.dir.File("err3.txt"));
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(data.Output("folder.csv"), data.Output("missing.csv"));
}

// As root every file can be read, so the run is made as user nobody, who can
// reach the folder but not read a file that only its owner may read.
TEST(HostileFiles, FileWithoutReadPermissionIsReported) {
    RunFixture data(30, 4);
    data.WriteFiles();
    const std::string open = data.dir.File("open to all");
    std::filesystem::create_directory(open);
    chmod(open.c_str(), 0777);
    chmod(data.dir.path().c_str(), 0755);
    const bool root = geteuid() == 0;
    auto run = [&](const std::string& responses, const std::string& items,
                   const std::string& name) {
        ProcessSettings settings = Settings(data, 1, responses, items, open + "/" + name);
        settings.asNobody = root;
        return test_support::RunToEnd(settings, data.dir.File(name + ".err"));
    };
    if (root && run(data.responseFile(), data.itemFile(), "probe.csv").status != 0) {
        GTEST_SKIP() << "running as root and user nobody cannot make a run here";
    }

    const std::string locked = data.dir.File("locked.dat");
    std::filesystem::copy_file(data.responseFile(), locked);
    chmod(locked.c_str(), 0200);
    const auto noResponses = run(locked, data.itemFile(), "none.csv");
    EXPECT_EQ(noResponses.status, 1);
    EXPECT_EQ(noResponses.err, "ERROR Response file " + locked + " cannot be read.\n");
    EXPECT_FALSE(std::filesystem::exists(open + "/none.csv"));

    const auto noItems = run(data.responseFile(), locked, "items.csv");
    EXPECT_EQ(noItems.status, 1);
    EXPECT_EQ(noItems.err, "ERROR: Param file " + locked + " cannot be read.\n" + kNoItems);
    EXPECT_EQ(test_support::CrLfLines(test_support::ReadFile(open + "/items.csv")).size(), 31u);
}

// A response file of 384 MB of zero bytes, one line without an end, read by
// a process that may not use more than 256 MB: the one record is read from
// the columns of its fields, the rest of the line is passed over.
TEST(HostileFiles, LineWithoutEndKeepsMemoryBounded) {
#ifdef TARVO_SANITIZED
    GTEST_SKIP() << "a sanitizer reserves more address space than the cap allows";
#else
    RunFixture data(0, 4);
    data.WriteFiles();
    const std::string zeros = data.dir.File("zeros.dat");
    test_support::WriteFile(zeros, "");
    ASSERT_EQ(truncate(zeros.c_str(), off_t{384} << 20), 0);
    ProcessSettings settings =
        Settings(data, 1, zeros, data.itemFile(), data.dir.File("zeros.csv"));
    settings.addressSpace = rlim_t{256} << 20;
    settings.args.emplace_back("--quiet");  // the input check's findings on standard error
    const auto run = test_support::RunToEnd(settings, data.dir.File("err.txt"));
    EXPECT_EQ(run.status, 0) << run.err;
    // Only the input check's warnings: NUL bytes are no responses.
    EXPECT_EQ(run.err.rfind("WARNING ", 0), 0u) << run.err;
    EXPECT_EQ(run.err.find("\nERROR"), std::string::npos) << run.err;
    const auto lines = test_support::CrLfLines(data.Output("zeros.csv"));
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[1].substr(0, 20), std::string("    1,     \0\0\0\0\0\0\0\0,", 20));
#endif
}

}  // namespace
}  // namespace tarvo
