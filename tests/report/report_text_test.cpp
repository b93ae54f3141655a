// Warnings, the summary and the JSON document of a report.
#include <fcntl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <nlohmann/json.hpp>

#include "report/report_builder.h"
#include "report/report_flags.h"
#include "report/report_json.h"
#include "report/report_summary.h"
#include "report/report_warnings.h"
#include "report_test_tables.h"
#include "support/temp_dir.h"

namespace tarvo::report {
namespace {

RunReport JointReport(LoopEnd end, int passes, double lastChange) {
    RunReport report;
    DescribeRun(report, 3);
    report.loop.end = end;
    report.loop.passes = passes;
    report.loop.lastChange = lastChange;
    report.examinees = 1000;
    report.items = 45;
    report.alpha = 0.9004;
    report.empiricalReliability = std::nan("");
    return report;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t from = 0;
    for (std::size_t end; (end = text.find('\n', from)) != std::string::npos; from = end + 1) {
        lines.push_back(text.substr(from, end - from));
    }
    EXPECT_EQ(from, text.size()) << "the last line has no line end";
    return lines;
}

TEST(Summary, SaysHowTheJointLoopEnded) {
    EXPECT_EQ(EndingLine(JointReport(LoopEnd::Settled, 23, 4.1e-11)),
              "Settled after 23 passes (MSError change 4.1e-11).");
    EXPECT_EQ(EndingLine(JointReport(LoopEnd::PassLimit, 101, 8.2e-3)),
              "Not settled: stopped at the pass limit of 101 passes, last MSError change 8.2e-03.");
    RunReport stopped = JointReport(LoopEnd::Stopped, 7, 0);
    stopped.end = RunEnd::Stopped;
    stopped.stopLine = "the result holds the estimates as they stood after pass 6.";
    EXPECT_EQ(EndingLine(stopped),
              "Stopped by the user: the result holds the estimates as they stood after pass 6.");
    // A run without items settles at once; it says why nothing was estimated.
    RunReport empty = JointReport(LoopEnd::Settled, 5, 0);
    empty.end = RunEnd::NothingToEstimate;
    empty.error = "the run has no items.";
    EXPECT_EQ(EndingLine(empty), "Nothing was estimated: the run has no items.");
    RunReport check = JointReport(LoopEnd::NotRun, 0, 0);
    check.end = RunEnd::EndedAtCheck;
    EXPECT_EQ(SummaryText(check), "Ended at a check: nothing was estimated.\n");
}

// The input check's findings lead: the report's warnings begin with them
// and the summary shows them before the line on how the run ended; the
// others stay after the statistics.
TEST(Summary, TheInputChecksWarningsComeBeforeTheEndingLine) {
    ReportSources sources;
    sources.end = RunEnd::Finished;
    ReportSection input;
    input.key = "input_check";
    input.leads = true;
    input.warnings = {"the file looks delimited by ';'"};
    ReportSection fit;
    fit.key = "fit";
    fit.warnings = {"item 3 misfits"};
    sources.sections = {fit, input};
    const RunReport report = BuildRunReport(sources);
    ASSERT_EQ(report.leadingWarnings, 1u);
    EXPECT_EQ(report.warnings.front(), "the file looks delimited by ';'");
    EXPECT_EQ(report.warnings.back(), "item 3 misfits");
    const std::vector<std::string> lines = Lines(SummaryText(report));
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[0], "WARNING the file looks delimited by ';'");
    EXPECT_EQ(lines[1], EndingLine(report));
    EXPECT_EQ(lines.back(), "WARNING item 3 misfits");
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "WARNING the file looks delimited by ';'"), 1);
}

// A marginal run that held every item only scored: no cycles, no priors
// to speak of; with the population estimated the cycles did estimate.
TEST(Summary, AScoringOnlyRunSaysItScored) {
    RunReport report = JointReport(LoopEnd::Settled, 2, 0);
    report.method = "mml";
    report.model = "grm";
    report.loop.step = LoopStep::EmCycle;
    report.priors = {"a: log-normal"};
    report.logLikelihood = -9940.285;
    report.itemRows.resize(3);
    for (ItemReport& item : report.itemRows) item.held = true;
    EXPECT_EQ(EndingLine(report),
              "Scored: 1000 examinees, 45 items, every item held at the item file's values.");
    EXPECT_EQ(Lines(SummaryText(report)).at(1), "Marginal (grm): log-likelihood -9940.285.");

    report.population.estimated = true;
    EXPECT_EQ(EndingLine(report), "Settled after 2 EM cycles (largest change 0.0e+00).");
    report.population.estimated = false;
    report.itemRows[1].held = false;
    EXPECT_EQ(EndingLine(report), "Settled after 2 EM cycles (largest change 0.0e+00).");
    EXPECT_EQ(Lines(SummaryText(report)).at(1),
              "Marginal (grm): log-likelihood -9940.285; priors: a: log-normal.");
}

// A count of one takes its words in the singular.
TEST(Summary, CountsOfOneAreSingular) {
    EXPECT_EQ(EndingLine(JointReport(LoopEnd::Settled, 1, 4.1e-11)),
              "Settled after 1 pass (MSError change 4.1e-11).");
    RunReport limit = JointReport(LoopEnd::PassLimit, 1, 8.2e-3);
    limit.loop.passLimit = 1;
    EXPECT_EQ(EndingLine(limit),
              "Not settled: stopped at the pass limit of 1 pass, last MSError change 8.2e-03.");
    ASSERT_EQ(WarningsFor(limit).size(), 1u);
    EXPECT_EQ(WarningsFor(limit)[0].rfind("The estimation did not settle within its limit of 1 "
                                          "pass (last change 8.2e-03), so the estimates are "
                                          "those of the last pass:",
                                          0),
              0u);
    limit.loop.step = LoopStep::EmCycle;
    EXPECT_EQ(EndingLine(limit).rfind("Not settled: stopped at the pass limit of 1 EM cycle,", 0),
              0u);

    RunReport one = JointReport(LoopEnd::NotRun, 0, 0);
    one.examinees = 1;
    one.items = 1;
    one.path = "joint";
    EXPECT_EQ(EndingLine(one), "Finished: 1 examinee, 1 item (joint path).");
    one.kr20Items = 1;
    EXPECT_EQ(Lines(SummaryText(one)).at(1),
              "Reliability: alpha (KR-20 over the 1 right/wrong item) 0.900, empirical n/a.");
    one.kr20Items = 2;
    EXPECT_EQ(Lines(SummaryText(one)).at(1),
              "Reliability: alpha (KR-20 over the 2 right/wrong items) 0.900, empirical n/a.");
}

TEST(Summary, ReliabilitiesRawScoreOrderAndOneLinePerWarning) {
    RunReport report = JointReport(LoopEnd::PassLimit, 101, 8.2e-3);
    report.warnings = {"First.", "Second."};
    std::vector<std::string> lines = Lines(SummaryText(report));
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[1], "Reliability: alpha (KR-20) 0.900, empirical n/a.");
    EXPECT_EQ(lines[2], "WARNING First.");
    EXPECT_EQ(lines[3], "WARNING Second.");

    report.rawScoreOrderInversions = 1;
    report.warnings.clear();
    lines = Lines(SummaryText(report));
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[2], "Raw-score order: 1 pair of raw-score groups out of order.");
}

// Warnings from a report's fields; each case names the sentence's start.
TEST(Warnings, EachCauseGivesOneSentenceAndItsAbsenceNone) {
    auto withItems = [](int count, std::uint32_t flags) {
        RunReport report = JointReport(LoopEnd::Settled, 9, 0);
        for (int i = 1; i <= count; ++i) {
            ItemReport item;
            item.seqItem = i;
            item.flags = flags;
            report.itemRows.push_back(item);
        }
        return report;
    };
    EXPECT_TRUE(WarningsFor(withItems(3, 0)).empty());

    auto only = [](const RunReport& report) {
        const auto warnings = WarningsFor(report);
        EXPECT_EQ(warnings.size(), 1u);
        return warnings.empty() ? std::string() : warnings[0];
    };
    EXPECT_EQ(only(JointReport(LoopEnd::PassLimit, 101, 8.2e-3))
                  .rfind("The estimation did not settle within its limit of 101 passes (last "
                         "change 8.2e-03)",
                         0),
              0u);
    EXPECT_EQ(only(withItems(3, kItemAAtBound))
                  .rfind("3 items have an estimate or standard "
                         "error at a bound (items 1, 2 and 3)",
                         0),
              0u);
    EXPECT_EQ(only(withItems(1, kItemSeAtCap))
                  .rfind("1 item has an estimate or standard error "
                         "at a bound (item 1)",
                         0),
              0u);
    // Not estimable wins over a bound, and each item is listed under the
    // first cause it has, with that cause named.
    EXPECT_EQ(only(withItems(22, kItemBAtBound | kItemAllCorrect | kItemNotEstimated))
                  .rfind("22 items were answered alike by everyone who answered (items 1, 2, 3, "
                         "4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20 and 2 more: "
                         "every valid response correct, or every one wrong)",
                         0),
              0u);
    RunReport few = withItems(2, kItemTooFewResponses | kItemNotEstimated);
    few.judgement.fewestResponses = 10;
    EXPECT_EQ(only(few).rfind("2 items have fewer than 10 valid responses (items 1 and 2)", 0), 0u);
    few.judgement.fewestResponses = 1;
    EXPECT_EQ(only(few).rfind("2 items have no valid response (items 1 and 2)", 0), 0u);
    EXPECT_EQ(only(withItems(1, kItemNotEstimated))
                  .rfind("1 item could not be estimated (item 1): the responses gave no "
                         "information about its parameters",
                         0),
              0u);
    // Negative discrimination names its evidence per item: the item-rest
    // correlation where it is below 0, else the estimated slope.
    RunReport negative = withItems(3, kItemNegativeDiscrimination);
    for (ItemReport& item : negative.itemRows) item.itemRest = -0.2;
    EXPECT_EQ(only(negative).rfind("3 items discriminate negatively: items 1, 2 and 3 have an "
                                   "item-rest correlation below 0, so those who do well on the "
                                   "others tend to fail them: check the key",
                                   0),
              0u);
    negative.itemRows[2].itemRest = 0.1;
    EXPECT_EQ(only(negative).rfind("3 items discriminate negatively: items 1 and 2 have an "
                                   "item-rest correlation below 0 and item 3 a slope estimated "
                                   "below 0, so",
                                   0),
              0u);
    negative.itemRows.resize(1);
    negative.itemRows[0].itemRest = NAN;
    EXPECT_EQ(only(negative).rfind("1 item discriminates negatively: item 1 has a slope "
                                   "estimated below 0, so those who do well on the others tend "
                                   "to fail it: check the key",
                                   0),
              0u);

    RunReport inverted = JointReport(LoopEnd::Settled, 9, 0);
    inverted.rawScoreOrderInversions = 30;
    EXPECT_EQ(only(inverted).rfind("30 pairs of raw-score groups have mean abilities in the "
                                   "wrong order",
                                   0),
              0u);
    inverted.rawScoreOrderInversions = 0;
    EXPECT_TRUE(WarningsFor(inverted).empty());

    RunReport silent = JointReport(LoopEnd::Settled, 9, 0);
    silent.personRows.resize(4);
    silent.personRows[2].flags = kPersonNoValid;
    EXPECT_EQ(only(silent).rfind("1 examinee has no valid response", 0), 0u);
}

TEST(Warnings, StandardisingASmallSpreadInA1plMode) {
    RunReport report;
    DescribeRun(report, 6);
    report.standardized = true;
    report.thetaSpread = 0.79;
    ASSERT_EQ(WarningsFor(report).size(), 1u);
    EXPECT_EQ(WarningsFor(report)[0].rfind("Theta was standardised in a 1PL mode", 0), 0u);
    report.thetaSpread = 0.81;  // stretched by less than a quarter
    EXPECT_TRUE(WarningsFor(report).empty());
    report.thetaSpread = 0.5;
    report.standardized = false;
    EXPECT_TRUE(WarningsFor(report).empty());
    DescribeRun(report, 3);  // a is estimated: the scale is the estimation's own
    report.standardized = true;
    EXPECT_TRUE(WarningsFor(report).empty());
}

TEST(ReportJson, RoundTripsWithNullForUndefinedValues) {
    const PersonTable persons = test_support::TableOf({"10", "01", "99", "11"});
    ItemTable items(2);
    items.AccNo = {"I1", "I\xff"};  // not UTF-8: replaced, not an error
    RunReport report;
    DescribeRun(report, 6);
    report.loop.end = LoopEnd::Settled;
    report.loop.passes = 5;
    report.loop.msError = {0.3, 0.2, 0.2, 0.2, 0.2};
    CompleteRunReport(report, items, persons);
    const auto document = nlohmann::json::parse(ReportJson(report));

    EXPECT_EQ(document["schema_version"], 2);
    EXPECT_EQ(document["run"]["path"], "joint");
    EXPECT_EQ(document["run"]["missing_responses"], 2);
    EXPECT_TRUE(document["run"]["theta_spread"].is_null());
    EXPECT_EQ(document["loop"]["end"], "settled");
    EXPECT_EQ(document["loop"]["ms_error"].size(), 5u);
    EXPECT_EQ(document["items"].size(), 2u);
    EXPECT_EQ(document["items"][0]["id"], "I1");
    EXPECT_DOUBLE_EQ(document["items"][0]["p_value"].get<double>(), 2.0 / 3);
    // The three with a valid response share theta 0: one ability group.
    EXPECT_EQ(document["items"][0]["ability_groups"]["count"].size(), 1u);
    EXPECT_EQ(document["examinees"].size(), 4u);
    EXPECT_EQ(document["examinees"][2]["flags"][0], "no_valid_response");
    EXPECT_EQ(document["examinees"][2]["seq"], 3);
    // All thetas are 0: no spread, so no empirical reliability.
    EXPECT_TRUE(document["reliability"]["empirical"].is_null());
    EXPECT_EQ(document["reliability"]["raw_score_order_inversions"], 0);
    // The items go against each other, have fewer than 10 responses, and
    // one examinee has none.
    EXPECT_EQ(document["warnings"].size(), 3u);
    EXPECT_FALSE(document.contains("mml"));
}

// A section's members join the rows they name, its flags join the rows'
// own after the statistics that read the flags, and rows beyond its lists
// get nothing.
TEST(ReportJson, ASectionAddsMembersAndFlagsToTheRowsItNames) {
    const PersonTable persons = test_support::TableOf({"10", "01", "11", "00"});
    ItemTable items(2);
    ReportSection section;
    section.key = "fit";
    section.json = R"({"counted":2})";
    section.itemMembers = {R"("fit":{"s_x2":null},"fit_note":"why")"};
    section.itemFlags = {kItemMisfit | kItemLocalDependence};
    section.personMembers = {"", R"("fit":{"lz":-3.5})"};
    section.personFlags = {0, kPersonMisfit};
    ReportSources sources;
    sources.items = &items;
    sources.persons = &persons;
    const EstimationOutcome outcome;
    sources.outcome = &outcome;
    sources.sections = {section};
    const RunReport report = BuildRunReport(sources);
    const auto document = nlohmann::json::parse(ReportJson(report));

    EXPECT_EQ(document["fit"]["counted"], 2);
    EXPECT_TRUE(document["items"][0]["fit"]["s_x2"].is_null());
    EXPECT_EQ(document["items"][0]["fit_note"], "why");
    EXPECT_EQ(document["items"][0]["flags"],
              nlohmann::json::parse(R"(["misfit","local_dependence"])"));
    EXPECT_FALSE(document["items"][1].contains("fit"));
    EXPECT_FALSE(document["examinees"][0].contains("fit"));
    EXPECT_EQ(document["examinees"][1]["fit"]["lz"], -3.5);
    const auto flagged = [&](std::size_t j) {
        const auto& flags = document["examinees"][j]["flags"];
        return std::find(flags.begin(), flags.end(), "misfit") != flags.end();
    };
    EXPECT_TRUE(flagged(1));
    EXPECT_FALSE(document["examinees"][2].contains("fit"));
    EXPECT_FALSE(flagged(0) || flagged(2) || flagged(3));
}

TEST(ReportJson, NamesTheFileItCannotWrite) {
    std::string error;
    // A descriptor that refuses writes: /dev/full, or one that is closed.
    const int full = ::open("/dev/full", O_WRONLY | O_CLOEXEC);
    EXPECT_EQ(WriteReportJson(RunReport{}, full, "r.json", error), ReportWrite::Failed);
    EXPECT_EQ(error, "Report file r.json could not be written completely.");
}

TEST(ReportJson, AStopBetweenRowsLeavesNoHalfReport) {
    test_support::TempDir dir;
    RunReport report;
    DescribeRun(report, 1);
    report.personRows.resize(5000);
    std::string error;
    int looks = 0;
    const std::string path = dir.File("r.json");
    const auto opened = [&] { return ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600); };
    EXPECT_EQ(WriteReportJson(report, opened(), path, error, [&] { return ++looks == 3; }),
              ReportWrite::Stopped);
    EXPECT_EQ(looks, 3);  // asked between blocks of rows, not once per row
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_EQ(error, "Report file " + path + " was not finished: the run was stopped.");
    EXPECT_EQ(WriteReportJson(report, opened(), path, error, [] { return false; }),
              ReportWrite::Written);
    EXPECT_EQ(nlohmann::json::parse(test_support::ReadFile(path))["examinees"].size(), 5000u);
}

// Another layer's part of the report (fit statistics, input check findings)
// reaches the JSON, the summary and the warnings through the one builder.
TEST(ReportSections, ReachEveryPartOfTheReport) {
    ReportSources sources;
    RunRequest request;
    request.mode = 3;
    sources.request = &request;
    ReportSection fit;
    fit.key = "fit";
    fit.json = R"({"items": [1, 2]})";
    fit.summary = {"Fit: 2 items checked."};
    fit.warnings = {"Item 2 misfits."};
    sources.sections = {fit};
    const RunReport report = BuildRunReport(sources);
    EXPECT_EQ(report.warnings.back(), "Item 2 misfits.");
    EXPECT_NE(SummaryText(report).find("Fit: 2 items checked.\n"), std::string::npos);
    EXPECT_EQ(nlohmann::json::parse(ReportJson(report))["fit"]["items"].size(), 2u);

    // A run refused at a check prints no statistics, but what the sections
    // found in its inputs may say why.
    sources.end = RunEnd::EndedAtCheck;
    const std::string refused = SummaryText(BuildRunReport(sources));
    EXPECT_NE(refused.find("WARNING Item 2 misfits.\n"), std::string::npos) << refused;
    EXPECT_EQ(refused.find("Fit: 2 items checked."), std::string::npos) << refused;
}

// The report's items carry a delimited file's header names by sequence.
TEST(ReportSources, ItemNamesFollowTheItemsSequence) {
    const PersonTable persons = test_support::TableOf({"101", "011", "110"});
    const ItemTable items(3);
    const std::vector<std::string> names = {"first", "second"};
    RunRequest request;
    request.mode = 6;
    const EstimationOutcome outcome;
    ReportSources sources;
    sources.request = &request;
    sources.items = &items;
    sources.persons = &persons;
    sources.outcome = &outcome;
    sources.itemNames = &names;
    const RunReport report = BuildRunReport(sources);
    ASSERT_EQ(report.itemRows.size(), 3u);
    EXPECT_EQ(report.itemRows[0].name, "first");
    EXPECT_EQ(report.itemRows[1].name, "second");
    EXPECT_EQ(report.itemRows[2].name, "");  // beyond the names given
    const auto json = nlohmann::json::parse(ReportJson(report))["items"];
    EXPECT_EQ(json[1]["name"], "second");
    EXPECT_TRUE(json[2]["name"].is_null());
}

}  // namespace
}  // namespace tarvo::report
