// Whole runs of several groups calibrated together (--groups), through the
// one parser and the run: the same maximum, group means and SDs as
// OpenMx's multiple-group fit on public questionnaire items and on
// simulated data, the report's groups section, and the refusals.
#include <gtest/gtest.h>

#include <cmath>
#include <nlohmann/json.hpp>
#include <string>
#include <utility>
#include <vector>

#include "report/run_report.h"
#include "request/option_table.h"
#include "request/request_parser.h"
#include "run/calibration_run.h"
#include "support/scripted_host.h"
#include "support/temp_dir.h"

namespace tarvo {
namespace {

using test_support::ScriptedHost;
using Options = std::vector<std::pair<std::string, std::string>>;

std::string DataFile(const char* name) {
    return std::string(TARVO_SOURCE_DIR) + "/tests/data/groups/" + name;
}

// ID in columns 1-8, the group in column 10, responses from column 20.
Options GroupLayout(const std::string& responses, int items, const std::string& output) {
    return {{"response-file", responses},
            {"item-count", std::to_string(items)},
            {"response-start", "20"},
            {"examinee-id-start", "1"},
            {"examinee-id-length", "8"},
            {"group-start", "10"},
            {"group-length", "1"},
            {"output-file", output},
            {"method", "mml"},
            {"groups", "yes"}};
}

struct Finished {
    RunEnd end = RunEnd::Finished;
    RunReport report;
    ScriptedHost host;
    std::string refusal;
};

Finished RunWith(const Options& options) {
    request::RequestTexts texts;
    for (const auto& [name, value] : options) {
        EXPECT_EQ(request::ApplyOption(name, value, texts), "") << name;
    }
    const request::RequestCheck check = request::ParseRequest(texts);
    Finished run;
    if (!check.request) {
        run.refusal = check.message;
        return run;
    }
    run.end = RunCalibration(*check.request, run.host, &run.report);
    return run;
}

nlohmann::json GroupsOf(const RunReport& report) {
    for (const ReportSection& section : report.sections) {
        if (section.key == "group_calibration") return nlohmann::json::parse(section.json);
    }
    ADD_FAILURE() << "no group_calibration section";
    return nlohmann::json::object();
}

// A focal group's values as OpenMx gives them.
struct Reference {
    double logLikelihood;
    double mean, seMean, sd, seSd;
};

// OpenMx 2.21.1 (bench/reference/openmx_multigroup.R): the groups joined by
// mxFitFunctionMultigroup, one mxExpectationBA81 per group with 61 points on
// [-6, 6], items equal by labels, the reference N(0, 1), the focal mean and
// variance free; mxComputeGradientDescent, errors from the numerical
// Hessian (the SD's by the delta method). The log-likelihood, then the
// focal group's mean, its error, SD and its error.
constexpr Reference kSimGrm{-38017.018139, 0.441279, 0.044128, 1.136213, 0.039387};
constexpr Reference kSpiGrm{-58466.967768, -0.540884, 0.035500, 1.055734, 0.028072};
constexpr Reference kSpi2pl{-20609.974695, -0.560545, 0.036396, 0.941540, 0.034518};

void ExpectLikeOpenMx(const nlohmann::json& groups, const Reference& openmx) {
    ASSERT_TRUE(groups.contains("groups"));
    EXPECT_NEAR(groups["log_likelihood"].get<double>(), openmx.logLikelihood, 0.01);
    const nlohmann::json& focal = groups["groups"][1];
    EXPECT_NEAR(focal["mean"].get<double>(), openmx.mean, 2e-3);
    EXPECT_NEAR(focal["sd"].get<double>(), openmx.sd, 2e-3);
    EXPECT_NEAR(focal["se_mean"].get<double>(), openmx.seMean, 0.05 * openmx.seMean);
    EXPECT_NEAR(focal["se_sd"].get<double>(), openmx.seSd, 0.05 * openmx.seSd);
    EXPECT_EQ(groups["group_errors"], "observed_information");
}

// The values above: the questionnaire's 10 neuroticism items (scores 0..5;
// for the 2PL taken as 1 from 3 on, the two reverse-keyed items, 8 and 10,
// the other way, which leaves the likelihood as it is), groups by sex.
TEST(GroupsRun, SpiNeuroticismItemsReachOpenMxsMaximumUnderTheGradedModel) {
    test_support::TempDir dir;
    Options options = GroupLayout(DataFile("spi_neuro10.dat"), 10, dir.File("grm.csv"));
    options.emplace_back("model", "grm");
    const Finished run = RunWith(options);
    ASSERT_EQ(run.refusal, "");
    ASSERT_EQ(run.end, RunEnd::Finished);
    const nlohmann::json groups = GroupsOf(run.report);
    ExpectLikeOpenMx(groups, kSpiGrm);
    // The file's first group is the reference; its blank group fields are
    // left out and counted.
    EXPECT_EQ(groups["groups"][0]["label"], "F");
    EXPECT_EQ(groups["groups"][0]["examinees"], 2348);
    EXPECT_EQ(groups["groups"][1]["label"], "M");
    EXPECT_EQ(groups["groups"][1]["examinees"], 1598);
    EXPECT_EQ(groups["examinees_without_group"], 54);
    EXPECT_EQ(groups["groups"][0]["se_mean"], nullptr);
    // 10 items of 6 categories: a slope and 5 thresholds each, and the
    // focal group's mean and SD.
    EXPECT_EQ(groups["parameters"], 62);
    const double minus2 = groups["minus_2ll"].get<double>();
    EXPECT_NEAR(groups["aic"].get<double>(), minus2 + 2 * 62, 1e-6);
    EXPECT_NEAR(groups["bic"].get<double>(), minus2 + 62 * std::log(2348.0 + 1598.0), 1e-6);
    for (const nlohmann::json& group : groups["groups"]) {
        EXPECT_GT(group["alpha"].get<double>(), 0.7);
        EXPECT_GT(group["empirical_reliability"].get<double>(), 0.7);
        // The histogram holds every examinee of the group, and so does the
        // fitted density, near enough.
        double counted = 0, fitted = 0;
        for (const nlohmann::json& bar : group["histogram"]) {
            counted += bar["count"].get<double>();
            fitted += bar["fitted"].get<double>();
        }
        EXPECT_EQ(counted, group["examinees"].get<double>());
        EXPECT_NEAR(fitted, counted, 0.02 * counted);
    }
    bool summarised = false;
    for (const ReportSection& section : run.report.sections) {
        if (section.key != "group_calibration") continue;
        for (const std::string& line : section.summary) {
            summarised = summarised || line.rfind("Group M (1598 examinees): mean ", 0) == 0;
        }
    }
    EXPECT_TRUE(summarised);
}

TEST(GroupsRun, RightWrongItemsGoThroughTheModelTablesEngineToOpenMxsMaximum) {
    test_support::TempDir dir;
    Options options = GroupLayout(DataFile("spi_neuro10_binary.dat"), 10, dir.File("2pl.csv"));
    options.emplace_back("model", "2pl");
    const Finished run = RunWith(options);
    ASSERT_EQ(run.refusal, "");
    ASSERT_EQ(run.end, RunEnd::Finished);
    ExpectLikeOpenMx(GroupsOf(run.report), kSpi2pl);
}

TEST(GroupsRun, MixedSimulatedItemsReachOpenMxsMaximumAndItsGroup) {
    test_support::TempDir dir;
    Options options = GroupLayout(DataFile("sim_groups.dat"), 12, dir.File("mixed.csv"));
    options.emplace_back("model", "grm");
    options.emplace_back("binary-model", "2pl");
    const Finished run = RunWith(options);
    ASSERT_EQ(run.refusal, "");
    ASSERT_EQ(run.end, RunEnd::Finished);
    const nlohmann::json groups = GroupsOf(run.report);
    ExpectLikeOpenMx(groups, kSimGrm);
    // The generating focal group: N(0.5, 1.2^2), the reference R.
    EXPECT_EQ(groups["groups"][0]["label"], "R");
    const nlohmann::json& focal = groups["groups"][1];
    EXPECT_NEAR(focal["mean"].get<double>(), 0.5, 3 * focal["se_mean"].get<double>());
    EXPECT_NEAR(focal["sd"].get<double>(), 1.2, 3 * focal["se_sd"].get<double>());
}

TEST(GroupsRun, RefusesWithoutAGroupFieldWithHeldItemsAndWithACompare) {
    test_support::TempDir dir;
    Options options = GroupLayout(DataFile("sim_groups.dat"), 12, dir.File("r.csv"));
    options.erase(options.begin() + 5, options.begin() + 7);  // the group field
    EXPECT_NE(RunWith(options).refusal.find("needs the examinees' group field"), std::string::npos);

    options = GroupLayout(DataFile("sim_groups.dat"), 12, dir.File("r.csv"));
    options.emplace_back("fix-items", "yes");
    EXPECT_NE(RunWith(options).refusal.find("does not hold items"), std::string::npos);

    options = GroupLayout(DataFile("sim_groups.dat"), 12, dir.File("r.csv"));
    options.emplace_back("model", "2pl");
    options.emplace_back("compare", "1pl,2pl");
    EXPECT_NE(RunWith(options).refusal.find("--compare"), std::string::npos);

    // A reference group the file does not have ends the run at its check.
    options = GroupLayout(DataFile("sim_groups.dat"), 12, dir.File("r.csv"));
    options.emplace_back("model", "grm");
    options.emplace_back("reference-group", "Q");
    const Finished run = RunWith(options);
    if (run.refusal.empty()) {
        EXPECT_EQ(run.end, RunEnd::EndedAtCheck);
        ASSERT_FALSE(run.host.messages.empty());
        EXPECT_NE(run.host.messages.back().find("'Q'"), std::string::npos);
    }
}

}  // namespace
}  // namespace tarvo
