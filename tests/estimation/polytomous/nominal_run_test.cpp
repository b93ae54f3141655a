// Whole runs of the nominal model on the raw options of a public
// multiple-choice test: the same maximum as OpenMx, the result file's
// option columns, the report's option section and number-right scores, and
// what a nominal run refuses.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "platform/control_ids.h"
#include "report/report_json.h"
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

// 1525 examinees, 16 items, option codes 1..8 from column 20, 0 for seen
// and not answered, a blank for no record.
const std::string kOptions = std::string(TARVO_SOURCE_DIR) + "/tests/data/options/iqitems.dat";

Options Layout(int items, const std::string& key, const std::string& output) {
    return {{"response-file", kOptions},
            {"item-count", std::to_string(items)},
            {"response-start", "20"},
            {"examinee-id-start", "1"},
            {"examinee-id-length", "8"},
            {"output-file", output},
            {"method", "mml"},
            {"model", "nominal"},
            {"key", key}};
}

struct Finished {
    RunEnd end = RunEnd::Finished;
    RunReport report;
    ScriptedHost host;
};

Finished RunWith(const Options& options) {
    request::RequestTexts texts;
    for (const auto& [name, value] : options) {
        // The typed key is a control of the response file's format.
        if (name == "key") {
            texts.controls[control::kAnswerKey] = value;
            continue;
        }
        EXPECT_EQ(request::ApplyOption(name, value, texts), "") << name;
    }
    const request::RequestCheck check = request::ParseRequest(texts);
    EXPECT_TRUE(check.request.has_value());
    Finished run;
    if (!check.request) return run;
    run.end = RunCalibration(*check.request, run.host, &run.report);
    return run;
}

// Every line of a result file cut at its commas, CR LF ends taken off.
std::vector<std::vector<std::string>> Lines(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<std::vector<std::string>> lines;
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::vector<std::string> cells;
        std::stringstream cut(line);
        for (std::string cell; std::getline(cut, cell, ',');) cells.push_back(cell);
        if (!line.empty() && line.back() == ',') cells.emplace_back();
        lines.push_back(cells);
    }
    return lines;
}

std::size_t Column(const std::vector<std::vector<std::string>>& lines, const std::string& column) {
    const std::vector<std::string>& header = lines.front();
    for (std::size_t k = 0; k < header.size(); ++k) {
        if (header[k] == column) return k;
    }
    ADD_FAILURE() << "no column " << column;
    return 0;
}

double Cell(const std::vector<std::vector<std::string>>& lines, std::size_t row,
            const std::string& column) {
    return std::stod(lines[row][Column(lines, column)]);
}

// OpenMx 2.21.1 with rpf 1.0.11 (R 4.2.2, one thread), the script
// bench/reference/openmx_nominal_fit.R on the 16 items of iqitems.dat with
// its key: rpf.nrm with identity contrasts and its overall slope held at 1
// (option 1 the reference, a_1 = c_1 = 0), codes 0 and blank missing,
// mxComputeEM over 61 equally spaced points on [-6, 6] of N(0, 1),
// Newton-Raphson M-step, tolerance 1e-10, no priors.
constexpr double kOpenMxLogLikelihood = -29874.498761;
// Item 1 (reason.4): the slopes and intercepts of options 2..6.
const std::vector<double> kItem1Slopes{-0.161490, -0.158610, 1.561020, -0.401756, -0.347642};
const std::vector<double> kItem1Intercepts{0.785587, 0.720891, 2.933762, -0.765616, -1.283211};
// Item 14 (rotate.4, eight options, keyed 2): options 2..8's slopes.
const std::vector<double> kItem14Slopes{2.212382, -0.199656, 0.469438, 0.310448,
                                        0.165678, 0.185719,  -0.072305};
const std::string kKey = "4446634452243267";

TEST(NominalRun, ReachesOpenMxMaximumAndWritesEachOptionsParameters) {
    test_support::TempDir dir;
    const std::string output = dir.File("nominal.csv");
    Options options = Layout(16, kKey, output);
    options.insert(options.end(), {{"quadrature", "61"}, {"em-tolerance", "1e-7"}});
    const Finished run = RunWith(options);
    ASSERT_EQ(run.end, RunEnd::Finished);
    EXPECT_NEAR(run.report.logLikelihood, kOpenMxLogLikelihood, 0.01);

    const auto lines = Lines(output);
    ASSERT_GE(lines.size(), 17u);
    const std::vector<std::string> head(lines[0].begin(), lines[0].begin() + 8);
    EXPECT_EQ(head, (std::vector<std::string>{"SeqItem", "AccNo", "Model", "Categories", "Key", "a",
                                              "a1", "a2"}));
    EXPECT_EQ(lines[1][2], "nominal");
    EXPECT_EQ(Cell(lines, 1, "Categories"), 6);
    EXPECT_EQ(Cell(lines, 1, "Key"), 4);
    EXPECT_EQ(Cell(lines, 1, "a1"), 0);
    EXPECT_EQ(lines[1][Column(lines, "a7")], "");  // six options of eight columns
    EXPECT_EQ(Cell(lines, 1, "c1"), 0);
    EXPECT_EQ(Cell(lines, 1, "seea1"), -1);
    for (std::size_t k = 0; k < kItem1Slopes.size(); ++k) {
        const std::string option = std::to_string(k + 2);
        EXPECT_NEAR(Cell(lines, 1, "a" + option), kItem1Slopes[k], 0.01) << option;
        EXPECT_NEAR(Cell(lines, 1, "c" + option), kItem1Intercepts[k], 0.01) << option;
        EXPECT_GT(Cell(lines, 1, "seea" + option), 0) << option;
    }
    EXPECT_EQ(Cell(lines, 14, "Key"), 2);
    for (std::size_t k = 0; k < kItem14Slopes.size(); ++k) {
        EXPECT_NEAR(Cell(lines, 14, "a" + std::to_string(k + 2)), kItem14Slopes[k], 0.01) << k;
    }
    // The keyed option's slope less the mean of the other five.
    double others = 0;
    for (std::size_t k = 0; k < kItem1Slopes.size(); ++k) others += k == 2 ? 0 : kItem1Slopes[k];
    EXPECT_NEAR(Cell(lines, 1, "a"), kItem1Slopes[2] - others / 5, 0.01);
}

TEST(NominalRun, ReportsOptionsAndScoresTheNumberRight) {
    test_support::TempDir dir;
    const std::string output = dir.File("nominal.csv");
    const Finished run = RunWith(Layout(6, "444663", output));
    ASSERT_EQ(run.end, RunEnd::Finished);
    ASSERT_EQ(run.report.itemRows.size(), 6u);
    const ItemReport& first = run.report.itemRows[0];
    EXPECT_EQ(first.keyedOption, 3);
    ASSERT_EQ(first.optionSlopes.size(), 6u);
    EXPECT_EQ(first.optionSlopes[0], 0);
    EXPECT_EQ(first.optionIntercepts[0], 0);
    // Examinee Q0000001 answered 3,3,6,3,5,3 against the key 4,4,4,6,6,3:
    // one right, out of six.
    const auto lines = Lines(output);
    std::size_t person = 0;
    while (person < lines.size() && !(lines[person].size() > 0 && lines[person][0] == "SeqPerson"))
        ++person;
    ASSERT_LT(person + 1, lines.size());
    EXPECT_EQ(std::stoi(lines[person + 1][2]), 1);
    EXPECT_EQ(std::stoi(lines[person + 1][3]), 6);
    const nlohmann::json json = nlohmann::json::parse(report::ReportJson(run.report));
    const nlohmann::json& items = json.at("polytomous").at("items");
    ASSERT_EQ(items.size(), 6u);
    EXPECT_EQ(items[0].at("keyed_option"), 4);
    EXPECT_EQ(items[0].at("category_counts"), nlohmann::json::array({69, 170, 159, 975, 44, 25}));
    // No fit statistics and no score table for options.
    EXPECT_FALSE(json.contains("fit"));
    EXPECT_FALSE(json.contains("summed_scores"));
}

TEST(NominalRun, RefusesNoKeyAndHeldItemsAndWritesNoScoreTable) {
    test_support::TempDir dir;
    // Every item needs a keyed option that somebody chose.
    const struct {
        const char* key;
        const char* told;
    } keys[] = {{"", "Item 1 has no keyed option"},
                {"44A663", "Item 3 has no keyed option"},
                {"444673", "Item 5: nobody chose its keyed option 7"}};
    for (const auto& k : keys) {
        Options options = Layout(6, k.key, dir.File("nokey.csv"));
        if (std::string(k.key).empty()) options.pop_back();
        const Finished run = RunWith(options);
        EXPECT_NE(run.end, RunEnd::Finished) << k.key;
        bool told = false;
        for (const std::string& message : run.host.messages) {
            told = told || message.find(k.told) != std::string::npos;
        }
        EXPECT_TRUE(told) << k.key;
    }

    Options held = Layout(6, "444663", dir.File("held.csv"));
    held.insert(held.end(), {{"fix-items", "yes"}, {"item-file", dir.File("items.csv")}});
    { std::ofstream(dir.File("items.csv")) << "x\n"; }
    const Finished refused = RunWith(held);
    EXPECT_NE(refused.end, RunEnd::Finished);

    Options table = Layout(6, "444663", dir.File("scores.csv"));
    table.emplace_back("score-table", dir.File("table.txt"));
    const Finished run = RunWith(table);
    ASSERT_EQ(run.end, RunEnd::Finished);
    EXPECT_FALSE(std::ifstream(dir.File("table.txt")).good());
    ASSERT_EQ(run.report.unwrittenFiles.size(), 1u);
    EXPECT_NE(run.report.unwrittenFiles[0].find("not scores"), std::string::npos);
}

// Item 1's option 2 recoded as 3: an unused option below the highest is
// refused by its option code, or merged, the keyed option 4 then being the
// third of five.
TEST(NominalRun, AnUnusedOptionIsRefusedOrMergedKeepingTheKey) {
    test_support::TempDir dir;
    const std::string recoded = dir.File("recoded.dat");
    {
        std::ifstream in(kOptions, std::ios::binary);
        std::ofstream out(recoded, std::ios::binary);
        for (std::string line; std::getline(in, line);) {
            if (line.size() > 19 && line[19] == '2') line[19] = '3';
            out << line << "\n";
        }
    }
    Options options = Layout(6, "444663", dir.File("merged.csv"));
    options[0].second = recoded;
    const Finished refused = RunWith(options);
    EXPECT_NE(refused.end, RunEnd::Finished);
    bool told = false;
    for (const std::string& message : refused.host.messages) {
        told = told || message.find("Item 1: nobody chose option 2 of its options 1 to 6") !=
                           std::string::npos;
    }
    EXPECT_TRUE(told);

    options.emplace_back("collapse-empty", "yes");
    const Finished merged = RunWith(options);
    ASSERT_EQ(merged.end, RunEnd::Finished);
    const auto lines = Lines(dir.File("merged.csv"));
    EXPECT_EQ(Cell(lines, 1, "Categories"), 5);
    EXPECT_EQ(Cell(lines, 1, "Key"), 3);
    EXPECT_EQ(merged.report.itemRows[0].keyedOption, 2);
    // The key is still the most discriminating option.
    EXPECT_GT(Cell(lines, 1, "a"), 1);
}

}  // namespace
}  // namespace tarvo
