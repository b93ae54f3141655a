// The runner's summary and JSON report as a user sees them: what goes to
// standard output and standard error, the report file, the exit status.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <nlohmann/json.hpp>

#include "support/run_fixture.h"

namespace tarvo {
namespace {

using test_support::RunFixture;

struct Ran {
    int status;
    std::string out, err;
};

Ran RunTool(const test_support::TempDir& dir, const std::string& args) {
    const std::string outFile = dir.File("stdout.txt"), errFile = dir.File("stderr.txt");
    const std::string command =
        std::string("'") + TARVO_RUN_PATH + "' " + args + " 2>'" + errFile + "' >'" + outFile + "'";
    const int raw = std::system(command.c_str());
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, test_support::ReadFile(outFile),
            test_support::ReadFile(errFile)};
}

std::string Layout(const RunFixture& data, int items) {
    return "--response-file '" + data.responseFile() + "' --item-count " + std::to_string(items) +
           " --response-start 20 --examinee-id-start 1 --examinee-id-length 8";
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t from = 0;
    for (std::size_t end; (end = text.find('\n', from)) != std::string::npos; from = end + 1) {
        lines.push_back(text.substr(from, end - from));
    }
    return lines;
}

TEST(RunnerReport, SummaryOnStandardOutputJsonOnRequestQuietSilences) {
    RunFixture data(200, 8, 3);
    data.WriteFiles();
    const std::string out = data.dir.File("result.csv"), json = data.dir.File("r.json");
    const std::string run = "--mode 3 " + Layout(data, 8) + " --output-file '" + out + "'";

    Ran r = RunTool(data.dir, run + " --report '" + json + "'");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    const auto lines = Lines(r.out);
    ASSERT_GE(lines.size(), 2u) << r.out;
    EXPECT_EQ(lines[0].rfind("Settled after ", 0), 0u) << lines[0];
    EXPECT_EQ(lines[1].rfind("Reliability: alpha (KR-20) ", 0), 0u);
    ASSERT_GE(lines.size(), 4u) << r.out;
    EXPECT_EQ(lines[2].rfind("Fit: ", 0), 0u) << lines[2];
    EXPECT_EQ(lines[3].rfind("Model fit: not defined.", 0), 0u) << lines[3];
    for (std::size_t k = 4; k < lines.size(); ++k) EXPECT_EQ(lines[k].rfind("WARNING ", 0), 0u);
    const std::string result = test_support::ReadFile(out);

    const auto document = nlohmann::json::parse(test_support::ReadFile(json));
    EXPECT_EQ(document["run"]["mode"], 3);
    // The settings as options that would run it again.
    EXPECT_EQ(document["job"]["options"]["mode"], "3");
    EXPECT_EQ(document["job"]["options"]["output-file"], out);
    EXPECT_EQ(document["run"]["result_file"], out);
    EXPECT_EQ(document["loop"]["end"], "settled");
    EXPECT_EQ(document["items"].size(), 8u);
    EXPECT_EQ(document["examinees"].size(), 200u);
    EXPECT_EQ(document["warnings"].size(), lines.size() - 4);

    r = RunTool(data.dir, run + " --quiet");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(test_support::ReadFile(out), result);
}

// A finding of the input check is printed once: among the summary's
// warnings, or with --quiet (no summary) on standard error as it is found.
TEST(RunnerReport, TheInputCheckIsPrintedOnceAndReportedInTheJson) {
    RunFixture data(60, 6, 4);
    data.WriteFiles();
    const std::string json = data.dir.File("r.json");
    const std::string run = "--mode 3 --response-file '" + data.responseFile() +
                            "' --item-count 6.4 --response-start 20 --examinee-id-start 1"
                            " --examinee-id-length 8 --output-file '" +
                            data.dir.File("result.csv") + "'";
    const std::string finding = "WARNING the item count '6.4' is read as 6";
    const auto count = [](const std::string& text, const std::string& part) {
        std::size_t n = 0;
        for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
        return n;
    };

    Ran r = RunTool(data.dir, run + " --report '" + json + "'");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(count(r.out, finding), 1u) << r.out;
    EXPECT_EQ(r.err, "");
    const auto document = nlohmann::json::parse(test_support::ReadFile(json));
    ASSERT_EQ(document["input_check"].size(), 1u);
    const auto& entry = document["input_check"][0];
    EXPECT_EQ(entry["code"], "number-box-read-otherwise");
    EXPECT_EQ(entry["count"], 1);
    EXPECT_EQ(entry["examples"], nlohmann::json::array({"6.4"}));
    EXPECT_EQ("WARNING " + entry["message"].get<std::string>() + "\n",
              r.out.substr(r.out.find(finding), entry["message"].get<std::string>().size() + 9));
    EXPECT_EQ(count(document["warnings"].dump(), "is read as 6"), 1u);

    r = RunTool(data.dir, run + " --quiet");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(count(r.err, finding), 1u) << r.err;
}

TEST(RunnerReport, ANotSettledRunWarnsAndStillSucceeds) {
    RunFixture data(200, 8, 3);
    data.WriteFiles();
    const Ran r = RunTool(data.dir, "--mode 3 --standardize no " + Layout(data, 8) +
                                        " --output-file '" + data.dir.File("r.csv") + "'");
    EXPECT_EQ(r.status, 0);
    const auto lines = Lines(r.out);
    ASSERT_GE(lines.size(), 5u) << r.out;
    EXPECT_EQ(lines[0].rfind("Not settled: stopped at the pass limit of 101 passes, last MSError "
                             "change ",
                             0),
              0u);
    // The summary's lines (reliability, fit), then the warnings, the run's own first.
    EXPECT_EQ(lines[4].rfind("WARNING The estimation did not settle", 0), 0u) << r.out;
}

TEST(RunnerReport, AReportThatIsTheResultByAnotherSpellingIsRefused) {
    RunFixture data(30, 4);
    data.WriteFiles();
    const std::string out = data.dir.File("o.csv");
    const std::string link = data.dir.File("link.json");
    std::filesystem::create_symlink(out, link);  // dangling until the run writes o.csv
    const std::string folder = std::filesystem::path(data.dir.File("")).parent_path().filename();
    struct Case {
        std::string report;
        int status;
    };
    for (const Case& c : {Case{data.dir.File("") + "/o.csv", 2},  // dir//o.csv
                          Case{data.dir.File("../" + folder + "/o.csv"), 2},
                          Case{std::filesystem::relative(out).string(), 2},
                          Case{link, 1}}) {  // found only by its identity, after the run
        std::filesystem::remove(out);
        const Ran r = RunTool(data.dir, "--mode 6 " + Layout(data, 4) + " --output-file '" + out +
                                            "' --report '" + c.report + "'");
        EXPECT_EQ(r.status, c.status) << c.report << ": " << r.err;
        EXPECT_NE(r.err.find("the result file"), std::string::npos) << r.err;
        if (c.status == 1) {
            EXPECT_EQ(test_support::ReadFile(out).rfind("SeqItem,AccNo,", 0), 0u) << c.report;
        } else {
            EXPECT_FALSE(std::filesystem::exists(out));
        }
    }
}

TEST(RunnerReport, AReportThatIsNoRegularFileIsRefusedWithoutWaiting) {
    RunFixture data(30, 4);
    data.WriteFiles();
    const std::string fifo = data.dir.File("report.fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::string out = data.dir.File("o.csv");
    // Nobody reads the FIFO: a blocking open would wait for ever.
    Ran r = RunTool(data.dir, "--mode 6 " + Layout(data, 4) + " --output-file '" + out +
                                  "' --report '" + fifo + "'");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "ERROR Report file " + fifo + " cannot be written: " + fifo +
                         ": not a regular file.\n");
    EXPECT_EQ(test_support::ReadFile(out).rfind("SeqItem,AccNo,", 0), 0u);
    r = RunTool(data.dir, "--mode 6 " + Layout(data, 4) + " --output-file '" + out +
                              "' --report '" + data.dir.File("") + "'");
    EXPECT_EQ(r.status, 1) << r.err;
    // A device is refused for what it is, before anything is done to it.
    r = RunTool(data.dir,
                "--mode 6 " + Layout(data, 4) + " --output-file '" + out + "' --report /dev/null");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err,
              "ERROR Report file /dev/null cannot be written: /dev/null: not a regular "
              "file.\n");
}

// Another user's file or link in a folder anyone may write to, such as
// /tmp: the report neither replaces the one nor follows the other.
TEST(RunnerReport, AnotherUsersFileOrLinkInASharedFolderIsNotWritten) {
    if (geteuid() != 0) GTEST_SKIP() << "planting a file as another user needs root";
    RunFixture data(30, 4);
    data.WriteFiles();
    const std::string own = data.dir.File("own.txt");
    test_support::WriteFile(own, "private\n");
    const std::string shared = data.dir.File("shared");
    std::filesystem::create_directory(shared);
    chmod(shared.c_str(), 01777);
    const std::string planted = shared + "/report.json";
    test_support::WriteFile(planted, "theirs\n");
    chmod(planted.c_str(), 0666);
    ASSERT_EQ(chown(planted.c_str(), 65534, 65534), 0);
    const std::string link = shared + "/link.json";
    std::filesystem::create_symlink(own, link);
    ASSERT_EQ(lchown(link.c_str(), 65534, 65534), 0);
    const std::string out = data.dir.File("o.csv");
    for (const auto& [report, reason] :
         {std::pair<std::string, std::string>{planted,
                                              "a file of another user's in a shared "
                                              "folder is not replaced"},
          {link, "a link of another user's in a shared folder is not followed"}}) {
        const Ran r = RunTool(data.dir, "--mode 6 " + Layout(data, 4) + " --output-file '" + out +
                                            "' --report '" + report + "'");
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, "ERROR Report file " + report + " cannot be written: " + report + ": " +
                             reason + ".\n");
    }
    EXPECT_EQ(test_support::ReadFile(planted), "theirs\n");
    EXPECT_EQ(test_support::ReadFile(own), "private\n");
}

TEST(RunnerReport, AResultOnStandardOutputGetsNoSummaryMixedIn) {
    RunFixture data(30, 4);
    data.WriteFiles();
    const Ran r = RunTool(data.dir, "--mode 6 " + Layout(data, 4) + " --output-file /dev/stdout");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.find("Settled"), std::string::npos);
    EXPECT_EQ(r.out.find("Reliability"), std::string::npos);
    EXPECT_EQ(r.out.rfind("SeqItem,AccNo,", 0), 0u);
    EXPECT_NE(r.err.find("Reliability: "), std::string::npos);
}

TEST(RunnerReport, AReportFileThatWouldOverwriteAnInputIsRefusedBeforeTheRun) {
    RunFixture data(30, 4);
    data.WriteFiles();
    const std::string responses = test_support::ReadFile(data.responseFile());
    const std::string out = data.dir.File("r.csv");
    Ran r = RunTool(data.dir, "--mode 6 " + Layout(data, 4) + " --output-file '" + out +
                                  "' --report '" + data.responseFile() + "'");
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "tarvo-run: --report " + data.responseFile() +
                         " names the response file (see tarvo-run --help)\n");
    EXPECT_EQ(test_support::ReadFile(data.responseFile()), responses);

    r = RunTool(data.dir, "--mode 6 " + Layout(data, 4) + " --output-file '" + out +
                              "' --report '" + out + "'");
    EXPECT_EQ(r.status, 2);

    // A report that cannot be written: named on standard error, status 1,
    // the result written all the same.
    r = RunTool(data.dir, "--mode 6 " + Layout(data, 4) + " --output-file '" + out +
                              "' --report '" + data.dir.File("no/such/dir.json") + "'");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(
        r.err.rfind(
            "ERROR Report file " + data.dir.File("no/such/dir.json") + " cannot be written: ", 0),
        0u);
    EXPECT_FALSE(test_support::ReadFile(out).empty());
}

TEST(RunnerReport, AMarginalRunSaysItsLikelihoodPriorsAndPopulation) {
    RunFixture data(400, 6, 5);
    data.WriteFiles();
    const std::string out = data.dir.File("result.csv"), json = data.dir.File("r.json");
    Ran r = RunTool(data.dir, "--mode 3 " + Layout(data, 6) + " --method mml --model 2pl" +
                                  " --output-file '" + out + "' --report '" + json + "'");
    ASSERT_EQ(r.status, 0) << r.err;
    // What the estimator did is in the summary, not on standard error.
    EXPECT_EQ(r.err, "");
    const auto lines = Lines(r.out);
    ASSERT_GE(lines.size(), 3u) << r.out;
    EXPECT_EQ(lines[0].rfind("Settled after ", 0), 0u) << lines[0];
    EXPECT_NE(lines[0].find(" EM cycles"), std::string::npos) << lines[0];
    EXPECT_EQ(lines[1].rfind("Marginal (2pl): log-likelihood -", 0), 0u) << lines[1];
    EXPECT_NE(lines[1].find("; priors: none."), std::string::npos) << lines[1];
    // The marginal likelihood judges the whole model.
    EXPECT_NE(r.out.find("\nModel fit: -2LL "), std::string::npos) << r.out;

    const auto document = nlohmann::json::parse(test_support::ReadFile(json));
    EXPECT_EQ(document["program"].get<std::string>().rfind("TARVO ", 0), 0u);
    EXPECT_EQ(document["job"]["options"]["model"], "2pl");
    EXPECT_EQ(document["input_files"]["response_file"], data.responseFile());
    const auto& loop = document["loop"];
    EXPECT_EQ(loop["step"], "em_cycle");
    EXPECT_EQ(loop["log_likelihood"].size(), loop["passes"].get<std::size_t>());
    EXPECT_EQ(loop["largest_change"].size(), loop["passes"].get<std::size_t>());
    // The 2PL's c is not a parameter: no item is reported as not estimated.
    for (const auto& item : document["items"]) {
        for (const auto& flag : item["flags"]) EXPECT_NE(flag, "not_estimated") << item["seq"];
    }

    // Held items with the population estimated: its mean and SD, with
    // their standard errors, in the summary and the JSON.
    r = RunTool(data.dir, "--mode 3 " + Layout(data, 6) + " --item-file '" + data.itemFile() +
                              "' --a-start 22 --a-length 9 --b-start 32 --b-length 9 --c-start 42"
                              " --c-length 9 --method mml --fix-items --estimate-population"
                              " --output-file '" +
                              out + "' --report '" + json + "'");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("Population: mean "), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("(SE n/a)"), std::string::npos) << r.out;
    const auto population =
        nlohmann::json::parse(test_support::ReadFile(json))["mml"]["population"];
    EXPECT_TRUE(population["estimated"].get<bool>());
    EXPECT_GT(population["se_mean"].get<double>(), 0);
    EXPECT_GT(population["se_sd"].get<double>(), 0);
}

TEST(RunnerReport, ARunThatEndedAtACheckReportsNullsTheNamesAndTheMessage) {
    RunFixture data(30, 4);
    data.WriteFiles();
    const std::string json = data.dir.File("r.json"), out = data.dir.File("r.csv");
    const std::string gone = data.dir.File("gone.dat");
    const Ran r = RunTool(data.dir, "--mode 3 --response-file '" + gone + "' --output-file '" +
                                        out + "' --report '" + json + "'");
    EXPECT_EQ(r.status, 1);
    const auto document = nlohmann::json::parse(test_support::ReadFile(json));
    EXPECT_EQ(document["run"]["end"], "ended_at_check");
    EXPECT_TRUE(document["reliability"]["alpha_kr20"].is_null());
    EXPECT_TRUE(document["reliability"]["empirical"].is_null());
    EXPECT_EQ(document["run"]["result_file"], out);
    EXPECT_EQ(document["run"]["error"], "ERROR Response file " + gone + " does not exists.");
    EXPECT_EQ(document["input_files"]["response_file"], gone);
}

}  // namespace
}  // namespace tarvo
