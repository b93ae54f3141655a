// The model comparison of a marginal run: every listed model fitted on the
// same data by maximum likelihood, the likelihood-ratio tests between
// neighbours, the run's own result untouched, and a Stop that costs only
// the comparison.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "report/report_json.h"
#include "report/report_summary.h"
#include "sample_layout.h"
#include "support/lsat_data.h"
#include "support/run_request.h"
#include "support/temp_dir.h"

namespace tarvo {
namespace {

using Json = nlohmann::json;
using test_support::Lsat;

struct Lsat7Run {
    test_support::TempDir dir;
    test_support::ScriptedHost host;
    Lsat7Run() {
        const std::string responses =
            dir.Write("lsat7.dat", test_support::LsatResponseFile(Lsat::Section7));
        host.texts = sim::SampleControlTexts(5, responses, "", dir.File("out.csv"));
        host.mode = 3;
    }
    RunEnd Run(MarginalModel model, std::vector<MarginalModel> compare, RunReport& report) {
        RunRequest request =
            test_support::MarginalRequestOf(host.texts, host.mode, SettingsFor(model));
        request.compareModels = std::move(compare);
        return RunCalibration(request, host, &report);
    }
    std::string Result() { return test_support::ReadFile(dir.File("out.csv")); }
};

Json Section(const RunReport& report, const char* key) {
    return Json::parse(report::ReportJson(report))[key];
}

const std::vector<MarginalModel> kRaschTo3PL{MarginalModel::Rasch, MarginalModel::TwoPL,
                                             MarginalModel::ThreePL};

TEST(ModelComparison, LsatSevenHasThePublishedLikelihoodsAndTheRunKeepsItsResult) {
    Lsat7Run lsat;
    RunReport plain;
    ASSERT_EQ(lsat.Run(MarginalModel::ThreePL, {}, plain), RunEnd::Finished);
    const std::string alone = lsat.Result();
    EXPECT_TRUE(Section(plain, "model_comparison").is_null());

    RunReport report;
    ASSERT_EQ(lsat.Run(MarginalModel::ThreePL, kRaschTo3PL, report), RunEnd::Finished);
    EXPECT_EQ(lsat.Result(), alone);  // the run's own 3PL, with its priors
    const Json comparison = Section(report, "model_comparison");
    const Json& models = comparison["models"];
    ASSERT_EQ(models.size(), 3u);
    // Log-likelihoods of LSAT7 by MML-EM (tools/peers/real_peers.R, in
    // shared/data/real/lsat7_peers.txt): mirt 1.40 Rasch -2664.9009 and 2PL
    // -2658.8051, OpenMx 2.21.1 3PL -2658.0544, all without priors.
    const double published[] = {-2664.9009, -2658.8051, -2658.0544};
    const char* names[] = {"rasch", "2pl", "3pl"};
    const int parameters[] = {6, 10, 15};
    for (int k = 0; k < 3; ++k) {
        SCOPED_TRACE(names[k]);
        EXPECT_EQ(models[k]["model"], names[k]);
        EXPECT_NEAR(models[k]["minus_2_log_likelihood"].get<double>(), -2 * published[k], 0.01);
        EXPECT_EQ(models[k]["parameters"], parameters[k]);
        // The 3PL ran with priors, so it is fitted again without them.
        EXPECT_EQ(models[k]["run_model"], false);
        EXPECT_EQ(models[k]["em_end"], "settled");
    }
    const Json& tests = comparison["tests"];
    ASSERT_EQ(tests.size(), 2u);
    EXPECT_EQ(tests[0]["smaller"], "rasch");
    EXPECT_EQ(tests[0]["df"], 4);
    EXPECT_NEAR(tests[0]["chi_square"].get<double>(), 2 * (2664.9009 - 2658.8051), 0.02);
    EXPECT_EQ(tests[1]["df"], 5);
    EXPECT_GT(tests[1]["p"].get<double>(), 0.5);  // the guessing adds nothing here

    const std::string summary = report::SummaryText(report);
    EXPECT_NE(summary.find("Model comparison on the same data"), std::string::npos) << summary;
    EXPECT_NE(summary.find("12.19"), std::string::npos) << summary;  // rasch against 2pl
}

TEST(ModelComparison, ARunWithoutPriorsIsItsOwnRowAndAStopCostsOnlyTheComparison) {
    Lsat7Run lsat;
    RunReport alone;
    ASSERT_EQ(lsat.Run(MarginalModel::TwoPL, {}, alone), RunEnd::Finished);
    const int pollsOfTheRun = lsat.host.polls;
    const std::string result = lsat.Result();

    RunReport report;
    lsat.host.polls = 0;
    ASSERT_EQ(lsat.Run(MarginalModel::TwoPL, {MarginalModel::OnePL, MarginalModel::TwoPL}, report),
              RunEnd::Finished);
    Json models = Section(report, "model_comparison")["models"];
    EXPECT_EQ(models[1]["run_model"], true);
    EXPECT_EQ(models[1]["minus_2_log_likelihood"],
              Section(alone, "model_fit")["minus_2_log_likelihood"]);

    // Stop asked for after the run's own estimation: the run is whole, the
    // 3PL's row says why it has no numbers, and its test is not defined.
    lsat.host.polls = 0;
    lsat.host.stopAtPoll = pollsOfTheRun + 1;
    ASSERT_EQ(lsat.Run(MarginalModel::TwoPL, kRaschTo3PL, report), RunEnd::Finished);
    EXPECT_EQ(lsat.Result(), result);
    const Json comparison = Section(report, "model_comparison");
    models = comparison["models"];
    EXPECT_EQ(models[1]["run_model"], true);
    EXPECT_EQ(models[2]["defined"], false);
    EXPECT_EQ(models[2]["em_end"], "stopped");
    EXPECT_TRUE(models[2]["minus_2_log_likelihood"].is_null());
    EXPECT_TRUE(comparison["tests"][1]["p"].is_null());
    EXPECT_FALSE(comparison["tests"][1]["note"].is_null());
}

}  // namespace
}  // namespace tarvo
