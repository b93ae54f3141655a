// The run report of whole runs: how the joint loop ended, the rows of the
// row-by-row paths, every ending, and a result file that does not change.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <sstream>
#include <thread>

#include "platform/control_ids.h"
#include "report/report_json.h"
#include "support/run_fixture.h"
#include "support/run_request.h"

namespace tarvo {
namespace {

using test_support::RunClassic;

using test_support::CrLfLines;
using test_support::RunFixture;
using test_support::ScriptedHost;

// The number of the last "Iteration N" the run announced; 0 for none.
int LastAnnouncedPass(const ScriptedHost& host) {
    int last = 0;
    for (const std::string& text : host.ProgressTexts()) {
        const auto at = text.find(":Iteration ");
        if (at != std::string::npos) last = std::atoi(text.c_str() + at + 11);
    }
    return last;
}

std::vector<double> CsvNumbers(const std::string& row) {
    std::vector<double> numbers;
    std::stringstream in(row);
    for (std::string field; std::getline(in, field, ',');) {
        numbers.push_back(std::strtod(field.c_str(), nullptr));
    }
    return numbers;
}

TEST(RunReportLoop, PassCountAndEndingAgreeWithTheProgressTexts) {
    struct Case {
        int persons, items, mode;
        bool standardise;
        std::uint64_t seed;
        LoopEnd end;
    };
    const Case cases[] = {
        {200, 8, 6, true, 3, LoopEnd::Settled},    {200, 8, 3, true, 3, LoopEnd::Settled},
        {200, 8, 3, false, 3, LoopEnd::PassLimit}, {120, 5, 5, false, 11, LoopEnd::PassLimit},
        {300, 10, 6, false, 5, LoopEnd::Settled},
    };
    for (const Case& c : cases) {
        RunFixture data(c.persons, c.items, c.seed);
        data.WriteFiles();
        ScriptedHost host = data.Host(c.mode);
        host.answerYes = c.standardise;
        RunReport report;
        ASSERT_EQ(RunClassic(host, &report), RunEnd::Finished);
        SCOPED_TRACE(std::to_string(c.mode) + " " + std::to_string(c.seed));
        const LoopRecord& loop = report.loop;
        EXPECT_EQ(loop.passes, LastAnnouncedPass(host));
        EXPECT_EQ(loop.msError.size(), static_cast<std::size_t>(loop.passes));
        ASSERT_GE(loop.msError.size(), 2u);
        EXPECT_EQ(loop.lastChange, std::fabs(loop.msError.back() - loop.msError.end()[-2]));
        ASSERT_EQ(loop.end, c.end);
        if (loop.end == LoopEnd::Settled) {
            EXPECT_GE(loop.passes, 5);
            EXPECT_LT(loop.lastChange, 1e-10);
            EXPECT_LT(loop.passes, 101);
        } else {
            EXPECT_EQ(loop.passes, 101);
            EXPECT_GE(loop.lastChange, 1e-10);
            EXPECT_EQ(report.warnings.at(0).rfind("The estimation did not settle", 0), 0u);
        }
        EXPECT_EQ(report.standardized, c.standardise);
        EXPECT_EQ(std::isnan(report.thetaSpread), !c.standardise);
    }
}

TEST(RunReportLoop, AStopMidPassIsReportedWithThePassBegun) {
    RunFixture data(2500, 5);
    data.WriteFiles();
    // Polls: pass 1 has two; pass 2 polls after examinees 1000 and 2000.
    for (int stopAt : {1, 2, 3, 5}) {
        SCOPED_TRACE(stopAt);
        ScriptedHost host = data.Host(3);
        host.stopAtPoll = stopAt;
        RunReport report;
        EXPECT_EQ(RunClassic(host, &report), RunEnd::Stopped);
        EXPECT_EQ(report.end, RunEnd::Stopped);
        EXPECT_EQ(report.loop.end, LoopEnd::Stopped);
        EXPECT_EQ(report.loop.passes, LastAnnouncedPass(host));
        // An item pass finished before the stop counts in the history.
        EXPECT_EQ(report.loop.msError.size(), stopAt == 1 ? 0u : 1u);
        EXPECT_EQ(report.personRows.size(), 2500u);
    }
}

// The estimates in the report are those of the result file, and a run cut
// short by Stop reports only the rows it wrote.
TEST(RunReportRows, RowByRowPathsReportWhatTheyWrote) {
    RunFixture data(40, 6);
    data.WriteFiles(9);
    for (int stopAt : {0, 11}) {  // theta-only: whole, and stopped after 10 examinees
        ScriptedHost host = data.Host(1);
        host.stopAtPoll = stopAt;
        RunReport report;
        RunClassic(host, &report);
        const auto lines = CrLfLines(data.Output());
        ASSERT_EQ(report.personRows.size(), lines.size() - 1);
        for (std::size_t j = 0; j < report.personRows.size(); ++j) {
            const auto numbers = CsvNumbers(lines[j + 1]);  // seq, id, Nvalid, theta, se
            EXPECT_NEAR(report.personRows[j].theta, numbers[3], 0.5e-4);
            EXPECT_NEAR(report.personRows[j].seetheta, numbers[4], 0.5e-4);
            EXPECT_EQ(report.personRows[j].nvalid, static_cast<int>(numbers[2]));
        }
        EXPECT_EQ(report.itemRows.size(), 6u);  // given items: all of them
        EXPECT_EQ(report.end, stopAt ? RunEnd::Stopped : RunEnd::Finished);
    }
    for (int stopAt : {0, 4}) {  // items-only: whole, and stopped after item 3
        ScriptedHost host = data.Host(2);
        host.stopAtPoll = stopAt;
        RunReport report;
        RunClassic(host, &report);
        const auto lines = CrLfLines(data.Output());
        ASSERT_EQ(report.itemRows.size(), lines.size() - 1);
        for (std::size_t i = 0; i < report.itemRows.size(); ++i) {
            // seq, id, Nobs, a, b, c, se..., printed with three decimals
            const auto numbers = CsvNumbers(lines[i + 1]);
            const ItemReport& item = report.itemRows[i];
            EXPECT_EQ(item.nobs, static_cast<int>(numbers[2]));
            EXPECT_NEAR(item.a, numbers[3], 0.5e-3);
            EXPECT_NEAR(item.b, numbers[4], 0.5e-3);
            EXPECT_NEAR(item.c, numbers[5], 0.5e-3);
            EXPECT_NEAR(item.seeb, numbers[7], 0.5e-3);
        }
        EXPECT_EQ(report.personRows.size(), 40u);  // given abilities: all of them
        EXPECT_TRUE(std::isnan(report.empiricalReliability));
    }
}

TEST(RunReportEnds, EveryEndingIsReportedAsFarAsTheRunGot) {
    RunFixture data(30, 4);
    data.WriteFiles(5);

    ScriptedHost missing = data.Host(3);
    missing.texts[control::kResponseFile] = data.dir.File("gone.dat");
    RunReport report;
    EXPECT_EQ(RunClassic(missing, &report, 2, {Arithmetic::Reference}), RunEnd::EndedAtCheck);
    EXPECT_EQ(report.end, RunEnd::EndedAtCheck);
    EXPECT_EQ(report.examinees, 0u);
    EXPECT_EQ(report.path, "joint");
    EXPECT_EQ(report.arithmetic, "reference");
    EXPECT_EQ(report.threads, 2u);

    // Read, but the result would overwrite an input: counted, not judged.
    ScriptedHost clash = data.Host(6);
    clash.texts[control::kOutputFile] = data.responseFile();
    report = RunReport{};
    EXPECT_EQ(RunClassic(clash, &report), RunEnd::EndedAtCheck);
    EXPECT_EQ(report.examinees, 30u);
    EXPECT_EQ(report.items, 4u);
    EXPECT_EQ(report.missingResponses, 24u);  // every fifth of 120 responses
    EXPECT_DOUBLE_EQ(report.missingShare, 0.2);
    EXPECT_TRUE(report.itemRows.empty());
    EXPECT_EQ(report.loop.end, LoopEnd::NotRun);

    // A result that could not be written whole: the estimates are still
    // reported, with the ending.
    if (std::filesystem::exists("/dev/full")) {
        ScriptedHost full = data.Host(3);
        full.texts[control::kOutputFile] = "/dev/full";
        report = RunReport{};
        EXPECT_EQ(RunClassic(full, &report), RunEnd::OutputIncomplete);
        EXPECT_EQ(report.end, RunEnd::OutputIncomplete);
        EXPECT_EQ(report.personRows.size(), 30u);
        EXPECT_NE(report.loop.end, LoopEnd::NotRun);
    }

    ScriptedHost fine = data.Host(6);
    report = RunReport{};
    EXPECT_EQ(RunClassic(fine, &report), RunEnd::Finished);
    EXPECT_EQ(report.resultFile, data.dir.File("out.csv"));
    EXPECT_EQ(report.model, "1pl");
    EXPECT_EQ(report.rawScoreOrderInversions, 0);
    EXPECT_GT(report.wallSeconds, 0);
}

// The report only reads: every mode writes the same bytes with and without
// it, standardised or not.
TEST(RunReportResult, TheResultFileIsTheSameWithAndWithoutAReport) {
    RunFixture data(150, 7);
    data.WriteFiles(11);
    for (int mode = 1; mode <= 8; ++mode) {
        for (bool standardise : {true, false}) {
            for (const char* name : {"out.csv", "out.txt"}) {
                SCOPED_TRACE(std::to_string(mode) + name + (standardise ? " yes" : " no"));
                ScriptedHost plain = data.Host(mode, name);
                plain.answerYes = standardise;
                RunClassic(plain);
                const std::string without = data.Output(name);
                ScriptedHost reported = data.Host(mode, name);
                reported.answerYes = standardise;
                RunReport report;
                RunClassic(reported, &report);
                EXPECT_EQ(data.Output(name), without);
                EXPECT_EQ(reported.calls, plain.calls);
                EXPECT_FALSE(without.empty());
            }
        }
    }
}

}  // namespace
}  // namespace tarvo

namespace tarvo {
namespace {

// A user who takes a while to answer the standardise question.
class SlowAnswerHost : public test_support::ScriptedHost {
  public:
    using ScriptedHost::ScriptedHost;
    bool AskYesNo(const std::string& text, const std::string& title) override {
        std::this_thread::sleep_for(std::chrono::milliseconds(400));
        return ScriptedHost::AskYesNo(text, title);
    }
};

TEST(RunReportTime, TheRunIsTimedWithoutTheQuestionsWait) {
    test_support::RunFixture data(30, 4);
    data.WriteFiles();
    SlowAnswerHost host;
    static_cast<test_support::ScriptedHost&>(host) = data.Host(3);
    RunReport report;
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(test_support::RunClassic(host, &report), RunEnd::Finished);
    const double whole =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    ASSERT_EQ(host.questions.size(), 1u);
    EXPECT_GT(report.wallSeconds, 0);
    // Whatever the machine's speed: the run's time is the whole less the wait.
    EXPECT_LT(report.wallSeconds, whole - 0.35);
}

// An answer in the request is the answer: the question is not asked, and a
// later question of the run would not take it.
TEST(RunReportTime, AnAnswerInTheRequestAsksNothing) {
    test_support::RunFixture data(30, 4);
    data.WriteFiles();
    for (const bool standardize : {false, true}) {
        test_support::ScriptedHost host = data.Host(3);
        host.answerYes = !standardize;  // the host would answer otherwise
        RunRequest request = test_support::RequestOf(host.texts, 3);
        request.standardize = standardize;
        RunReport report;
        ASSERT_EQ(RunCalibration(request, host, &report), RunEnd::Finished);
        EXPECT_TRUE(host.questions.empty());
        EXPECT_EQ(report.standardized, standardize);
    }
}

// The marginal estimator's errors above 400 items leave out the terms
// between items: the report says so in its warnings and its JSON; at 40
// items they are the whole information's and nothing is said.
TEST(RunReportErrors, ApproximateItemErrorsAreSaid) {
    for (const int items : {40, 401}) {
        SCOPED_TRACE(std::to_string(items) + " items");
        RunFixture data(200, items);
        data.WriteFiles();
        ScriptedHost host = data.Host(3);
        host.texts.erase(control::kItemParameterFile);
        RunReport report;
        ASSERT_EQ(test_support::RunMarginal(host, SettingsFor(MarginalModel::TwoPL), &report),
                  RunEnd::Finished);
        const bool blocks = items > 400;
        EXPECT_EQ(report.errorForm, blocks ? ErrorForm::ItemBlocks : ErrorForm::Whole);
        bool said = false;
        for (const std::string& warning : report.warnings) {
            said = said || warning.find("standard errors are approximate") != std::string::npos;
        }
        EXPECT_EQ(said, blocks);
        const nlohmann::json json = nlohmann::json::parse(report::ReportJson(report));
        EXPECT_EQ(json.at("mml").at("standard_errors"),
                  blocks ? "item_blocks" : "whole_information");
    }
}

// The errors' method the user chose is said: the cross-products' errors
// are called approximate (on these data, which a 2PL does not fit, they
// stay within a factor of two of the observed information's); with none
// every item's errors are -1, which flags no item as not estimated.
TEST(RunReportErrors, TheChosenErrorMethodIsSaid) {
    RunFixture data(1000, 30);
    data.WriteFiles();
    const auto run = [&](StandardErrorMethod method) {
        ScriptedHost host = data.Host(3);
        host.texts.erase(control::kItemParameterFile);
        MarginalSettings settings = SettingsFor(MarginalModel::TwoPL);
        settings.standardErrors = method;
        RunReport report;
        EXPECT_EQ(test_support::RunMarginal(host, settings, &report), RunEnd::Finished);
        return report;
    };
    const auto said = [](const RunReport& report, const char* words) {
        for (const std::string& warning : report.warnings) {
            if (warning.find(words) != std::string::npos) return true;
        }
        return false;
    };
    const RunReport louis = run(StandardErrorMethod::Louis);
    const RunReport products = run(StandardErrorMethod::CrossProduct);
    const RunReport none = run(StandardErrorMethod::None);
    EXPECT_EQ(products.errorForm, ErrorForm::CrossProduct);
    EXPECT_TRUE(said(products, "approximate"));
    EXPECT_EQ(nlohmann::json::parse(report::ReportJson(products)).at("mml").at("standard_errors"),
              "cross_product");
    EXPECT_EQ(none.errorForm, ErrorForm::NotFormed);
    EXPECT_TRUE(said(none, "No standard errors were formed"));
    EXPECT_EQ(nlohmann::json::parse(report::ReportJson(none)).at("mml").at("standard_errors"),
              "none");
    ASSERT_EQ(louis.itemRows.size(), 30u);
    ASSERT_EQ(products.itemRows.size(), 30u);
    ASSERT_EQ(none.itemRows.size(), 30u);
    for (std::size_t i = 0; i < 30; ++i) {
        SCOPED_TRACE("item " + std::to_string(i + 1));
        EXPECT_EQ(products.itemRows[i].a, louis.itemRows[i].a) << "the same estimates";
        EXPECT_NEAR(products.itemRows[i].seea / louis.itemRows[i].seea, 1.0, 0.5);
        EXPECT_NEAR(products.itemRows[i].seeb / louis.itemRows[i].seeb, 1.0, 0.7);
        EXPECT_EQ(none.itemRows[i].seea, -1);
        EXPECT_EQ(none.itemRows[i].seeb, -1);
        EXPECT_EQ(none.itemRows[i].flags & kItemNotEstimated, 0u);
    }
}

}  // namespace
}  // namespace tarvo
