// The report of a mixed run (30 right/wrong 3PL items beside 10 GRM items
// scored 0..3, the golden set) judges every item by the model that produced
// it: no warning the data do not give, the true ones still given, and the
// right/wrong statistics those of the right/wrong items alone.
#include <gtest/gtest.h>

#include <cmath>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "core/marginal_models.h"
#include "report/report_flags.h"
#include "report/report_summary.h"
#include "report/run_report.h"
#include "request/option_table.h"
#include "request/request_parser.h"
#include "run/calibration_run.h"
#include "run/polytomous_section.h"
#include "support/run_fixture.h"
#include "support/scripted_host.h"
#include "support/temp_dir.h"

namespace tarvo {
namespace {

using Options = std::vector<std::pair<std::string, std::string>>;

constexpr std::uint32_t kBoundFlags = kItemAAtBound | kItemBAtBound | kItemCAtBound | kItemSeAtCap;

std::string MixedFile() {
    return std::string(TARVO_SOURCE_DIR) + "/tests/golden/polytomous/mixed.dat";
}

// model nullptr: the models come from extra (an item-models file).
RunReport RunMixed(const std::string& responses, int items, const std::string& output,
                   const char* model, const std::string& scoreTable = "",
                   const Options& extra = {}) {
    Options options = {{"response-file", responses},
                       {"item-count", std::to_string(items)},
                       {"response-start", "20"},
                       {"examinee-id-start", "1"},
                       {"examinee-id-length", "8"},
                       {"output-file", output},
                       {"method", "mml"},
                       // Three threads whatever the machine: the threaded
                       // E-step and information run under ThreadSanitizer here.
                       {"threads", "3"}};
    if (model != nullptr) options.emplace_back("model", model);
    if (!scoreTable.empty()) options.emplace_back("score-table", scoreTable);
    options.insert(options.end(), extra.begin(), extra.end());
    request::RequestTexts texts;
    for (const auto& [name, value] : options) {
        EXPECT_EQ(request::ApplyOption(name, value, texts), "") << name;
    }
    const request::RequestCheck check = request::ParseRequest(texts);
    RunReport report;
    if (!check.request) {
        ADD_FAILURE() << "the request was refused";
        return report;
    }
    test_support::ScriptedHost host;
    EXPECT_EQ(RunCalibration(*check.request, host, &report), RunEnd::Finished);
    return report;
}

const ReportSection* SectionOf(const RunReport& report, const char* key) {
    for (const ReportSection& section : report.sections) {
        if (section.key == key) return &section;
    }
    return nullptr;
}

bool Mentions(const RunReport& report, const char* words) {
    for (const std::string& warning : report.warnings) {
        if (warning.find(words) != std::string::npos) return true;
    }
    return false;
}

TEST(PolytomousReport, MixedRunJudgesEveryItemByItsOwnModel) {
    const test_support::TempDir dir;
    const RunReport mixed =
        RunMixed(MixedFile(), 40, dir.File("mixed.csv"), "grm", dir.File("scores.csv"));
    ASSERT_EQ(mixed.itemRows.size(), 40u);
    EXPECT_EQ(mixed.model, "grm");
    EXPECT_EQ(mixed.binaryModel, "3pl");
    const std::string summary = report::SummaryText(mixed);
    EXPECT_NE(summary.find("Marginal (grm, right/wrong items 3pl): log-likelihood"),
              std::string::npos)
        << summary;
    EXPECT_NE(summary.find("alpha (KR-20 over the 30 right/wrong items)"), std::string::npos)
        << summary;

    // The right/wrong items' statistics are those of a run of them alone.
    const RunReport alone = RunMixed(MixedFile(), 30, dir.File("alone.csv"), "3pl");
    ASSERT_EQ(alone.itemRows.size(), 30u);
    EXPECT_EQ(alone.kr20Items, -1);
    EXPECT_DOUBLE_EQ(mixed.alpha, alone.alpha);
    EXPECT_EQ(mixed.kr20Items, 30);
    for (std::size_t i = 0; i < 30; ++i) {
        EXPECT_DOUBLE_EQ(mixed.itemRows[i].pValue, alone.itemRows[i].pValue) << i + 1;
        EXPECT_DOUBLE_EQ(mixed.itemRows[i].itemRest, alone.itemRows[i].itemRest) << i + 1;
        EXPECT_EQ(mixed.itemRows[i].flags & kItemNegativeDiscrimination,
                  alone.itemRows[i].flags & kItemNegativeDiscrimination)
            << i + 1;
    }

    // The GRM items: correlated by score as the polytomous section does it,
    // inside their own ranges and so without a flag.
    const ReportSection* section = SectionOf(mixed, "polytomous");
    ASSERT_NE(section, nullptr);
    const nlohmann::json rows = nlohmann::json::parse(section->json).at("items");
    for (std::size_t i = 30; i < 40; ++i) {
        const ItemReport& item = mixed.itemRows[i];
        EXPECT_NEAR(item.itemRest, rows.at(i).at("item_rest_correlation").get<double>(), 1e-12)
            << i + 1;
        EXPECT_TRUE(std::isnan(item.pValue)) << i + 1;
        ASSERT_TRUE(std::abs(item.a) < 8) << i + 1;
        for (const auto& b : rows.at(i).at("thresholds")) {
            ASSERT_TRUE(std::abs(b.get<double>()) < 10) << i + 1;
        }
        EXPECT_EQ(item.flags, 0u) << i + 1;
    }
    // Every item has its S-X2 by its own model, on the generating models'
    // data with at most one misfit.
    const ReportSection* fit = SectionOf(mixed, "fit");
    ASSERT_NE(fit, nullptr);
    ASSERT_EQ(fit->itemMembers.size(), 40u);
    // Joining sparse cells across the table (rpf's rule) lets one item of
    // the 40 reach the flag.
    EXPECT_LE(nlohmann::json::parse(fit->json).at("misfitting_items").get<int>(), 1);
    for (std::size_t i = 0; i < 40; ++i) {
        const nlohmann::json members = nlohmann::json::parse("{" + fit->itemMembers[i] + "}");
        const nlohmann::json& item = members.at("fit");
        EXPECT_EQ(item.at("model"), i < 30 ? "3pl" : "grm") << i + 1;
        EXPECT_GT(item.at("s_x2").get<double>(), 0) << i + 1;
        EXPECT_GT(item.at("df").get<int>(), 0) << i + 1;
        EXPECT_GE(item.at("p_adjusted").get<double>(), item.at("p").get<double>()) << i + 1;
    }
    EXPECT_NE(summary.find(" of 40 items misfitting by S-X2"), std::string::npos) << summary;
    // The residual statistics of every item and examinee, each item by its
    // own model: on the generating models' data infit near 1 and few
    // examinees below lz -1.96.
    const nlohmann::json fitSection = nlohmann::json::parse(fit->json);
    EXPECT_EQ(fitSection.at("examinee_misfit_rule"), "lz below -1.96");
    for (std::size_t i = 0; i < 40; ++i) {
        const nlohmann::json item =
            nlohmann::json::parse("{" + fit->itemMembers[i] + "}").at("fit");
        EXPECT_NEAR(item.at("infit").get<double>(), 1, 0.3) << i + 1;
        // Outfit of a steep 3PL item at EAP scores runs low (0.5 here).
        EXPECT_GT(item.at("outfit").get<double>(), 0.4) << i + 1;
        EXPECT_EQ(item.at("group_residuals").size(), 10u) << i + 1;
    }
    ASSERT_EQ(fit->personMembers.size(), 400u);
    std::size_t withLz = 0;
    for (const std::string& person : fit->personMembers) {
        withLz += nlohmann::json::parse("{" + person + "}").at("fit").at("lz").is_number();
    }
    EXPECT_GT(withLz, 390u);
    EXPECT_LT(fitSection.at("misfitting_examinees").get<int>(), 40);
    // Q3 of every pair, and the model's fit with each item's parameters:
    // the 3PL's a, b and c, the GRM's a and three thresholds.
    const nlohmann::json q3 = nlohmann::json::parse(SectionOf(mixed, "local_dependence")->json);
    EXPECT_EQ(q3.at("defined_pairs").get<int>(), 40 * 39 / 2);
    EXPECT_EQ(q3.at("matrix").size(), 40u);
    EXPECT_TRUE(q3.at("note").is_null());
    const nlohmann::json model = nlohmann::json::parse(SectionOf(mixed, "model_fit")->json);
    ASSERT_TRUE(model.at("defined").get<bool>());
    EXPECT_EQ(model.at("parameters").get<int>(), 30 * 3 + 10 * 4);
    EXPECT_EQ(model.at("examinees").get<int>(), 400);
    EXPECT_DOUBLE_EQ(model.at("minus_2_log_likelihood").get<double>(), -2 * mixed.logLikelihood);
    EXPECT_DOUBLE_EQ(model.at("aic").get<double>(), -2 * mixed.logLikelihood + 2 * 130);
    // The 3PL items' priors acted: the fit is the penalised maximum's.
    EXPECT_NE(summary.find("Model fit at the penalised maximum (priors acted): -2LL"),
              std::string::npos)
        << summary;
    EXPECT_FALSE(Mentions(mixed, "discriminate negatively")) << summary;
    EXPECT_FALSE(Mentions(mixed, "at a bound")) << summary;
    // An examinee's raw score is the summed score, up to the most of the
    // items answered.
    bool aboveValid = false;
    for (const PersonReport& person : mixed.personRows) {
        EXPECT_LE(person.rawScore, person.maxScore) << person.examinId;
        aboveValid = aboveValid || person.rawScore > person.nvalid;
    }
    EXPECT_TRUE(aboveValid) << "scores of 2 and 3 count as such";

    // The score table counts the summed score, 0 .. 30 + 10 * 3.
    ASSERT_TRUE(mixed.summedScores);
    const std::vector<linking::ScoreRow>& table = mixed.summedScores->rows;
    ASSERT_EQ(table.size(), 61u);
    EXPECT_EQ(test_support::CrLfLines(test_support::ReadFile(dir.File("scores.csv"))).size(), 62u);
    double total = 0;
    for (std::size_t s = 0; s < table.size(); ++s) {
        total += table[s].proportion;
        if (s > 0) {
            EXPECT_GT(table[s].eap, table[s - 1].eap) << s;
        }
        if (s >= 20 && s < 60) {
            EXPECT_TRUE(std::isfinite(table[s].ml)) << s;
        }
    }
    EXPECT_NEAR(total, 1, 1e-12);
    EXPECT_TRUE(std::isnan(table.back().ml));
    const linking::TestCurves& curves = mixed.summedScores->curves;
    EXPECT_GT(curves.expected.back(), 55);
    EXPECT_LT(curves.expected.back(), 60);
}

// An item-models file giving the right/wrong items the 2PL: no item has a
// c, so none is judged by the 3PL's c, its prior is not named as acting
// and the model line names the items' own model.
TEST(PolytomousReport, ItemModelsFileJudgesRightWrongItemsByTheirOwnModel) {
    const test_support::TempDir dir;
    std::string lines;
    for (int i = 0; i < 40; ++i) lines += i < 30 ? "2pl\n" : "grm\n";
    test_support::WriteFile(dir.File("models.txt"), lines);
    const RunReport report = RunMixed(MixedFile(), 40, dir.File("mixed.csv"), nullptr, "",
                                      {{"item-models", dir.File("models.txt")}});
    ASSERT_EQ(report.itemRows.size(), 40u);
    for (std::size_t i = 0; i < 30; ++i) {
        EXPECT_EQ(report.itemRows[i].model, "2pl");
        EXPECT_EQ(report.itemRows[i].c, 0) << i + 1;
        EXPECT_EQ(report.itemRows[i].flags & kItemCAtBound, 0u) << i + 1;
    }
    EXPECT_FALSE(Mentions(report, "at a bound")) << report::SummaryText(report);
    EXPECT_EQ(report.binaryModel, "2pl");
    const std::string summary = report::SummaryText(report);
    EXPECT_NE(summary.find("Marginal (per-item, right/wrong items 2pl)"), std::string::npos)
        << summary;
    // The slope's prior acts on the 2PL items; the c's on none.
    EXPECT_NE(summary.find("priors: a: log-normal"), std::string::npos) << summary;
    EXPECT_EQ(summary.find("Beta("), std::string::npos) << summary;

    // Two right/wrong models side by side: each named, each judged by its own.
    lines.clear();
    for (int i = 0; i < 40; ++i) lines += i < 15 ? "3pl\n" : i < 30 ? "2pl\n" : "grm\n";
    test_support::WriteFile(dir.File("both.txt"), lines);
    const RunReport both = RunMixed(MixedFile(), 40, dir.File("both.csv"), nullptr, "",
                                    {{"item-models", dir.File("both.txt")}});
    ASSERT_EQ(both.itemRows.size(), 40u);
    EXPECT_EQ(both.binaryModel, "3pl, 2pl");
    EXPECT_NE(report::SummaryText(both).find("c: beta Beta(5, 17)"), std::string::npos);
    for (std::size_t i = 15; i < 30; ++i) {
        EXPECT_EQ(both.itemRows[i].flags & kItemCAtBound, 0u) << i + 1;
        EXPECT_FALSE(report::JudgementOf(both, both.itemRows[i]).c.estimated) << i + 1;
    }
    EXPECT_TRUE(report::JudgementOf(both, both.itemRows[0]).c.estimated);
}

TEST(PolytomousReport, ReverseScoredItemIsStillFlaggedNegative) {
    const test_support::TempDir dir;
    // Item 31 (column 50) scored the other way round: 3 - x.
    std::string text = test_support::ReadFile(MixedFile());
    ASSERT_FALSE(text.empty());
    std::size_t reversed = 0;
    for (std::size_t end = text.find('\n'); end != std::string::npos;
         end = text.find('\n', end + 1)) {
        const std::size_t at = end + 1 + 49;
        if (at >= text.size()) break;
        if (text[at] >= '0' && text[at] <= '3') {
            text[at] = static_cast<char>('3' - (text[at] - '0'));
            ++reversed;
        }
    }
    ASSERT_GT(reversed, 300u);
    const std::string responses = dir.File("reversed.dat");
    test_support::WriteFile(responses, text);

    const RunReport report = RunMixed(responses, 40, dir.File("reversed.csv"), "grm");
    ASSERT_EQ(report.itemRows.size(), 40u);
    const ItemReport& item = report.itemRows[30];
    EXPECT_LT(item.itemRest, 0);
    EXPECT_EQ(item.flags & kItemNegativeDiscrimination, kItemNegativeDiscrimination);
    for (std::size_t i = 31; i < 40; ++i) {
        EXPECT_EQ(report.itemRows[i].flags & (kItemNegativeDiscrimination | kBoundFlags), 0u)
            << i + 1;
    }
    bool listed = false;
    for (const std::string& warning : report.warnings) {
        if (warning.find("discriminates negatively") == std::string::npos) continue;
        listed = warning.find("item 31 has") != std::string::npos;
    }
    EXPECT_TRUE(listed);
    // The polytomous section's warning names the one flagged item as one.
    EXPECT_TRUE(Mentions(report, "Item 31 has a flag of its categories or thresholds ("))
        << report::SummaryText(report);
}

// A right/wrong item every examinee answered right (item 1), and one every
// examinee answered wrong (item 2), beside graded items: the likelihood
// rises without end as b runs off, so b ends far beyond any ability (its
// intercept has no bound to hold it), its cell printed at the widest it
// holds, and the report flags it as all correct or all wrong, not as on a
// bound; the other items are not dragged along.
TEST(PolytomousReport, RightWrongItemAllRightOrAllWrongStopsOnItsBoundAndIsFlagged) {
    const test_support::TempDir dir;
    std::string text = test_support::ReadFile(MixedFile());
    ASSERT_FALSE(text.empty());
    std::size_t rows = 0;
    for (std::size_t end = text.find('\n'); end != std::string::npos;
         end = text.find('\n', end + 1)) {
        const std::size_t at = end + 1 + 19;
        if (at + 1 >= text.size()) break;
        text[at] = '1';
        text[at + 1] = '0';
        ++rows;
    }
    ASSERT_GT(rows, 300u);
    const std::string responses = dir.File("alike.dat");
    test_support::WriteFile(responses, text);

    for (const char* binary : {"3pl", "2pl"}) {
        SCOPED_TRACE(binary);
        const RunReport report =
            RunMixed(responses, 40, dir.File("alike.csv"), "grm", "", {{"binary-model", binary}});
        ASSERT_EQ(report.itemRows.size(), 40u);
        const ItemReport& right = report.itemRows[0];
        const ItemReport& wrong = report.itemRows[1];
        EXPECT_EQ(right.pValue, 1);
        EXPECT_EQ(wrong.pValue, 0);
        EXPECT_LT(right.b, -10);
        EXPECT_GT(wrong.b, 10);
        EXPECT_EQ(right.flags & (kItemAllCorrect | kItemBAtBound), kItemAllCorrect);
        EXPECT_EQ(wrong.flags & (kItemAllWrong | kItemBAtBound), kItemAllWrong);
        const std::string result = test_support::ReadFile(dir.File("alike.csv"));
        const std::size_t rowOne = result.find("\r\n") + 2;
        const std::size_t rowThree = result.find("\r\n", result.find("\r\n", rowOne) + 2) + 2;
        // Items 1 and 2's rows: every number in its seven-character cell.
        std::stringstream rowsOfItems(result.substr(rowOne, rowThree - rowOne));
        for (std::string cell; std::getline(rowsOfItems, cell, ',');) {
            if (cell.find('\r') != std::string::npos) cell = cell.substr(0, cell.find('\r'));
            if (cell.find('.') == std::string::npos) continue;
            EXPECT_LE(std::abs(std::stod(cell)), 99.999) << cell;
            EXPECT_LE(cell.size(), 7u) << cell;
        }
        // The other right/wrong items stay inside their ranges.
        for (std::size_t i = 2; i < 30; ++i) {
            EXPECT_GT(report.itemRows[i].b, kMarginalB.lowest) << i + 1;
            EXPECT_LT(report.itemRows[i].b, kMarginalB.highest) << i + 1;
        }
        EXPECT_TRUE(Mentions(report, "2 items were answered alike by everyone who answered"))
            << report::SummaryText(report);
    }
}

// The section's flags at their limits: a category of 10 responses is not
// rare and one of 9 is; partial-credit steps out of order are flagged, in
// order they are not.
TEST(PolytomousSection, FlagsRareCategoriesAndPartialCreditStepsOutOfOrder) {
    // 30 examinees: items 1 and 2 take 0, 1 and 2 ten times each; item 3
    // nine 0s, eleven 1s and ten 2s.
    PersonTable persons;
    persons.itemCount = 3;
    for (int j = 0; j < 30; ++j) {
        const auto score = static_cast<std::uint8_t>(j / 10);
        const auto third = static_cast<std::uint8_t>(j < 9 ? 0 : j < 20 ? 1 : 2);
        persons.responses.insert(persons.responses.end(), {score, score, third});
        persons.ExaminID.push_back("P" + std::to_string(j + 1));
        persons.theta.push_back(0);
        persons.seetheta.push_back(0);
        persons.Nvalid.push_back(3);
    }
    ItemTable items(3);
    for (double& a : items.a) a = 1;
    EstimationOutcome outcome;
    outcome.categories = {3, 3, 3};
    outcome.itemModels = {"gpcm", "gpcm", "grm"};
    outcome.thresholds = {{-1, 1}, {1, -1}, {-1, 1}};
    const ReportSection section = PolytomousSection(items, persons, outcome);
    const nlohmann::json rows = nlohmann::json::parse(section.json).at("items");
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].at("flags"), nlohmann::json::array());
    EXPECT_EQ(rows[1].at("flags"), nlohmann::json::array({"disordered_steps"}));
    EXPECT_EQ(rows[2].at("category_counts"), nlohmann::json::array({9, 11, 10}));
    EXPECT_EQ(rows[2].at("flags"), nlohmann::json::array({"rare_category"}));
    ASSERT_EQ(section.warnings.size(), 1u);
    EXPECT_EQ(section.warnings[0].rfind("Items 2, 3 have a flag of their categories", 0), 0u)
        << section.warnings[0];
}

}  // namespace
}  // namespace tarvo
