// Items freed across the groups of a calibration of several groups
// (--free-items, --free-dif) and the IRT DIF screen (--dif irt), as whole
// runs through the one parser: a freed item is the model of its column
// split by group, the screen's likelihood ratios and Lord's Wald tests are
// OpenMx's, and the refusals name what is wrong.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
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

// ID in columns 1-8, the group in column 10, responses from column 20; the
// 2PL, whose maximum OpenMx's fits give.
Options Spi2pl(const std::string& responses, int items, const std::string& output) {
    return {{"response-file", responses},
            {"item-count", std::to_string(items)},
            {"response-start", "20"},
            {"examinee-id-start", "1"},
            {"examinee-id-length", "8"},
            {"group-start", "10"},
            {"group-length", "1"},
            {"output-file", output},
            {"method", "mml"},
            {"model", "2pl"},
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

nlohmann::json SectionOf(const RunReport& report, const std::string& key) {
    for (const ReportSection& section : report.sections) {
        if (section.key == key) return nlohmann::json::parse(section.json);
    }
    ADD_FAILURE() << "no " << key << " section";
    return nlohmann::json::object();
}

const ReportSection* FindSection(const RunReport& report, const std::string& key) {
    for (const ReportSection& section : report.sections) {
        if (section.key == key) return &section;
    }
    return nullptr;
}

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// The spi file with item 3's column split by hand: its reference group's
// ('F') responses in one column, the focal group's ('M') in the next.
std::string SplitByHand(const std::string& folder) {
    std::ifstream in(DataFile("spi_neuro10_binary.dat"));
    std::ofstream out(folder + "/split.dat", std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
        line.resize(29, ' ');
        const char group = line[9], response = line[21];
        std::string split = line.substr(0, 21);
        split += group == 'F' ? response : ' ';
        split += group == 'M' ? response : ' ';
        split += line.substr(22);
        out << split << '\n';
    }
    return folder + "/split.dat";
}

TEST(FreeItemsRun, AFreedItemIsTheModelOfItsColumnSplitByGroup) {
    test_support::TempDir dir;
    Options freed = Spi2pl(DataFile("spi_neuro10_binary.dat"), 10, dir.File("freed.csv"));
    freed.emplace_back("free-items", "3");
    const Finished run = RunWith(freed);
    ASSERT_EQ(run.refusal, "");
    ASSERT_EQ(run.end, RunEnd::Finished);
    const Finished byHand =
        RunWith(Spi2pl(SplitByHand(dir.path().string()), 11, dir.File("hand.csv")));
    ASSERT_EQ(byHand.end, RunEnd::Finished);

    const nlohmann::json groups = SectionOf(run.report, "group_calibration");
    const nlohmann::json hand = SectionOf(byHand.report, "group_calibration");
    EXPECT_NEAR(groups["log_likelihood"].get<double>(), hand["log_likelihood"].get<double>(), 1e-6);
    // Two more parameters than every item equal (10 slopes and intercepts,
    // the focal mean and SD): the freed item's second slope and intercept.
    EXPECT_EQ(groups["parameters"], 24);
    EXPECT_EQ(hand["parameters"], 24);
    EXPECT_NEAR(groups["aic"].get<double>(), groups["minus_2ll"].get<double>() + 48, 1e-6);
    EXPECT_NEAR(groups["groups"][1]["mean"].get<double>(), hand["groups"][1]["mean"].get<double>(),
                1e-6);

    // The result file and the report hold the item once per group.
    const std::string result = ReadAll(dir.File("freed.csv"));
    EXPECT_NE(result.find("item 3 [F]"), std::string::npos) << result;
    EXPECT_NE(result.find("item 3 [M]"), std::string::npos);
    ASSERT_EQ(run.report.itemRows.size(), 11u);
    const nlohmann::json section = SectionOf(run.report, "free_items");
    ASSERT_EQ(section["items"].size(), 1u);
    EXPECT_EQ(section["items"][0]["item"], 3);
    EXPECT_EQ(section["items"][0]["why"], "named by --free-items");
    EXPECT_EQ(section["items"][0]["columns"][1]["name"], "item 3 [M]");
    EXPECT_EQ(section["items"][0]["columns"][1]["column"], 4);
}

TEST(FreeItemsRun, RefusesAnUnknownItemAndFreeingWithoutGroups) {
    test_support::TempDir dir;
    Options options = Spi2pl(DataFile("spi_neuro10_binary.dat"), 10, dir.File("r.csv"));
    options.emplace_back("free-items", "2,q_99");
    const Finished unknown = RunWith(options);
    ASSERT_EQ(unknown.refusal, "");
    EXPECT_EQ(unknown.end, RunEnd::EndedAtCheck);
    ASSERT_FALSE(unknown.host.messages.empty());
    EXPECT_NE(unknown.host.messages.back().find("--free-items names the item 'q_99'"),
              std::string::npos)
        << unknown.host.messages.back();
    EXPECT_NE(unknown.host.messages.back().find("numbers from 1 to 10"), std::string::npos);

    options = Spi2pl(DataFile("spi_neuro10_binary.dat"), 10, dir.File("r.csv"));
    options.emplace_back("free-items", "11");
    const Finished beyond = RunWith(options);
    EXPECT_EQ(beyond.end, RunEnd::EndedAtCheck);

    options = Spi2pl(DataFile("spi_neuro10_binary.dat"), 10, dir.File("r.csv"));
    options.pop_back();  // --groups
    options.emplace_back("free-items", "3");
    EXPECT_NE(RunWith(options).refusal.find("needs the groups calibrated together"),
              std::string::npos);
}

// OpenMx 2.21.1 (bench/reference/openmx_free_item.R, the 2PL on
// spi_neuro10_binary.dat, 61 points on [-6, 6]): the groups joined by
// mxFitFunctionMultigroup, items equal by their labels, the reference 'F'
// N(0, 1), the focal 'M' mean and variance free, mxComputeGradientDescent;
// -2LL with every item equal, then with each item's labels its group's own.
constexpr double kOpenMxEqual = 41219.949390;
constexpr double kOpenMxFree[10] = {41168.262669, 41209.252318, 41219.003653, 41168.042376,
                                    41185.645200, 41171.724584, 41165.093448, 41218.189128,
                                    41163.079156, 41216.127439};

// Lord's Wald statistic of each item from the same fits with the item free
// (openmx_free_item.R ... 2pl 61 all wald, OpenMx 2.21.1): the optimality
// tolerance 1e-14, the Hessian of -2LL by mxComputeNumericDeriv(analytic =
// FALSE, stepSize = 1e-5, iterations = 4) after mxComputeGradientDescent,
// the covariance vcov = 2 H^-1 over every free parameter (the focal mean
// and variance among them), d the slope and intercept of the 'F' copy
// minus the 'M' copy's, df 2.
constexpr double kOpenMxWald[10] = {49.413468, 9.322487,  0.931663, 54.602046, 32.429089,
                                    45.376133, 54.380844, 1.717595, 53.273175, 3.864774};
// The engine's information is the exact observed information (Louis'
// formula), OpenMx's a numerical Hessian; at both maxima found closely
// (--em-tolerance 1e-6) they agree to about 1e-5 of W. At the EM's default
// tolerance (1e-4 on the parameters) a small W, whose difference d is
// small, moves by up to 1.2%.
constexpr double kWaldClose = 1e-3;
constexpr double kWaldDefault = 0.02;

TEST(FreeItemsRun, TheIrtScreensLikelihoodRatiosAndWaldTestsAreOpenMxs) {
    test_support::TempDir dir;
    Options options = Spi2pl(DataFile("spi_neuro10_binary.dat"), 10, dir.File("irt.csv"));
    options.emplace_back("dif", "irt");
    const Finished run = RunWith(options);
    ASSERT_EQ(run.refusal, "");
    ASSERT_EQ(run.end, RunEnd::Finished);
    const nlohmann::json dif = SectionOf(run.report, "dif");
    ASSERT_EQ(dif["irt"]["formed"], true) << dif.dump();
    ASSERT_EQ(dif["comparisons"].size(), 1u);
    const nlohmann::json& comparison = dif["comparisons"][0];
    EXPECT_EQ(comparison["reference"], "F");
    EXPECT_EQ(comparison["focal"], "M");
    const nlohmann::json& table = comparison["tables"][0];
    EXPECT_EQ(table["method"], "irt");
    ASSERT_EQ(table["rows"].size(), 10u);
    std::vector<std::string> flagged;
    for (std::size_t i = 0; i < 10; ++i) {
        SCOPED_TRACE("item " + std::to_string(i + 1));
        const nlohmann::json& row = table["rows"][i];
        EXPECT_EQ(row["item"], i + 1);
        EXPECT_NEAR(row["minus_2ll_equal"].get<double>(), kOpenMxEqual, 0.01);
        EXPECT_NEAR(row["minus_2ll_free"].get<double>(), kOpenMxFree[i], 0.01);
        EXPECT_NEAR(row["statistic"].get<double>(), kOpenMxEqual - kOpenMxFree[i], 0.02);
        EXPECT_EQ(row["df"], 2);
        EXPECT_NEAR(row["p"].get<double>(), std::exp(-0.5 * row["statistic"].get<double>()), 1e-9);
        EXPECT_GE(row["p_adjusted"].get<double>(), row["p"].get<double>());
        // The signed area is at most the unsigned one in size, both within
        // the item's one score point.
        const double area = row["effect"].get<double>();
        const double size = row["unsigned_area"].get<double>();
        EXPECT_LE(std::abs(area), size + 1e-12);
        EXPECT_LT(size, 1.0);
        if (row["flagged"].get<bool>()) flagged.push_back(std::to_string(i + 1));
        EXPECT_EQ(row["flagged"].get<bool>(), row["p_adjusted"].get<double>() < 0.05);
    }
    const ReportSection* section = FindSection(run.report, "dif");
    ASSERT_NE(section, nullptr);
    if (!flagged.empty()) {
        bool warned = false;
        for (const std::string& warning : section->warnings) {
            warned = warned || warning.rfind("The IRT likelihood-ratio screen flags", 0) == 0;
        }
        EXPECT_TRUE(warned);
    }

    EXPECT_EQ(dif["irt"]["wald"].get<std::string>().rfind("from the inverse", 0), 0u);
    ASSERT_EQ(comparison["tables"].size(), 2u);
    const nlohmann::json& wald = comparison["tables"][1];
    EXPECT_EQ(wald["method"], "wald");
    ASSERT_EQ(wald["rows"].size(), 10u);
    std::vector<std::string> waldFlagged;
    for (std::size_t i = 0; i < 10; ++i) {
        SCOPED_TRACE("item " + std::to_string(i + 1));
        const nlohmann::json& row = wald["rows"][i];
        EXPECT_EQ(row["item"], i + 1);
        ASSERT_TRUE(row["statistic"].is_number()) << row.dump();
        const double w = row["statistic"].get<double>();
        EXPECT_NEAR(w, kOpenMxWald[i], kWaldDefault * kOpenMxWald[i]);
        EXPECT_EQ(row["df"], 2);
        EXPECT_NEAR(row["p"].get<double>(), std::exp(-0.5 * w), 1e-9);
        EXPECT_GE(row["p_adjusted"].get<double>(), row["p"].get<double>());
        EXPECT_EQ(row["flagged"].get<bool>(), row["p_adjusted"].get<double>() < 0.05);
        EXPECT_EQ(row["effect"], table["rows"][i]["effect"]);
        if (row["flagged"].get<bool>()) waldFlagged.push_back(std::to_string(i + 1));
    }
    // OpenMx's statistics give p below 0.01 for items 1, 2, 4, 5, 6, 7, 9
    // and above 0.1 for 3, 8, 10: the same seven flagged.
    EXPECT_EQ(waldFlagged, (std::vector<std::string>{"1", "2", "4", "5", "6", "7", "9"}));
    bool warned = false, summarised = false;
    for (const std::string& warning : section->warnings) {
        warned = warned || warning.rfind("Lord's Wald screen flags 7 items", 0) == 0;
    }
    for (const std::string& line : section->summary) {
        summarised =
            summarised || line.rfind("DIF, IRT Wald (Lord), group 'M' against 'F'", 0) == 0;
    }
    EXPECT_TRUE(warned);
    EXPECT_TRUE(summarised);
}

TEST(FreeItemsRun, TheWaldTestsAtCloseMaximaAreOpenMxs) {
    test_support::TempDir dir;
    Options options = Spi2pl(DataFile("spi_neuro10_binary.dat"), 10, dir.File("close.csv"));
    options.emplace_back("dif", "irt");
    options.emplace_back("em-tolerance", "0.000001");
    const Finished run = RunWith(options);
    ASSERT_EQ(run.refusal, "");
    ASSERT_EQ(run.end, RunEnd::Finished);
    const nlohmann::json rows = SectionOf(run.report, "dif")["comparisons"][0]["tables"][1]["rows"];
    ASSERT_EQ(rows.size(), 10u);
    for (std::size_t i = 0; i < 10; ++i) {
        SCOPED_TRACE("item " + std::to_string(i + 1));
        ASSERT_TRUE(rows[i]["statistic"].is_number()) << rows[i].dump();
        EXPECT_NEAR(rows[i]["statistic"].get<double>(), kOpenMxWald[i],
                    kWaldClose * kOpenMxWald[i]);
    }
}

// With every item but one an anchor, the two compared models are those of
// the screen without anchors for that item: the same G2. With fewer
// anchors only the others are studied.
TEST(FreeItemsRun, AnchorsAreEqualInBothComparedModels) {
    test_support::TempDir dir;
    Options options = Spi2pl(DataFile("spi_neuro10_binary.dat"), 10, dir.File("a.csv"));
    options.emplace_back("dif", "irt");
    options.emplace_back("anchors", "2,3,4,5,6,7,8,9,10");
    const Finished one = RunWith(options);
    ASSERT_EQ(one.refusal, "");
    ASSERT_EQ(one.end, RunEnd::Finished);
    const nlohmann::json dif = SectionOf(one.report, "dif");
    EXPECT_EQ(dif["irt"]["anchors"].size(), 9u);
    const nlohmann::json& rows = dif["comparisons"][0]["tables"][0]["rows"];
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0]["item"], 1);
    EXPECT_NEAR(rows[0]["statistic"].get<double>(), kOpenMxEqual - kOpenMxFree[0], 0.02);
    // The one fit with item 1 free is the model of the screen without
    // anchors: the same Wald test.
    const nlohmann::json& wald = dif["comparisons"][0]["tables"][1]["rows"];
    ASSERT_EQ(wald.size(), 1u);
    EXPECT_NEAR(wald[0]["statistic"].get<double>(), kOpenMxWald[0], kWaldDefault * kOpenMxWald[0]);

    options.back().second = "3,8,10";
    const Finished three = RunWith(options);
    ASSERT_EQ(three.end, RunEnd::Finished);
    const nlohmann::json table = SectionOf(three.report, "dif")["comparisons"][0]["tables"][0];
    EXPECT_NE(table["models"].get<std::string>().find("the 3 anchor items equal"),
              std::string::npos);
    ASSERT_EQ(table["rows"].size(), 7u);
    // One model with every studied item free: the same -2LL in every row,
    // and a Wald test of each from its covariances.
    const nlohmann::json walds = SectionOf(three.report, "dif")["comparisons"][0]["tables"][1];
    ASSERT_EQ(walds["rows"].size(), 7u);
    for (const nlohmann::json& row : walds["rows"]) {
        EXPECT_NE(row["item"], 3);
        EXPECT_EQ(row["df"], 2);
        EXPECT_TRUE(row["statistic"].is_number()) << row.dump();
    }
    for (const nlohmann::json& row : table["rows"]) {
        EXPECT_NE(row["item"], 3);
        EXPECT_EQ(row["df"], 2);
        EXPECT_NEAR(row["minus_2ll_free"].get<double>(),
                    table["rows"][0]["minus_2ll_free"].get<double>(), 1e-9);
        EXPECT_GT(row["minus_2ll_equal"].get<double>(), row["minus_2ll_free"].get<double>() - 0.01);
    }

    options.back().second = "3,x";
    const Finished unknown = RunWith(options);
    ASSERT_EQ(unknown.end, RunEnd::Finished);
    const nlohmann::json bad = SectionOf(unknown.report, "dif");
    EXPECT_EQ(bad["irt"]["formed"], false);
    EXPECT_NE(bad["irt"]["note"].get<std::string>().find("--anchors names the item 'x'"),
              std::string::npos);
}

// Without standard errors the refits form no information: no Wald table,
// and the report and summary say why.
TEST(FreeItemsRun, NoStandardErrorsLeaveTheWaldTestNotFormedWithTheReason) {
    test_support::TempDir dir;
    Options options = Spi2pl(DataFile("spi_neuro10_binary.dat"), 10, dir.File("n.csv"));
    options.emplace_back("dif", "irt");
    options.emplace_back("anchors", "2,3,4,5,6,7,8,9,10");
    options.emplace_back("standard-errors", "none");
    const Finished run = RunWith(options);
    ASSERT_EQ(run.refusal, "");
    ASSERT_EQ(run.end, RunEnd::Finished);
    const nlohmann::json dif = SectionOf(run.report, "dif");
    ASSERT_EQ(dif["irt"]["formed"], true);
    const std::string wald = dif["irt"]["wald"].get<std::string>();
    EXPECT_EQ(wald.rfind("not formed: ", 0), 0u) << wald;
    EXPECT_NE(wald.find("--standard-errors none"), std::string::npos) << wald;
    const nlohmann::json& tables = dif["comparisons"][0]["tables"];
    ASSERT_EQ(tables.size(), 1u);
    EXPECT_EQ(tables[0]["method"], "irt");
    EXPECT_NEAR(tables[0]["rows"][0]["statistic"].get<double>(), kOpenMxEqual - kOpenMxFree[0],
                0.02);
    const ReportSection* section = FindSection(run.report, "dif");
    ASSERT_NE(section, nullptr);
    bool said = false;
    for (const std::string& line : section->summary) {
        said = said || line.find(
                           "Lord's Wald test is not formed: the run asks for no standard "
                           "errors") != std::string::npos;
    }
    EXPECT_TRUE(said);
}

// The MH screen's category C items are freed, and the report says so.
TEST(FreeItemsRun, FreeDifFreesWhatMantelHaenszelPutsInCategoryC) {
    test_support::TempDir dir;
    Options options = Spi2pl(DataFile("spi_neuro10_binary.dat"), 10, dir.File("dif.csv"));
    options.emplace_back("free-dif", "yes");
    const Finished run = RunWith(options);
    ASSERT_EQ(run.refusal, "");
    ASSERT_EQ(run.end, RunEnd::Finished);
    const nlohmann::json dif = SectionOf(run.report, "dif");
    std::vector<int> inC;
    for (const nlohmann::json& row : dif["comparisons"][0]["tables"][0]["rows"]) {
        if (row["category"] == "C") inC.push_back(row["item"].get<int>());
    }
    const nlohmann::json freed = SectionOf(run.report, "free_items");
    ASSERT_EQ(freed["items"].size(), inC.size()) << freed.dump();
    for (std::size_t k = 0; k < inC.size(); ++k) {
        EXPECT_EQ(freed["items"][k]["item"], inC[k]);
        EXPECT_NE(freed["items"][k]["why"].get<std::string>().find("category C"),
                  std::string::npos);
    }
    EXPECT_EQ(run.report.itemRows.size(), 10 + inC.size());
}

}  // namespace
}  // namespace tarvo
