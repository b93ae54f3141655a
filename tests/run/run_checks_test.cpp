// The checks that end a run before or after estimation, and the promise
// behind them: no input is ever overwritten and no failure looks like success.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "support/run_fixture.h"
#include "support/run_request.h"

namespace tarvo {
namespace {

using test_support::RunClassic;

using test_support::RunFixture;

TEST(RunChecks, MissingResponseFileEndsTheRunBeforeAnyOutput) {
    RunFixture data(20, 4);
    data.WriteFiles();
    auto host = data.Host(2);
    host.texts[control::kResponseFile] = data.dir.File("nothing here.dat");
    EXPECT_EQ(RunClassic(host), RunEnd::EndedAtCheck);
    EXPECT_EQ(host.messages,
              std::vector<std::string>{"ERROR Response file " + data.dir.File("nothing here.dat") +
                                       " does not exists."});
    EXPECT_FALSE(std::filesystem::exists(data.dir.File("out.csv")));
    EXPECT_TRUE(host.calls.empty());
    EXPECT_TRUE(host.viewed.empty());
}

TEST(RunChecks, MissingItemParameterFileIsReportedAndTheRunGoesOn) {
    RunFixture data(20, 4);
    data.WriteFiles();
    auto host = data.Host(1);
    host.texts[control::kItemParameterFile] = "  " + data.dir.File("none.itm") + " ";
    EXPECT_EQ(RunClassic(host), RunEnd::Finished);
    EXPECT_EQ(host.messages,
              std::vector<std::string>{"ERROR: Param file " + data.dir.File("none.itm") +
                                       " does not exists."});
    EXPECT_EQ(test_support::CrLfLines(data.Output()).size(), 21u);
}

// The message names the file as typed, then the full path it resolved to
// and the system's reason.
TEST(RunChecks, OutputThatCannotBeOpenedEstimatesNothing) {
    RunFixture data(20, 4);
    data.WriteFiles();
    const std::string folder = data.dir.path().string();
    const std::string here = std::filesystem::current_path().string();
    const struct {
        std::string name;
        std::string reason;
    } cases[] = {
        {"", "no file name given"},
        {folder + "/no/such/folder/out.csv",
         folder + "/no/such/folder/out.csv: No such file or directory"},
        {folder, folder + ": Is a directory"},
        {"no such folder/out.csv", here + "/no such folder/out.csv: No such file or directory"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto host = data.Host(3);
        host.texts[control::kOutputFile] = c.name;
        EXPECT_EQ(RunClassic(host), RunEnd::EndedAtCheck);
        EXPECT_EQ(host.messages,
                  std::vector<std::string>{"ERROR Output file " + c.name + " cannot be written. (" +
                                           c.reason + ")"});
        EXPECT_TRUE(host.calls.empty());
        EXPECT_TRUE(host.questions.empty());
        EXPECT_TRUE(host.viewed.empty());
    }
}

TEST(RunChecks, ResponseFileThatCannotBeReadEndsTheRunBeforeAnyOutput) {
    RunFixture data(20, 4);
    data.WriteFiles();
    auto host = data.Host(1);
    host.texts[control::kResponseFile] = data.dir.path().string();
    EXPECT_EQ(RunClassic(host), RunEnd::EndedAtCheck);
    EXPECT_EQ(host.messages,
              std::vector<std::string>{"ERROR Response file " + data.dir.path().string() +
                                       " cannot be read."});
    EXPECT_FALSE(std::filesystem::exists(data.dir.File("out.csv")));
    EXPECT_TRUE(host.calls.empty());
    EXPECT_TRUE(host.viewed.empty());
}

TEST(RunChecks, OutputNamingAnInputFileLeavesTheInputIntact) {
    RunFixture data(20, 4);
    data.WriteFiles();
    const std::string responsesBefore = test_support::ReadFile(data.responseFile());
    const std::string itemsBefore = test_support::ReadFile(data.itemFile());
    std::filesystem::create_symlink(data.itemFile(), data.dir.File("link.itm"));
    const std::string spellings[] = {
        data.responseFile(),
        (data.dir.path() / "." / "responses.dat").string(),
        data.dir.File("link.itm"),
    };
    for (const std::string& name : spellings) {
        SCOPED_TRACE(name);
        auto host = data.Host(1);
        host.texts[control::kOutputFile] = name;
        EXPECT_EQ(RunClassic(host), RunEnd::EndedAtCheck);
        EXPECT_EQ(host.messages,
                  std::vector<std::string>{"ERROR Output file " + name + " is an input file."});
        EXPECT_TRUE(host.viewed.empty());
    }
    EXPECT_EQ(test_support::ReadFile(data.responseFile()), responsesBefore);
    EXPECT_EQ(test_support::ReadFile(data.itemFile()), itemsBefore);
}

TEST(RunChecks, FailedWritesAreReportedAndNothingIsShown) {
    if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full on this system";
    RunFixture data(20, 4);
    data.WriteFiles();
    auto host = data.Host(3);
    host.texts[control::kOutputFile] = "/dev/full";
    EXPECT_EQ(RunClassic(host), RunEnd::OutputIncomplete);
    EXPECT_EQ(host.messages, std::vector<std::string>{
                                 "ERROR Output file /dev/full could not be written completely."});
    EXPECT_TRUE(host.viewed.empty());
}

// A stop asked for while an input waits for its writer (a FIFO that never
// delivers) ends the run there, as a stopped run without a result file.
TEST(RunChecks, AStopWhileAnInputIsReadEndsTheRunWithoutAResult) {
    const struct {
        int control;
        const char* format;  // the response file's, read first when delimited or auto
    } cases[] = {{control::kItemParameterFile, ""},
                 {control::kResponseFile, ""},
                 {control::kResponseFile, "csv"},
                 {control::kResponseFile, "auto"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.control) + " " + c.format);
        RunFixture data(20, 4);
        data.WriteFiles();
        auto host = data.Host(1);
        const std::string fifo = data.dir.File("input.fifo");
        ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
        host.texts[c.control] = fifo;
        if (*c.format != 0) host.texts[control::kResponseFormat] = c.format;
        host.stopAtPoll = 3;  // after two waits of a tenth of a second
        RunReport report;
        EXPECT_EQ(RunClassic(host, &report), RunEnd::Stopped);
        EXPECT_EQ(host.stopLines,
                  std::vector<std::string>{
                      "the run was stopped while its input files were read; no result file "
                      "was written."});
        EXPECT_TRUE(host.messages.empty());
        EXPECT_FALSE(std::filesystem::exists(data.dir.File("out.csv")));
        EXPECT_TRUE(host.viewed.empty());
        EXPECT_EQ(report.end, RunEnd::Stopped);
        EXPECT_TRUE(report.itemRows.empty());
    }
}

}  // namespace
}  // namespace tarvo
