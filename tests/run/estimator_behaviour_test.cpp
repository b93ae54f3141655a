// What every estimator must do the same way, run against each of them: a
// stop, a result that cannot be written, a result another run holds, the
// progress window's calls, and the report's parts. A new estimator gets its
// row in Estimators() and meets the same expectations.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <nlohmann/json.hpp>
#include <string>

#include "platform/control_ids.h"
#include "report/report_json.h"
#include "support/run_fixture.h"
#include "support/run_request.h"

namespace tarvo {
namespace {

using test_support::CrLfLines;
using test_support::RunFixture;
using test_support::ScriptedHost;

constexpr int kPersons = 240;
constexpr int kItems = 6;

struct EstimatorCase {
    const char* name;
    int mode;
    Method method;
    MarginalModel model;
    // The words the Stopped line uses for a step of the estimator's loop.
    const char* step;
    PolytomousModel polytomous = PolytomousModel::None;
};

std::vector<EstimatorCase> Estimators() {
    return {
        {"classic_joint", 3, Method::Classic, MarginalModel::ThreePL, "pass "},
        {"marginal_3pl", 3, Method::Marginal, MarginalModel::ThreePL, "EM cycle "},
        {"marginal_2pl", 3, Method::Marginal, MarginalModel::TwoPL, "EM cycle "},
        // Without a key every item is scored by its digit: the 0/1 items
        // are right/wrong items of the polytomous estimator.
        {"polytomous", 3, Method::Marginal, MarginalModel::TwoPL, "EM cycle ",
         PolytomousModel::Grm},
    };
}

class EstimatorBehaviour : public ::testing::TestWithParam<EstimatorCase> {
  protected:
    EstimatorBehaviour() : data(kPersons, kItems, 11) { data.WriteFiles(29); }

    RunRequest Request(const ScriptedHost& host) const {
        RunRequest request = test_support::RequestOf(host.texts, host.mode, 2);
        request.method = GetParam().method;
        request.marginal = SettingsFor(GetParam().model);
        request.marginal.polytomous = GetParam().polytomous;
        return request;
    }

    RunEnd Run(ScriptedHost& host, RunReport* report = nullptr) {
        return RunCalibration(Request(host), host, report);
    }

    RunFixture data;
};

TEST_P(EstimatorBehaviour, AStopLeavesWholeTablesAndTheStoppedLine) {
    ScriptedHost host = data.Host(GetParam().mode);
    host.stopAtPoll = 2;
    RunReport report;
    EXPECT_EQ(Run(host, &report), RunEnd::Stopped);
    ASSERT_EQ(host.stopLines.size(), 1u);
    const std::string& line = host.stopLines[0];
    EXPECT_EQ(line.rfind("the result holds the ", 0), 0u) << line;
    EXPECT_NE(line.find(GetParam().step), std::string::npos) << line;
    EXPECT_EQ(report.end, RunEnd::Stopped);
    EXPECT_EQ(report.stopLine, line);
    EXPECT_EQ(report.loop.end, LoopEnd::Stopped);
    bool crlf = false;
    EXPECT_EQ(CrLfLines(data.Output(), &crlf).size(), 1u + kItems + 1 + 1 + kPersons);
    EXPECT_TRUE(crlf);
    EXPECT_EQ(host.viewed.size(), 1u);
    // No warning blames the data for what the stop left undone.
    for (const std::string& warning : report.warnings) {
        EXPECT_EQ(warning.find("could not be estimated"), std::string::npos) << warning;
    }
}

TEST_P(EstimatorBehaviour, AResultThatCannotBeWrittenEndsIncomplete) {
    ScriptedHost host = data.Host(GetParam().mode);
    host.texts[control::kOutputFile] = "/dev/full";
    RunReport report;
    EXPECT_EQ(Run(host, &report), RunEnd::OutputIncomplete);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0], "ERROR Output file /dev/full could not be written completely.");
    EXPECT_EQ(report.error, host.messages[0]);
    EXPECT_TRUE(host.viewed.empty());
}

TEST_P(EstimatorBehaviour, AResultAnotherRunHoldsIsRefusedBeforeEstimating) {
    const std::string output = data.dir.File("out.csv");
    test_support::WriteFile(output, "held\r\n");
    const int other = ::open(output.c_str(), O_RDONLY);
    ASSERT_GE(other, 0);
    ASSERT_EQ(::flock(other, LOCK_EX), 0);
    ScriptedHost host = data.Host(GetParam().mode);
    EXPECT_EQ(Run(host), RunEnd::EndedAtCheck);
    ::close(other);
    EXPECT_EQ(host.messages, std::vector<std::string>{"ERROR Output file " + output +
                                                      " cannot be written. (in use by another "
                                                      "run)"});
    EXPECT_TRUE(host.ProgressTexts().empty());
    EXPECT_EQ(test_support::ReadFile(output), "held\r\n");
}

TEST_P(EstimatorBehaviour, ProgressOpensOnceClimbsAndShuts) {
    ScriptedHost host = data.Host(GetParam().mode);
    EXPECT_EQ(Run(host), RunEnd::Finished);
    ASSERT_FALSE(host.calls.empty());
    EXPECT_EQ(host.calls.front().rfind("init:", 0), 0u);
    EXPECT_EQ(host.calls.back(), "shutdown");
    int inits = 0, last = 0;
    for (const std::string& call : host.calls) {
        inits += call.rfind("init:", 0) == 0 ? 1 : 0;
        if (call.rfind("set:", 0) != 0) continue;
        const int percent = std::stoi(call.substr(4));
        EXPECT_GE(percent, last) << call;
        EXPECT_LE(percent, 100) << call;
        last = percent;
    }
    EXPECT_EQ(inits, 1);
}

TEST_P(EstimatorBehaviour, TheReportHasEveryPartAndTheLoopsTrace) {
    ScriptedHost host = data.Host(GetParam().mode);
    RunReport report;
    ASSERT_EQ(Run(host, &report), RunEnd::Finished);
    const auto document = nlohmann::json::parse(report::ReportJson(report));
    for (const char* key : {"schema_version", "program", "job", "input_files", "run", "loop",
                            "reliability", "warnings", "items", "examinees"}) {
        EXPECT_TRUE(document.contains(key)) << key;
    }
    if (GetParam().polytomous != PolytomousModel::None) {
        // A polytomous run has its category statistics and every fit
        // statistic by the items' own models.
        EXPECT_EQ(document["polytomous"]["items"].size(), std::size_t{kItems});
        EXPECT_TRUE(document["items"][0]["polytomous"].contains("category_counts"));
        EXPECT_TRUE(document["items"][0]["fit"].contains("s_x2"));
        EXPECT_TRUE(document["items"][0]["fit"].contains("model"));
        EXPECT_TRUE(document["items"][0]["fit"].contains("infit"));
        EXPECT_TRUE(document["examinees"][0]["fit"].contains("lz"));
        EXPECT_TRUE(document["model_fit"]["defined"].get<bool>());
    } else {
        for (const char* key : {"fit", "local_dependence", "model_fit"}) {
            EXPECT_TRUE(document.contains(key)) << key;
        }
        // Every row has its fit, and only a marginal run its model's fit.
        EXPECT_TRUE(document["items"][0]["fit"].contains("s_x2"));
        EXPECT_TRUE(document["examinees"][0]["fit"].contains("lz"));
        EXPECT_EQ(document["model_fit"]["defined"].get<bool>(),
                  GetParam().method == Method::Marginal);
    }
    EXPECT_EQ(document["items"].size(), std::size_t{kItems});
    EXPECT_EQ(document["examinees"].size(), std::size_t{kPersons});
    EXPECT_EQ(document["input_files"]["response_file"], data.responseFile());
    const auto& loop = document["loop"];
    const std::size_t passes = loop["passes"].get<std::size_t>();
    EXPECT_GT(passes, 1u);
    if (GetParam().method == Method::Marginal) {
        EXPECT_EQ(loop["log_likelihood"].size(), passes);
        EXPECT_EQ(loop["largest_change"].size(), passes);
        EXPECT_EQ(document["mml"]["priors"].size(), report.priors.size());
    } else {
        EXPECT_EQ(loop["ms_error"].size(), passes);
    }
    EXPECT_GT(report.wallSeconds, 0);
}

INSTANTIATE_TEST_SUITE_P(EveryEstimator, EstimatorBehaviour, ::testing::ValuesIn(Estimators()),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tarvo
