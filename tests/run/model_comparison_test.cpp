// The model comparison of a marginal run: every listed model fitted on the
// same data by maximum likelihood, the likelihood-ratio tests between
// neighbours, the run's own result untouched, and a Stop that costs only
// the comparison.
#include <gtest/gtest.h>

#include <cstdio>
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
    // c = 0 is on c's bound: the 2PL against the 3PL is conservative, the
    // Rasch model against the 2PL is not.
    EXPECT_TRUE(tests[0]["caution"].is_null());
    EXPECT_NE(tests[1]["caution"].get<std::string>().find("conservative"), std::string::npos);

    const std::string summary = report::SummaryText(report);
    EXPECT_NE(summary.find("Model comparison on the same data"), std::string::npos) << summary;
    EXPECT_NE(summary.find("12.19"), std::string::npos) << summary;  // rasch against 2pl
    EXPECT_NE(summary.find("(conservative)"), std::string::npos) << summary;
    EXPECT_NE(summary.find("2pl against 3pl: c = 0 lies on the boundary"), std::string::npos)
        << summary;
}

// Any prior that acted makes the run's likelihood a penalised one, so its
// own model is fitted again: the c prior alone in a 3PL run, the b prior in
// a 2PL run.
TEST(ModelComparison, ARunWhosePriorActedIsFittedAgain) {
    Lsat7Run lsat;
    MarginalSettings cOnly = SettingsFor(MarginalModel::ThreePL);
    cOnly.priorLogA.on = false;
    MarginalSettings bOnly = SettingsFor(MarginalModel::TwoPL);
    bOnly.priorB.on = true;
    for (const MarginalSettings& settings : {cOnly, bOnly}) {
        SCOPED_TRACE(std::string(ModelName(settings.model)));
        RunRequest request =
            test_support::MarginalRequestOf(lsat.host.texts, lsat.host.mode, settings);
        request.compareModels = {MarginalModel::OnePL, settings.model};
        RunReport report;
        ASSERT_EQ(RunCalibration(request, lsat.host, &report), RunEnd::Finished);
        const Json models = Section(report, "model_comparison")["models"];
        ASSERT_EQ(models.size(), 2u);
        EXPECT_EQ(models[1]["run_model"], false);
        // Refitted without priors: above the penalised run's likelihood.
        EXPECT_LT(models[1]["minus_2_log_likelihood"].get<double>(),
                  -2 * report.logLikelihood + 1e-3);
        EXPECT_TRUE(Section(report, "model_fit")["penalised"].get<bool>());
    }
}

// The compared models take the run's population: held items and an
// estimated population count the population's mean and SD in every row.
TEST(ModelComparison, ComparedModelsTakeTheRunsPopulation) {
    Lsat7Run lsat;
    RunReport free;
    ASSERT_EQ(lsat.Run(MarginalModel::TwoPL, {}, free), RunEnd::Finished);
    std::string items;
    for (int i = 0; i < 5; ++i) {
        char line[80];
        std::snprintf(line, sizeof line, "ITEM%04d             %9.4f %9.4f %9.4f", i + 1,
                      free.itemRows[i].a, free.itemRows[i].b, 0.0);
        items += (i < 3 ? std::string(line) : std::string()) + "\r\n";
    }
    const std::string itemFile = lsat.dir.Write("held.itm", items);
    lsat.host.texts =
        sim::SampleControlTexts(5, lsat.dir.File("lsat7.dat"), itemFile, lsat.dir.File("out.csv"));
    MarginalSettings settings = SettingsFor(MarginalModel::TwoPL);
    settings.fixItems = true;
    settings.estimatePopulation = true;
    RunRequest request = test_support::MarginalRequestOf(lsat.host.texts, lsat.host.mode, settings);
    request.compareModels = {MarginalModel::OnePL, MarginalModel::TwoPL};
    RunReport report;
    ASSERT_EQ(RunCalibration(request, lsat.host, &report), RunEnd::Finished);
    ASSERT_TRUE(report.population.estimated);
    const Json models = Section(report, "model_comparison")["models"];
    ASSERT_EQ(models.size(), 2u);
    // Items 4 and 5 free: the 1PL's two b and the 2PL's two a and two b,
    // each with the population's mean and SD.
    EXPECT_EQ(models[0]["parameters"], 2 + 2);
    EXPECT_EQ(models[1]["parameters"], 4 + 2);
    EXPECT_EQ(models[1]["run_model"], true);
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
