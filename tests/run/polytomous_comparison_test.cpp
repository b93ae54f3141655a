// The model comparison of a polytomous run: RSM, PCM, GPCM and GRM fitted on
// the same items, likelihood-ratio tests only between nested models, the
// run's own result untouched, and per-item models refused.
#include <gtest/gtest.h>

#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "report/report_json.h"
#include "report/report_summary.h"
#include "report/run_report.h"
#include "request/job_file.h"
#include "request/option_table.h"
#include "request/request_parser.h"
#include "run/calibration_run.h"
#include "support/scripted_host.h"
#include "support/temp_dir.h"

namespace tarvo {
namespace {

using Json = nlohmann::json;
using Options = std::vector<std::pair<std::string, std::string>>;

request::RequestCheck Parse(const Options& options) {
    request::RequestTexts texts;
    for (const auto& [name, value] : options) {
        EXPECT_EQ(request::ApplyOption(name, value, texts), "") << name;
    }
    return request::ParseRequest(texts);
}

// bfi_n: 2800 respondents x 5 items scored 0..5, ID in columns 1-8 and
// scores from column 20.
Options BfiN(const std::string& output, const std::string& model) {
    return {{"response-file", std::string(TARVO_SOURCE_DIR) + "/tests/data/polytomous/bfi_n.dat"},
            {"item-count", "5"},
            {"response-start", "20"},
            {"examinee-id-start", "1"},
            {"examinee-id-length", "8"},
            {"output-file", output},
            {"method", "mml"},
            {"model", model}};
}

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST(PolytomousComparison, NestedPartialCreditModelsAreTestedAndTheGrmIsNot) {
    test_support::TempDir dir;
    const std::string output = dir.File("out.csv");
    RunReport alone;
    test_support::ScriptedHost host;
    const request::RequestCheck plain = Parse(BfiN(output, "gpcm"));
    ASSERT_TRUE(plain.request) << plain.message;
    ASSERT_EQ(RunCalibration(*plain.request, host, &alone), RunEnd::Finished);
    const std::string result = ReadAll(output);

    Options options = BfiN(output, "gpcm");
    options.emplace_back("compare", "grm, gpcm,rsm,pcm");
    const request::RequestCheck check = Parse(options);
    ASSERT_TRUE(check.request) << check.message;
    const std::vector<PolytomousModel> order{PolytomousModel::Rsm, PolytomousModel::Pcm,
                                             PolytomousModel::Gpcm, PolytomousModel::Grm};
    EXPECT_EQ(check.request->comparePolytomous, order);
    EXPECT_TRUE(check.request->compareModels.empty());
    // The job file carries the list.
    request::RequestTexts texts;
    EXPECT_EQ(request::ApplyJobJson(request::JobJson(*check.request), "j.json", texts), "");
    EXPECT_EQ(*texts.compare, "rsm,pcm,gpcm,grm");

    RunReport report;
    ASSERT_EQ(RunCalibration(*check.request, host, &report), RunEnd::Finished);
    EXPECT_EQ(ReadAll(output), result) << "the result file is the run's own GPCM";
    const Json comparison = Json::parse(report::ReportJson(report))["model_comparison"];
    const Json& models = comparison["models"];
    ASSERT_EQ(models.size(), 4u);
    const char* names[] = {"rsm", "pcm", "gpcm", "grm"};
    for (int k = 0; k < 4; ++k) {
        SCOPED_TRACE(names[k]);
        EXPECT_EQ(models[k]["model"], names[k]);
        ASSERT_TRUE(models[k]["defined"].get<bool>()) << models[k].dump();
        EXPECT_EQ(models[k]["em_end"], "settled");
        // The run's GPCM had no prior: its own fit is the row.
        EXPECT_EQ(models[k]["run_model"], k == 2);
    }
    // Five items of six categories: the GPCM and GRM a slope and five
    // thresholds each, the PCM five steps each and one common slope.
    EXPECT_EQ(models[2]["parameters"], 30);
    EXPECT_EQ(models[3]["parameters"], 30);
    EXPECT_EQ(models[1]["parameters"], 26);
    EXPECT_LT(models[0]["parameters"].get<int>(), 26);
    EXPECT_EQ(models[2]["minus_2_log_likelihood"],
              Json::parse(report::ReportJson(alone))["model_fit"]["minus_2_log_likelihood"]);
    // Nested: each model at least as good as the one inside it.
    const auto m2ll = [&](int k) { return models[k]["minus_2_log_likelihood"].get<double>(); };
    EXPECT_GE(m2ll(0), m2ll(1) - 1e-3);
    EXPECT_GE(m2ll(1), m2ll(2) - 1e-3);

    const Json& tests = comparison["tests"];
    ASSERT_EQ(tests.size(), 3u);
    for (int k = 0; k < 2; ++k) {
        SCOPED_TRACE(names[k]);
        EXPECT_EQ(tests[k]["smaller"], names[k]);
        EXPECT_EQ(tests[k]["larger"], names[k + 1]);
        EXPECT_EQ(tests[k]["df"].get<int>(),
                  models[k + 1]["parameters"].get<int>() - models[k]["parameters"].get<int>());
        EXPECT_NEAR(tests[k]["chi_square"].get<double>(), m2ll(k) - m2ll(k + 1), 1e-6);
        EXPECT_TRUE(tests[k]["p"].is_number());
    }
    EXPECT_EQ(tests[2]["larger"], "grm");
    EXPECT_TRUE(tests[2]["chi_square"].is_null());
    EXPECT_TRUE(tests[2]["p"].is_null());
    EXPECT_NE(tests[2]["note"].get<std::string>().find("nested in none"), std::string::npos);

    // The summary's table says the GRM has no test.
    bool grmRow = false;
    std::stringstream summary(report::SummaryText(report));
    for (std::string line; std::getline(summary, line);) {
        if (line.rfind("  grm ", 0) == 0) {
            grmRow = true;
            EXPECT_NE(line.find("none: not nested"), std::string::npos) << line;
        }
    }
    EXPECT_TRUE(grmRow);
}

// A PCM run with a prior on its common slope: refitted without it.
TEST(PolytomousComparison, APenalisedRunIsFittedAgain) {
    test_support::TempDir dir;
    Options options = BfiN(dir.File("out.csv"), "pcm");
    options.emplace_back("poly-prior-a", "0,0.5");
    options.emplace_back("compare", "rsm,pcm");
    const request::RequestCheck check = Parse(options);
    ASSERT_TRUE(check.request) << check.message;
    test_support::ScriptedHost host;
    RunReport report;
    ASSERT_EQ(RunCalibration(*check.request, host, &report), RunEnd::Finished);
    const Json comparison = Json::parse(report::ReportJson(report))["model_comparison"];
    ASSERT_EQ(comparison["models"].size(), 2u);
    EXPECT_EQ(comparison["models"][1]["run_model"], false);
    EXPECT_TRUE(comparison["tests"][0]["p"].is_number());
}

TEST(PolytomousComparison, RefusesPerItemModelsAndRightWrongModels) {
    const request::RequestCheck perItem =
        Parse({{"method", "mml"}, {"item-models", "m.txt"}, {"compare", "gpcm,grm"}});
    EXPECT_FALSE(perItem.request);
    EXPECT_EQ(perItem.field, request::RequestField::Compare);
    EXPECT_NE(perItem.message.find("--item-models names each item's own"), std::string::npos)
        << perItem.message;
    for (const char* wrong : {"2pl,3pl", "gpcm", "gpcm,gpcm", "gpcm,per-item"}) {
        const request::RequestCheck bad =
            Parse({{"method", "mml"}, {"model", "grm"}, {"compare", wrong}});
        EXPECT_FALSE(bad.request) << wrong;
        EXPECT_EQ(bad.field, request::RequestField::Compare);
        EXPECT_EQ(bad.message,
                  std::string("The models to compare (--compare) must be two or more of grm, "
                              "gpcm, pcm and rsm on a test of items scored 0..m, each once, "
                              "separated by commas, not '") +
                      wrong + "'.");
    }
    // A right/wrong run still refuses the polytomous models.
    EXPECT_FALSE(Parse({{"method", "mml"}, {"compare", "pcm,gpcm"}}).request);
}

}  // namespace
}  // namespace tarvo
