// The runner as a user starts it: a real process, its exit status and what
// it prints.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <nlohmann/json.hpp>

#include "support/run_fixture.h"

namespace tarvo {
namespace {

using test_support::RunFixture;

struct Finished {
    int status;
    std::string err;
};

Finished RunRunner(const test_support::TempDir& dir, const std::string& args) {
    const std::string errFile = dir.File("stderr.txt");
    const std::string command =
        std::string("'") + TARVO_RUN_PATH + "' " + args + " 2>'" + errFile + "' >/dev/null";
    const int raw = std::system(command.c_str());
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, test_support::ReadFile(errFile)};
}

std::string SampleLayout(const RunFixture& data) {
    return "--response-file '" + data.responseFile() + "' --item-file '" + data.itemFile() +
           "' --item-count 6 --response-start 20 --examinee-id-start 1 --examinee-id-length 8"
           " --theta-start 12 --theta-length 7 --item-id-start 1 --item-id-length 8"
           " --a-start 22 --a-length 9 --b-start 32 --b-length 9 --c-start 42 --c-length 9";
}

TEST(Runner, ExitStatusSaysHowTheRunEnded) {
    RunFixture data(40, 6);
    data.WriteFiles();
    const std::string out = data.dir.File("result.csv");

    auto r = RunRunner(data.dir, "--mode 3 " + SampleLayout(data) + " --output-file '" + out + "'");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(test_support::CrLfLines(test_support::ReadFile(out)).size(), 1u + 6 + 1 + 1 + 40);

    r = RunRunner(data.dir, "--mode 1 --response-file '" + data.dir.File("gone.dat") +
                                "' --output-file '" + out + "'");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "ERROR Response file " + data.dir.File("gone.dat") + " does not exists.\n");

    r = RunRunner(data.dir, "--mode 2 " + SampleLayout(data) + " --output-file '" +
                                data.responseFile() + "'");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "ERROR Output file " + data.responseFile() + " is an input file.\n");

    r = RunRunner(data.dir, "--mode 9");
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err,
              "tarvo-run: The mode (--mode) must be a whole number from 1 to 8, not '9'. (see "
              "tarvo-run --help)\n");

    // Without any argument there is nothing to run: the usage, and status 2.
    r = RunRunner(data.dir, "");
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err.rfind("Usage: tarvo-run [OPTION]...\n", 0), 0u) << r.err;

    // Estimating the population without held items has no scale to keep.
    r = RunRunner(data.dir, "--mode 3 " + SampleLayout(data) + " --method mml " +
                                "--estimate-population --output-file '" + out + "'");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("(--estimate-population) needs items held"), std::string::npos) << r.err;
}

TEST(Runner, ARunWithNothingToEstimateWritesItsResultAndSaysWhy) {
    RunFixture data(40, 6);
    data.WriteFiles();
    const std::string out = data.dir.File("result.csv");
    // An item count the rules read as 0: no item, so no examinee either.
    // Without a summary (--quiet) the input check's findings are printed as
    // they are found.
    auto r = RunRunner(data.dir, "--mode 3 " + SampleLayout(data) + " --item-count abc" +
                                     " --quiet --output-file '" + out + "'");
    EXPECT_EQ(r.status, 1);
    // The input check has said what to change before the run ends.
    const std::string ending =
        "ERROR Nothing was estimated: the run has no items: the item count is 0, "
        "so no response is read.\n";
    ASSERT_GE(r.err.size(), ending.size());
    EXPECT_EQ(r.err.substr(r.err.size() - ending.size()), ending) << r.err;
    EXPECT_EQ(r.err.rfind("WARNING the item count 'abc' is read as 0", 0), 0u) << r.err;
    EXPECT_EQ(test_support::CrLfLines(test_support::ReadFile(out)).size(), 3u);

    // A response field that holds no response in any record.
    r = RunRunner(data.dir, "--mode 3 " + SampleLayout(data) + " --response-start 200" +
                                " --output-file '" + out + "'");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "ERROR Nothing was estimated: the response file " + data.responseFile() +
                         " has no examinee with a response in columns 200 to 205.\n");
}

TEST(Runner, AModeThatTakesItsItemsFromAFileThatIsNotReadEndsWithStatusOne) {
    RunFixture data(40, 6);
    data.WriteFiles();
    const std::string out = data.dir.File("result.csv");
    const std::string json = data.dir.File("report.json");
    const std::string gone = data.dir.File("gone.itm");
    const std::string folder = data.dir.File("folder.itm");
    std::filesystem::create_directory(folder);
    const std::string warning = "No item parameters were read: every estimate uses a = b = c = 0.";
    struct Case {
        const char* mode;
        std::string itemFile;
        std::size_t lines;  // the result as the rules give it
    };
    for (const Case& c : {Case{"1", gone, 1u + 40}, Case{"5", folder, 1u + 6 + 1 + 1 + 40},
                          Case{"7", gone, 1u + 40}}) {
        std::string layout = SampleLayout(data);
        layout.replace(layout.find(data.itemFile()), data.itemFile().size(), c.itemFile);
        const auto r =
            RunRunner(data.dir, "--mode " + std::string(c.mode) + " " + layout +
                                    " --output-file '" + out + "' --report '" + json + "'");
        EXPECT_EQ(r.status, 1) << "mode " << c.mode << ": " << r.err;
        EXPECT_EQ(r.err.rfind("ERROR: Param file " + c.itemFile, 0), 0u) << r.err;
        EXPECT_NE(r.err.find("ERROR " + warning + "\n"), std::string::npos) << r.err;
        EXPECT_EQ(test_support::CrLfLines(test_support::ReadFile(out)).size(), c.lines)
            << "mode " << c.mode;
        const auto report = nlohmann::json::parse(test_support::ReadFile(json));
        EXPECT_EQ(report["run"]["end"], "finished");
        ASSERT_FALSE(report["warnings"].empty());
        EXPECT_EQ(report["warnings"][0].get<std::string>().rfind(warning, 0), 0u);
    }
    // A mode that reads no item parameter file loses nothing without one.
    std::string layout = SampleLayout(data);
    layout.replace(layout.find(data.itemFile()), data.itemFile().size(), gone);
    const auto r = RunRunner(data.dir, "--mode 3 " + layout + " --output-file '" + out + "'");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err.find(warning), std::string::npos) << r.err;
}

TEST(Runner, AJobFileRunsTheSameRunAsItsOptions) {
    RunFixture data(60, 6);
    data.WriteFiles();
    const std::string job = data.dir.File("job.json");
    const std::string byOptions = data.dir.File("options.csv");
    const std::string byJob = data.dir.File("job.csv");
    const std::string marginal =
        "--mode 3 " + SampleLayout(data) + " --method mml --model 2pl --quadrature 21";
    // --save-job writes the settings and runs nothing.
    auto r =
        RunRunner(data.dir, marginal + " --output-file '" + byJob + "' --save-job '" + job + "'");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_FALSE(std::filesystem::exists(byJob));
    ASSERT_EQ(RunRunner(data.dir, marginal + " --output-file '" + byOptions + "'").status, 0);
    r = RunRunner(data.dir, "--job '" + job + "'");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(test_support::ReadFile(byJob), test_support::ReadFile(byOptions));
    // An option beside the job file wins: the classic estimator this time.
    r = RunRunner(data.dir, "--job '" + job + "' --method jml --output-file '" + byOptions + "'");
    EXPECT_EQ(r.status, 2) << "the job's marginal options need --method mml";
    EXPECT_NE(r.err.find("need the marginal method"), std::string::npos) << r.err;
}

// The score table beside the result, carried by a job file like any
// option; a table that cannot be written fails the run (status 1) though
// the result is whole.
TEST(Runner, AScoreTableIsWrittenBesideTheResultAndItsFailureIsTheRunsFailure) {
    RunFixture data(40, 6);
    data.WriteFiles();
    const std::string out = data.dir.File("result.csv");
    const std::string scores = data.dir.File("scores.csv");
    const std::string job = data.dir.File("job.json");
    const std::string run = "--mode 3 " + SampleLayout(data) + " --output-file '" + out + "'";
    auto r = RunRunner(data.dir, run + " --score-table '" + scores +
                                     "' --population-points 21 --save-job '" + job + "'");
    ASSERT_EQ(r.status, 0) << r.err;
    r = RunRunner(data.dir, "--job '" + job + "'");
    ASSERT_EQ(r.status, 0) << r.err;
    const auto lines = test_support::CrLfLines(test_support::ReadFile(scores));
    ASSERT_EQ(lines.size(), 1u + 7);
    EXPECT_EQ(lines[0], "score,proportion,eap,eap_sd,ml");

    const std::string unwritable = data.dir.File("gone/scores.csv");
    r = RunRunner(data.dir, run + " --score-table '" + unwritable + "'");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("ERROR The score table file " + unwritable + " could not be written"),
              std::string::npos)
        << r.err;
    EXPECT_EQ(test_support::CrLfLines(test_support::ReadFile(out)).size(), 1u + 6 + 1 + 1 + 40);
}

int RunQuietly(const std::string& args) {
    const int raw = std::system(
        (std::string("'") + TARVO_RUN_PATH + "' " + args + " >/dev/null 2>/dev/null").c_str());
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

TEST(Runner, ClassicResultUnchangedByMethodJml) {
    RunFixture data(120, 6);
    data.WriteFiles();
    for (const char* mode : {"1", "3", "5"}) {
        const std::string plain = data.dir.File("plain.csv");
        const std::string classic = data.dir.File("classic.csv");
        const std::string common = "--mode " + std::string(mode) + " " + SampleLayout(data);
        ASSERT_EQ(RunQuietly(common + " --output-file '" + plain + "'"), 0);
        ASSERT_EQ(RunQuietly(common + " --method jml --output-file '" + classic + "'"), 0);
        EXPECT_EQ(test_support::ReadFile(plain), test_support::ReadFile(classic))
            << "mode " << mode;
        EXPECT_FALSE(test_support::ReadFile(plain).empty());
    }
}

}  // namespace
}  // namespace tarvo
