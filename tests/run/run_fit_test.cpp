// The fit statistics of whole runs: planted misfit found and warned, the
// model's fit from the marginal likelihood, none for a stopped run.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <nlohmann/json.hpp>
#include <string>

#include "report/report_json.h"
#include "report/report_summary.h"
#include "support/run_fixture.h"
#include "support/run_request.h"

namespace tarvo {
namespace {

using test_support::RunClassic;
using test_support::RunFixture;
using test_support::RunMarginal;
using test_support::ScriptedHost;

using Json = nlohmann::json;

bool HasFlag(const Json& row, const char* flag) {
    const Json& flags = row["flags"];
    return std::find(flags.begin(), flags.end(), flag) != flags.end();
}

bool HasSection(const RunReport& report, const char* key) {
    return std::any_of(report.sections.begin(), report.sections.end(),
                       [&](const ReportSection& s) { return s.key == key; });
}

// The responses' first column (after "Pnnnnnnn   theta.th ").
constexpr std::size_t kFirstResponse = 19;

// 1PL data with three faults planted: item 3 is nearly flat, item 6 copies
// item 5's responses, and examinee 1 answers the reverse of what the model
// expects of a middling examinee (the easy half wrong, the hard half right).
void PlantFaults(RunFixture& data) {
    for (std::size_t i = 0; i < data.itemParams.size(); ++i) {
        data.itemParams[i] = {1, -1.5 + 3.0 * static_cast<double>(i) / 11, 0};
    }
    data.itemParams[2].a = 0.05;
    data.WriteFiles();
    std::string text = test_support::ReadFile(data.responseFile());
    std::size_t at = 0;
    for (int j = 0; at < text.size(); ++j) {
        const std::size_t end = text.find('\n', at);
        char* row = text.data() + at + kFirstResponse;
        row[5] = row[4];
        if (j == 0) {
            for (int i = 0; i < 6; ++i) row[i] = '0';
            for (int i = 6; i < 12; ++i) row[i] = '1';
        }
        at = end + 1;
    }
    test_support::WriteFile(data.responseFile(), text);
}

TEST(RunFit, PlantedMisfitIsFlaggedNamedAndWarned) {
    RunFixture data(1000, 12, 21);
    PlantFaults(data);
    ScriptedHost host = data.Host(6);
    RunReport report;
    ASSERT_EQ(RunClassic(host, &report), RunEnd::Finished);
    const Json document = Json::parse(report::ReportJson(report));

    const Json& items = document["items"];
    ASSERT_EQ(items.size(), 12u);
    EXPECT_TRUE(HasFlag(items[2], "misfit")) << items[2]["fit"];
    int misfitting = 0;
    for (const Json& item : items) misfitting += HasFlag(item, "misfit");
    // The flat item and the copied pair; the copy also shifts the other
    // items' rest scores, so a neighbour may join them.
    EXPECT_TRUE(HasFlag(items[4], "misfit") && HasFlag(items[5], "misfit"));
    EXPECT_LE(misfitting, 5);
    EXPECT_EQ(document["fit"]["misfitting_items"], misfitting);
    for (const char* key : {"s_x2", "df", "p", "p_adjusted", "infit", "outfit", "infit_t",
                            "outfit_t", "group_residuals"}) {
        EXPECT_TRUE(items[0]["fit"].contains(key)) << key;
    }
    // The 1PL's abilities go by raw score, so the groups keep each score's
    // examinees together: fewer than ten, the report's own groups.
    EXPECT_EQ(items[0]["fit"]["group_residuals"].size(),
              items[0]["ability_groups"]["count"].size());
    EXPECT_GE(items[0]["fit"]["group_residuals"].size(), 5u);
    EXPECT_LE(items[0]["fit"]["group_residuals"].size(), 10u);
    EXPECT_TRUE(items[0]["fit_note"].is_null());

    const Json& dependence = document["local_dependence"];
    ASSERT_GE(dependence["flagged"].size(), 1u);
    EXPECT_EQ(dependence["flagged"][0]["items"], Json::parse("[5,6]"));
    EXPECT_EQ(dependence["matrix"].size(), 12u);
    EXPECT_TRUE(HasFlag(items[4], "local_dependence"));
    EXPECT_TRUE(HasFlag(items[5], "local_dependence"));

    const Json& first = document["examinees"][0];
    EXPECT_TRUE(HasFlag(first, "misfit"));
    EXPECT_LT(first["fit"]["lz"].get<double>(), -3);

    // Classic runs have no marginal likelihood to judge the model by.
    EXPECT_FALSE(document["model_fit"]["defined"].get<bool>());
    EXPECT_FALSE(document["model_fit"]["note"].is_null());

    const std::string summary = report::SummaryText(report);
    EXPECT_NE(summary.find("\nFit: " + std::to_string(misfitting) + " of 12 items misfitting"),
              std::string::npos)
        << summary;
    EXPECT_NE(summary.find("WARNING " + std::to_string(misfitting) + " items do not fit"),
              std::string::npos);
    // The worst first.
    EXPECT_NE(summary.find("): item 3 'ITEM0003' (S-X2 "), std::string::npos) << summary;
    EXPECT_NE(summary.find("most aberrant: examinee 1 'P0000001' (lz "), std::string::npos);
    EXPECT_NE(summary.find(": items 5 'ITEM0005' and 6 'ITEM0006' (Q3 1.00)"), std::string::npos);
    EXPECT_NE(summary.find("Model fit: not defined."), std::string::npos);
}

TEST(RunFit, TheMarginalModelFitIsTheRunsOwnLikelihood) {
    RunFixture data(400, 8, 5);
    data.WriteFiles(37);
    ScriptedHost host = data.Host(3);
    RunReport report;
    ASSERT_EQ(RunMarginal(host, SettingsFor(MarginalModel::TwoPL), &report), RunEnd::Finished);
    const Json document = Json::parse(report::ReportJson(report));
    const Json& model = document["model_fit"];
    ASSERT_TRUE(model["defined"].get<bool>());
    const double m2ll = -2 * report.logLikelihood;
    EXPECT_DOUBLE_EQ(model["minus_2_log_likelihood"].get<double>(), m2ll);
    EXPECT_EQ(model["parameters"], 16);  // a and b of 8 items
    EXPECT_DOUBLE_EQ(model["aic"].get<double>(), m2ll + 32);
    EXPECT_DOUBLE_EQ(model["bic"].get<double>(), m2ll + 16 * std::log(400.0));
    // Every 37th response is missing: those examinees leave S-X2.
    const Json& fit = document["fit"];
    EXPECT_GT(fit["s_x2_left_out_for_missing"].get<int>(), 0);
    EXPECT_EQ(fit["s_x2_examinees"].get<int>() + fit["s_x2_left_out_for_missing"].get<int>(), 400);
    EXPECT_NE(fit["ability_distribution"].get<std::string>().find("standard normal"),
              std::string::npos);
}

TEST(RunFit, AStoppedRunHasNoFit) {
    RunFixture data(200, 8, 3);
    data.WriteFiles();
    ScriptedHost host = data.Host(3);
    host.stopAtPoll = 3;
    RunReport report;
    ASSERT_EQ(RunClassic(host, &report), RunEnd::Stopped);
    EXPECT_FALSE(HasSection(report, "fit"));
    const Json document = Json::parse(report::ReportJson(report));
    EXPECT_FALSE(document["items"][0].contains("fit"));
}

}  // namespace
}  // namespace tarvo
