// The option analysis of a keyed run, end to end: the raw options of a
// public multiple-choice set read with its key file, counted and correlated
// as an independent calculation in R does it, in the report's plain data and
// its JSON section, while the result file stays as a run without it writes.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "platform/control_ids.h"
#include "report/report_json.h"
#include "sample_layout.h"
#include "support/run_fixture.h"
#include "support/run_request.h"
#include "support/temp_dir.h"

namespace tarvo {
namespace {

namespace id = control;

const std::filesystem::path kOptions =
    std::filesystem::path(TARVO_SOURCE_DIR) / "tests" / "data" / "options";

struct ExpectedOption {
    int item;  // 1-based
    char code;
    std::size_t count;
    double proportion;
    double pointBiserial;
};

// iqitems (psychTools 2.2.9) scored by its published key 4446634452243267:
// per item and code given (a blank: no response), the count, count / 1525,
// and cor(chose, rest) with rest the number right on the other 15 items.
// Made by bench/reference/option_analysis_iqitems.R with
// R version 4.2.2 Patched (2022-11-10 r83330): base R's table(useNA = "ifany")
// and cor, printed with %.17g.
const std::vector<ExpectedOption> kFromR = {
    {1, '0', 81, 0.053114754098360653, -0.22190720443618719},
    {1, '1', 69, 0.045245901639344263, -0.11914524229909804},
    {1, '2', 170, 0.11147540983606558, -0.23392470519440012},
    {1, '3', 159, 0.10426229508196722, -0.1997561851137937},
    {1, '4', 975, 0.63934426229508201, 0.50312801802060547},
    {1, '5', 44, 0.028852459016393443, -0.12052425092818526},
    {1, '6', 25, 0.016393442622950821, -0.082229721914862428},
    {1, ' ', 2, 0.0013114754098360656, -0.049338886552332248},
    {2, '0', 61, 0.040000000000000001, -0.2703662972002881},
    {2, '1', 97, 0.063606557377049178, -0.18118927576407445},
    {2, '2', 128, 0.083934426229508197, -0.19141531860829972},
    {2, '3', 156, 0.10229508196721311, -0.14566485032334964},
    {2, '4', 1064, 0.69770491803278689, 0.44502653163331074},
    {2, '5', 12, 0.0078688524590163934, -0.070485405582529775},
    {2, '6', 6, 0.0039344262295081967, -0.048380661097272279},
    {2, ' ', 1, 0.00065573770491803279, -0.027487826832595246},
    {3, '0', 83, 0.05442622950819672, -0.22375752617796116},
    {3, '1', 48, 0.031475409836065574, -0.14274912440765675},
    {3, '2', 74, 0.048524590163934428, -0.22891842559116607},
    {3, '3', 45, 0.029508196721311476, -0.15195971159575031},
    {3, '4', 1062, 0.69639344262295078, 0.50538327257177285},
    {3, '5', 51, 0.033442622950819671, -0.14186204758768525},
    {3, '6', 160, 0.10491803278688525, -0.17793609648452779},
    {3, ' ', 2, 0.0013114754098360656, -0.048655143281509342},
    {4, '0', 67, 0.043934426229508196, -0.26304515796161898},
    {4, '1', 32, 0.020983606557377049, -0.08471816194960563},
    {4, '2', 202, 0.13245901639344262, -0.18865196687001703},
    {4, '3', 48, 0.031475409836065574, -0.13282228894055809},
    {4, '4', 92, 0.06032786885245902, -0.038507551357003317},
    {4, '5', 145, 0.095081967213114751, -0.21799781005109459},
    {4, '6', 937, 0.6144262295081967, 0.46863077751809201},
    {4, ' ', 2, 0.0013114754098360656, -0.049421068715486224},
    {5, '0', 83, 0.05442622950819672, -0.25801271650454799},
    {5, '1', 22, 0.014426229508196721, -0.11554290781438292},
    {5, '2', 77, 0.050491803278688525, -0.1710558535070163},
    {5, '3', 44, 0.028852459016393443, -0.13682536298506418},
    {5, '4', 174, 0.11409836065573771, -0.20555237042497509},
    {5, '5', 210, 0.13770491803278689, -0.12773239649281623},
    {5, '6', 914, 0.59934426229508198, 0.49610280675287666},
    {5, ' ', 1, 0.00065573770491803279, -0.041898781131780048},
    {6, '0', 85, 0.055737704918032788, -0.26029082751688298},
    {6, '1', 151, 0.099016393442622946, -0.16417919125590724},
    {6, '2', 192, 0.12590163934426229, -0.19724183596916897},
    {6, '3', 870, 0.57049180327868854, 0.46530893442209414},
    {6, '4', 59, 0.038688524590163934, -0.023199541954039185},
    {6, '5', 135, 0.088524590163934422, -0.12481842428776982},
    {6, '6', 31, 0.020327868852459016, -0.10212034064927282},
    {6, ' ', 2, 0.0013114754098360656, -0.049878334951432589},
    {7, '0', 68, 0.044590163934426233, -0.25360338049963133},
    {7, '1', 143, 0.093770491803278691, -0.18665334505584222},
    {7, '2', 106, 0.069508196721311477, -0.23505224719192533},
    {7, '3', 167, 0.10950819672131147, -0.21462286470319908},
    {7, '4', 934, 0.61245901639344258, 0.50976825299560946},
    {7, '5', 80, 0.052459016393442623, -0.02788744853094648},
    {7, '6', 25, 0.016393442622950821, -0.053416703574623137},
    {7, ' ', 2, 0.0013114754098360656, -0.04968835688892604},
    {8, '0', 87, 0.057049180327868855, -0.23179276051590555},
    {8, '1', 213, 0.13967213114754098, -0.11588848023838721},
    {8, '2', 142, 0.093114754098360661, -0.17788829805946399},
    {8, '3', 138, 0.090491803278688526, -0.16006362055241782},
    {8, '4', 677, 0.44393442622950818, 0.48439805899236804},
    {8, '5', 248, 0.16262295081967212, -0.11649483807910617},
    {8, '6', 20, 0.013114754098360656, -0.053934782560296685},
    {9, '0', 65, 0.042622950819672129, -0.25819493879949212},
    {9, '1', 17, 0.011147540983606558, -0.12049390080041172},
    {9, '2', 92, 0.06032786885245902, -0.11732368037468176},
    {9, '3', 218, 0.14295081967213114, -0.1158203122360156},
    {9, '4', 269, 0.17639344262295081, -0.12979233755738362},
    {9, '5', 801, 0.52524590163934426, 0.41107044003119286},
    {9, '6', 61, 0.040000000000000001, -0.10569057660408383},
    {9, ' ', 2, 0.0013114754098360656, -0.050004271294735621},
    {10, '0', 54, 0.035409836065573769, -0.24755537326487509},
    {10, '1', 188, 0.12327868852459016, -0.018129069505785429},
    {10, '2', 838, 0.54950819672131146, 0.41588185344737222},
    {10, '3', 112, 0.073442622950819672, -0.20223468709295928},
    {10, '4', 168, 0.11016393442622952, -0.10329467349835052},
    {10, '5', 94, 0.06163934426229508, -0.18529532649293701},
    {10, '6', 70, 0.045901639344262293, -0.11695824078845479},
    {10, ' ', 1, 0.00065573770491803279, -0.041868328636334121},
    {11, '0', 58, 0.038032786885245903, -0.26101370145143143},
    {11, '1', 74, 0.048524590163934428, -0.13935292610769018},
    {11, '2', 935, 0.61311475409836069, 0.4568550110283579},
    {11, '3', 101, 0.066229508196721312, -0.20154243780911876},
    {11, '4', 174, 0.11409836065573771, -0.11048457122085668},
    {11, '5', 86, 0.056393442622950818, -0.1116387783782176},
    {11, '6', 95, 0.062295081967213117, -0.12350814666996174},
    {11, ' ', 2, 0.0013114754098360656, -0.049365762230495006},
    {12, '0', 65, 0.042622950819672129, -0.24043278680408844},
    {12, '1', 37, 0.024262295081967214, -0.097452444159081678},
    {12, '2', 268, 0.17573770491803278, -0.0044777136306107385},
    {12, '3', 208, 0.13639344262295083, -0.10094064931445505},
    {12, '4', 570, 0.3737704918032787, 0.34461588091393724},
    {12, '5', 106, 0.069508196721311477, -0.10293712804903363},
    {12, '6', 270, 0.17704918032786884, -0.10448975320342857},
    {12, ' ', 1, 0.00065573770491803279, -0.029392265486913427},
    {13, '0', 67, 0.043934426229508196, -0.2736903737991882},
    {13, '1', 45, 0.029508196721311476, -0.080231178273810905},
    {13, '2', 67, 0.043934426229508196, 0.0021799629053609296},
    {13, '3', 295, 0.19344262295081968, 0.43305761788361463},
    {13, '4', 337, 0.22098360655737706, 0.057750438891256271},
    {13, '5', 229, 0.1501639344262295, -0.17516473987071701},
    {13, '6', 83, 0.05442622950819672, 0.036851088724063306},
    {13, '7', 177, 0.1160655737704918, -0.11059379549811385},
    {13, '8', 223, 0.14622950819672131, -0.096948281873346615},
    {13, ' ', 2, 0.0013114754098360656, -0.052530818346362633},
    {14, '0', 63, 0.041311475409836068, -0.27031766501809124},
    {14, '1', 39, 0.025573770491803278, -0.047261534732464285},
    {14, '2', 324, 0.21245901639344261, 0.48072035746007258},
    {14, '3', 76, 0.049836065573770495, -0.08713285524743225},
    {14, '4', 281, 0.1842622950819672, -0.026419170993796544},
    {14, '5', 67, 0.043934426229508196, -0.027422283634881979},
    {14, '6', 58, 0.038032786885245903, -0.040469926121030432},
    {14, '7', 383, 0.25114754098360653, -0.11237066726370114},
    {14, '8', 232, 0.15213114754098361, -0.11743690462553118},
    {14, ' ', 2, 0.0013114754098360656, -0.052703622446992913},
    {15, '0', 67, 0.043934426229508196, -0.29625078741045086},
    {15, '1', 337, 0.22098360655737706, -0.094508375698090008},
    {15, '2', 37, 0.024262295081967214, -0.049407602270292152},
    {15, '3', 69, 0.045245901639344263, -0.022473938641085711},
    {15, '4', 207, 0.13573770491803278, -0.067856799573168203},
    {15, '5', 72, 0.047213114754098361, -0.09984365918157985},
    {15, '6', 456, 0.29901639344262293, 0.46917153844091813},
    {15, '7', 64, 0.041967213114754098, -0.0542909973748942},
    {15, '8', 214, 0.14032786885245901, -0.13072592021962953},
    {15, ' ', 2, 0.0013114754098360656, -0.052194584838259027},
    {16, '0', 64, 0.041967213114754098, -0.2574212123108735},
    {16, '1', 47, 0.03081967213114754, -0.060422596292631942},
    {16, '2', 320, 0.20983606557377049, 0.0057766034960819463},
    {16, '3', 104, 0.068196721311475417, -0.026430712426756355},
    {16, '4', 242, 0.15868852459016394, 0.09155159009314226},
    {16, '5', 74, 0.048524590163934428, -0.14742435977687182},
    {16, '6', 193, 0.12655737704918033, -0.10854540123677615},
    {16, '7', 282, 0.18491803278688523, 0.40246718975176082},
    {16, '8', 198, 0.1298360655737705, -0.1629925364278042},
    {16, ' ', 1, 0.00065573770491803279, -0.030479310364195013},
};

test_support::ScriptedHost IqitemsHost(const test_support::TempDir& dir, int mode) {
    test_support::ScriptedHost host;
    host.mode = mode;
    host.texts =
        sim::SampleControlTexts(16, (kOptions / "iqitems.dat").string(), "", dir.File("out.csv"));
    host.texts[id::kKeyFile] = (kOptions / "iqitems.key").string();
    host.answerYes = false;  // no standardising
    return host;
}

TEST(OptionAnalysisRun, CountsProportionsAndPointBiserialsAgreeWithR) {
    test_support::TempDir dir;
    test_support::ScriptedHost host = IqitemsHost(dir, 3);
    RunReport report;
    ASSERT_EQ(test_support::RunClassic(host, &report), RunEnd::Finished);
    ASSERT_TRUE(report.options.has_value());
    const report::OptionAnalysis& analysis = *report.options;
    EXPECT_EQ(analysis.abilityName, "theta");
    EXPECT_EQ(analysis.correlatedWith, "rest score");
    EXPECT_EQ(analysis.examinees, 1525u);
    ASSERT_EQ(analysis.items.size(), 16u);
    std::size_t compared = 0;
    for (const ExpectedOption& expected : kFromR) {
        const report::OptionItem& item = analysis.items[expected.item - 1];
        EXPECT_EQ(item.key, "4446634452243267"[expected.item - 1]);
        const report::OptionRow* found = nullptr;
        for (const report::OptionRow& row : item.options) {
            if (row.code == expected.code) found = &row;
        }
        ASSERT_NE(found, nullptr) << expected.item << " " << expected.code;
        EXPECT_EQ(found->count, expected.count) << expected.item << " " << expected.code;
        EXPECT_NEAR(found->proportion, expected.proportion, 1e-9);
        EXPECT_NEAR(found->pointBiserial, expected.pointBiserial, 1e-9)
            << expected.item << " " << expected.code;
        ++compared;
    }
    EXPECT_EQ(compared, kFromR.size());
    // Every code R saw and no other: each item's options are R's rows.
    std::size_t rows = 0;
    for (const report::OptionItem& item : analysis.items) rows += item.options.size();
    EXPECT_EQ(rows, kFromR.size());

    // The groups share every examinee with a theta, and a wrong option's
    // share of a group is what the counts say.
    std::size_t grouped = 0;
    for (const std::size_t size : analysis.groupSize) grouped += size;
    EXPECT_EQ(analysis.groups, 5u);
    EXPECT_GT(grouped, 1500u);
    for (std::size_t g = 1; g < analysis.groups; ++g) {
        EXPECT_GT(analysis.groupMeanAbility[g], analysis.groupMeanAbility[g - 1]);
    }
}

TEST(OptionAnalysisRun, TheSectionIsInTheJsonAndTheResultFileDoesNotChange) {
    test_support::TempDir dir;
    test_support::ScriptedHost plain = IqitemsHost(dir, 3);
    ASSERT_EQ(test_support::RunClassic(plain), RunEnd::Finished);
    const std::string without = test_support::ReadFile(dir.File("out.csv"));

    test_support::ScriptedHost host = IqitemsHost(dir, 3);
    RunReport report;
    ASSERT_EQ(test_support::RunClassic(host, &report), RunEnd::Finished);
    EXPECT_EQ(test_support::ReadFile(dir.File("out.csv")), without);

    const nlohmann::json json = nlohmann::json::parse(report::ReportJson(report));
    ASSERT_TRUE(json.contains("options"));
    const auto& options = json["options"];
    EXPECT_EQ(options["ability"], "theta");
    EXPECT_EQ(options["correlated_with"], "rest score");
    ASSERT_EQ(options["items"].size(), 16u);
    const auto& first = options["items"][0];
    EXPECT_EQ(first["key"], "4");
    // The package's blank cells are their own row, named, and no response.
    bool blankSeen = false;
    for (const auto& option : first["options"]) {
        if (option["code"] != "blank") continue;
        blankSeen = true;
        EXPECT_TRUE(option["missing"].get<bool>());
        EXPECT_EQ(option["count"], 2);
    }
    EXPECT_TRUE(blankSeen);
}

TEST(OptionAnalysisRun, WithoutAKeyThereIsNoAnalysisAndAStoppedRunGroupsByTotalScore) {
    test_support::TempDir dir;
    test_support::ScriptedHost unkeyed = IqitemsHost(dir, 3);
    unkeyed.texts.erase(id::kKeyFile);
    RunReport report;
    test_support::RunClassic(unkeyed, &report);
    EXPECT_FALSE(report.options.has_value());
    const nlohmann::json json = nlohmann::json::parse(report::ReportJson(report));
    EXPECT_FALSE(json.contains("options"));

    // A run stopped in its estimation has no abilities to group by: the
    // total score serves, and the counts are the same.
    test_support::ScriptedHost whole = IqitemsHost(dir, 3);
    RunReport wholeReport;
    ASSERT_EQ(test_support::RunClassic(whole, &wholeReport), RunEnd::Finished);
    test_support::ScriptedHost stopped = IqitemsHost(dir, 3);
    stopped.stopAtPoll = whole.polls / 2;
    RunReport stoppedReport;
    ASSERT_EQ(test_support::RunClassic(stopped, &stoppedReport), RunEnd::Stopped);
    ASSERT_TRUE(stoppedReport.options.has_value());
    EXPECT_EQ(stoppedReport.options->abilityName, "total score");
    EXPECT_EQ(stoppedReport.options->items[4].options[2].count,
              wholeReport.options->items[4].options[2].count);
}

TEST(OptionAnalysisRun, AGradedRunShowsEachItemsScoresByAbilityGroup) {
    // bfi_n: 2800 respondents, five items scored 0..5, no key.
    test_support::TempDir dir;
    test_support::ScriptedHost host;
    host.mode = 3;
    const std::filesystem::path data =
        std::filesystem::path(TARVO_SOURCE_DIR) / "tests" / "data" / "polytomous" / "bfi_n.dat";
    host.texts = sim::SampleControlTexts(5, data.string(), "", dir.File("out.csv"));
    MarginalSettings settings;
    settings.polytomous = PolytomousModel::Grm;
    RunReport report;
    ASSERT_EQ(test_support::RunMarginal(host, settings, &report), RunEnd::Finished);
    ASSERT_TRUE(report.options.has_value());
    const report::OptionAnalysis& analysis = *report.options;
    EXPECT_EQ(analysis.abilityName, "theta");
    ASSERT_EQ(analysis.items.size(), 5u);
    for (const report::OptionItem& item : analysis.items) {
        EXPECT_TRUE(item.options.empty());
        ASSERT_EQ(item.categories.size(), 6u);
        std::size_t answered = 0;
        for (const report::CategoryRow& row : item.categories) answered += row.count;
        EXPECT_EQ(answered, static_cast<std::size_t>(report.itemRows[item.item].nobs));
        for (std::size_t g = 0; g < analysis.groups; ++g) {
            double share = 0;
            for (const report::CategoryRow& row : item.categories) share += row.groupProportion[g];
            EXPECT_NEAR(share, 1, 1e-12);
        }
        // The lowest score is the lowest group's most common, the highest
        // the top group's more than the lowest group's.
        EXPECT_GT(item.categories[0].groupProportion[0], item.categories[0].groupProportion[4]);
        EXPECT_GT(item.categories[5].groupProportion[4], item.categories[5].groupProportion[0]);
    }
    const nlohmann::json json = nlohmann::json::parse(report::ReportJson(report));
    EXPECT_EQ(json["options"]["items"][0]["categories"].size(), 6u);
}

}  // namespace
}  // namespace tarvo
