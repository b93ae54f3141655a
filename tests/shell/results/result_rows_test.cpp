// Reading the result file's rows back as printed, and ordering and filtering
// the tables built from them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "output/result_file_rows.h"
#include "request/option_table.h"
#include "request/request_parser.h"
#include "sample_layout.h"
#include "shell/results/fit_tables.h"
#include "shell/results/result_table.h"
#include "shell/results/result_table_model.h"
#include "shell/results/results_data.h"
#include "shell_test_support.h"
#include "support/run_request.h"
#include "support/temp_dir.h"

namespace tarvo::results {
namespace {

const std::string kJointFile =
    "SeqItem,AccNo, Nobs, a_calib, b_calib,c_calib, seea, seeb, seec\r\n"
    "   1, MATH01,  250,  1.235, -0.500,  0.200,  0.123,  0.050,  0.031\r\n"
    "   2, ,  250,  0.800,  1.750,  0.150,  0.100,  0.090, -1.000\r\n"
    "   3, A,B,  249,  2.000, -5.000,  0.000, 99.000,  0.400,  0.010\r\n"
    "\r\n"
    " SeqID,    ExaminID,Nvalid,   theta, seetheta\r\n"
    "    1,         A001,    3,   0.1234,   0.3500\r\n"
    "    2, STUDENT-0012,    3,  -1.5000,   0.4123\r\n"
    "    3,      x,y,z  ,    2,   3.0000,   0.9000\r\n";

TEST(ResultFileRows, ReadsBothSectionsAsPrinted) {
    const ResultFileRows rows = ParseResultFile(kJointFile);
    EXPECT_FALSE(rows.listingLayout);
    ASSERT_EQ(rows.items.columns.size(), 9u);
    EXPECT_EQ(rows.items.columns[4], "b_calib");
    ASSERT_EQ(rows.items.rows.size(), 3u);
    EXPECT_EQ(rows.items.rows[0], (std::vector<std::string>{"1", "MATH01", "250", "1.235", "-0.500",
                                                            "0.200", "0.123", "0.050", "0.031"}));
    EXPECT_EQ(rows.items.rows[1][1], "");     // empty AccNo: two separators in a row
    EXPECT_EQ(rows.items.rows[2][1], "A,B");  // a comma inside the identifier
    EXPECT_EQ(rows.items.rows[2][7], "0.400");

    ASSERT_EQ(rows.persons.columns,
              (std::vector<std::string>{"SeqID", "ExaminID", "Nvalid", "theta", "seetheta"}));
    ASSERT_EQ(rows.persons.rows.size(), 3u);
    EXPECT_EQ(rows.persons.rows[1],
              (std::vector<std::string>{"2", "STUDENT-0012", "3", "-1.5000", "0.4123"}));
    EXPECT_EQ(rows.persons.rows[2][1], "x,y,z");
}

TEST(ResultFileRows, ReadsTheOneParameterAndListingLayouts) {
    const ResultFileRows onePl =
        ParseResultFile("SeqItem,AccNo, Nobs, b_calib, seeb\r\n   1, I1,   40, -0.250,  0.300\r\n");
    ASSERT_EQ(onePl.items.rows.size(), 1u);
    EXPECT_EQ(onePl.items.rows[0], (std::vector<std::string>{"1", "I1", "40", "-0.250", "0.300"}));
    EXPECT_TRUE(onePl.persons.rows.empty());

    const ResultFileRows listing = ParseResultFile(
        "   3  MATH03\r\n"
        "  compu a,b,c=  1.235 -0.500  0.200\r\n"
        "        see =   0.123  0.050 -1.000   Nobs= 250 \r\n"
        "\r\n"
        "   4  \r\n"
        "  compu a,b,c=  0.000  0.000  0.000\r\n"
        "        see =  -1.000 -1.000 -1.000   Nobs= 9 \r\n"
        "\r\n");
    EXPECT_TRUE(listing.listingLayout);
    ASSERT_EQ(listing.items.rows.size(), 2u);
    EXPECT_EQ(listing.items.rows[0],
              (std::vector<std::string>{"3", "MATH03", "250", "1.235", "-0.500", "0.200", "0.123",
                                        "0.050", "-1.000"}));
    EXPECT_EQ(listing.items.rows[1][1], "");
    EXPECT_EQ(listing.items.rows[1][2], "9");
}

TEST(ResultFileRows, EmptyAndHeaderOnlyFilesHaveNoRows) {
    for (const char* text : {"", "SeqItem,AccNo, Nobs, b_calib, seeb\r\n",
                             " SeqID,    ExaminID,Nvalid,   theta, seetheta\r\n", "garbage\r\n"}) {
        const ResultFileRows rows = ParseResultFile(text);
        EXPECT_TRUE(rows.items.rows.empty()) << text;
        EXPECT_TRUE(rows.persons.rows.empty()) << text;
    }
}

TEST(PrintedNumber, TakesWholeNumbersOnly) {
    EXPECT_EQ(PrintedNumber(" -0.500"), -0.5);
    EXPECT_EQ(PrintedNumber("12000"), 12000);
    EXPECT_TRUE(std::isnan(PrintedNumber("")));
    EXPECT_TRUE(std::isnan(PrintedNumber("1.2x")));
    EXPECT_TRUE(std::isnan(PrintedNumber("MATH")));
}

std::vector<std::string> ColumnInOrder(const ResultTable& table,
                                       const std::vector<std::size_t>& order, const char* column) {
    std::vector<std::string> texts;
    for (std::size_t row : order) {
        texts.push_back(table.Text(row, static_cast<std::size_t>(table.Column(column))));
    }
    return texts;
}

TEST(ResultTable, SortsByThePrintedValueWithBlanksLast) {
    const ResultFileRows rows = ParseResultFile(kJointFile);
    const ResultTable items = BuildItemTable(rows.items, RunReport{});
    const auto b = static_cast<std::size_t>(items.Column("b_calib"));
    EXPECT_EQ(ColumnInOrder(items, items.SortedOrder(b, true), "b_calib"),
              (std::vector<std::string>{"-5.000", "-0.500", "1.750"}));
    EXPECT_EQ(ColumnInOrder(items, items.SortedOrder(b, false), "b_calib"),
              (std::vector<std::string>{"1.750", "-0.500", "-5.000"}));
    // Text columns sort as text; the empty AccNo goes last both ways.
    const auto accNo = static_cast<std::size_t>(items.Column("AccNo"));
    EXPECT_EQ(ColumnInOrder(items, items.SortedOrder(accNo, true), "AccNo"),
              (std::vector<std::string>{"A,B", "MATH01", ""}));
    EXPECT_EQ(ColumnInOrder(items, items.SortedOrder(accNo, false), "AccNo"),
              (std::vector<std::string>{"MATH01", "A,B", ""}));

    // The same examinees from a run's rows.
    RunReport run;
    run.mode = 3;
    for (const auto& [id, theta] :
         {std::pair{"A001", 0.1234}, {"STUDENT-0012", -1.5}, {"x,y,z", 3.0}}) {
        PersonReport person;
        person.examinId = id;
        person.theta = theta;
        run.personRows.push_back(person);
    }
    const ResultTable persons = BuildPersonTable(std::make_shared<const RunReport>(run));
    const auto theta = static_cast<std::size_t>(persons.Column("theta"));
    EXPECT_EQ(ColumnInOrder(persons, persons.SortedOrder(theta, true), "ExaminID"),
              (std::vector<std::string>{"STUDENT-0012", "A001", "x,y,z"}));
    const auto id = static_cast<std::size_t>(persons.Column("ExaminID"));
    EXPECT_TRUE(persons.Matches(1, id, "student"));
    EXPECT_FALSE(persons.Matches(0, id, "student"));
    EXPECT_TRUE(persons.Matches(0, id, ""));
}

TEST(ResultTable, JoinsTheReportsStatisticsAndFlagsTheCellsConcerned) {
    const ResultFileRows rows = ParseResultFile(kJointFile);
    RunReport report;
    report.mode = 3;
    for (int seq = 1; seq <= 3; ++seq) {
        ItemReport item;
        item.seqItem = seq;
        item.pValue = 0.25 * seq;
        item.itemRest = 0.1 * seq;
        report.itemRows.push_back(item);
    }
    report.itemRows[1].flags = kItemNotEstimated;
    report.itemRows[2].flags = kItemAAtBound | kItemBAtBound | kItemSeAtCap;
    report.itemRows[2].pValue = NAN;
    for (int i = 0; i < 3; ++i) report.personRows.push_back(PersonReport{});
    report.personRows[2].rawScore = 2;
    report.personRows[2].flags = kPersonAllCorrect | kPersonThetaAtBound;

    const ResultTable items = BuildItemTable(rows.items, report);
    EXPECT_EQ(items.columns.back(), "Flags");
    const auto cell = [&](std::size_t row, const char* column) -> const TableCell& {
        return items.rows[row][static_cast<std::size_t>(items.Column(column))];
    };
    EXPECT_EQ(cell(0, "p-value").text, "0.250");
    EXPECT_EQ(cell(1, "item-rest r").text, "0.200");
    EXPECT_EQ(cell(2, "p-value").text, "");  // undefined
    for (const char* column : {"SeqItem", "a_calib", "b_calib", "seea", "seec", "Flags"}) {
        EXPECT_FALSE(cell(0, column).flagged) << column;
    }
    // Only the -1 of item 2 is flagged as not estimated.
    EXPECT_TRUE(cell(1, "seec").flagged);
    EXPECT_FALSE(cell(1, "seeb").flagged);
    EXPECT_NE(cell(1, "seec").why.find("not estimated"), std::string::npos);
    // Item 3: a and b at their bounds, seea at the cap.
    for (const char* column : {"a_calib", "b_calib", "seea", "Flags"}) {
        EXPECT_TRUE(cell(2, column).flagged) << column;
        EXPECT_FALSE(cell(2, column).why.empty()) << column;
    }
    EXPECT_FALSE(cell(2, "seeb").flagged);
    EXPECT_EQ(cell(2, "Flags").text, "a at bound, b at bound, SE at cap");

    const ResultTable persons = BuildPersonTable(std::make_shared<const RunReport>(report));
    const auto raw = static_cast<std::size_t>(persons.Column("Raw score"));
    EXPECT_EQ(persons.Text(2, raw), "2");
    EXPECT_TRUE(persons.Cell(2, raw).flagged);
    EXPECT_TRUE(persons.Cell(2, static_cast<std::size_t>(persons.Column("theta"))).flagged);
    EXPECT_FALSE(persons.Cell(0, raw).flagged);
}

// A delimited file's header names stand beside the AccNo; without names
// the table has no such column.
TEST(ResultTable, HeaderNamesStandBesideTheAccNo) {
    const ResultFileRows rows = ParseResultFile(kJointFile);
    RunReport report;
    report.mode = 3;
    for (int seq = 1; seq <= 3; ++seq) {
        ItemReport item;
        item.seqItem = seq;
        item.pValue = 0.5;
        report.itemRows.push_back(item);
    }
    EXPECT_EQ(BuildItemTable(rows.items, report).Column("Name"), -1);

    report.itemRows[0].name = "q1";
    report.itemRows[2].name = "q3";
    const ResultTable items = BuildItemTable(rows.items, report);
    const int accNo = items.Column("AccNo");
    ASSERT_GE(accNo, 0);
    ASSERT_EQ(items.Column("Name"), accNo + 1);
    const auto name = static_cast<std::size_t>(accNo + 1);
    ASSERT_EQ(items.rows.size(), 3u);
    EXPECT_EQ(items.rows[0][name].text, "q1");
    EXPECT_EQ(items.rows[1][name].text, "");
    EXPECT_EQ(items.rows[2][name].text, "q3");
    EXPECT_FALSE(items.numeric[name]);
    // The printed cells after it keep their columns.
    for (const auto& row : items.rows) EXPECT_EQ(row.size(), items.columns.size());
    const ResultTable plain = BuildItemTable(rows.items, RunReport{});
    EXPECT_EQ(items.rows[1][static_cast<std::size_t>(items.Column("b_calib"))].text,
              plain.rows[1][static_cast<std::size_t>(plain.Column("b_calib"))].text);
    EXPECT_EQ(items.rows[0][static_cast<std::size_t>(items.Column("p-value"))].text, "0.500");
}

TEST(ResultTable, ThetaOnlyRunsShowTheGivenItems) {
    RunReport report;
    report.mode = 1;
    ItemReport item;
    item.seqItem = 1;
    item.accNo = "Q1";
    item.a = 1.2;
    item.b = -0.35;
    item.c = 0.2;
    report.itemRows.push_back(item);
    const ResultTable items = BuildItemTable(PrintedTable{}, report);
    ASSERT_EQ(items.rows.size(), 1u);
    EXPECT_EQ(items.rows[0][static_cast<std::size_t>(items.Column("b_given"))].text, "-0.350");
    EXPECT_EQ(items.rows[0][static_cast<std::size_t>(items.Column("AccNo"))].text, "Q1");
}

void ExpectSameRows(const PrintedTable& fromRun, const PrintedTable& fromFile) {
    EXPECT_EQ(fromRun.columns, fromFile.columns);
    ASSERT_EQ(fromRun.rows.size(), fromFile.rows.size());
    for (std::size_t k = 0; k < fromRun.rows.size(); ++k) {
        EXPECT_EQ(fromRun.rows[k], fromFile.rows[k]) << "row " << k + 1;
    }
}

// The input check's findings come before "The run finished.", the other
// warnings after the statistics, each once.
TEST(Summary, TheInputChecksFindingsComeFirst) {
    RunReport report;
    report.end = RunEnd::Finished;
    report.warnings = {"the header is read as examinee 1", "item 2 misfits"};
    report.leadingWarnings = 1;
    const std::vector<std::string> sentences = SummarySentences(CollectResultsData(report));
    ASSERT_GE(sentences.size(), 3u);
    EXPECT_EQ(sentences[0], "the header is read as examinee 1");
    EXPECT_EQ(sentences[1], "The run finished.");
    EXPECT_EQ(sentences.back(), "item 2 misfits");
    EXPECT_EQ(std::count(sentences.begin(), sentences.end(), "the header is read as examinee 1"),
              1);
}

// A test of items scored 0..m alone: the summary names its model without
// right/wrong items beside it, has no KR-20 over none of them, and says
// which statistics such runs leave out.
TEST(Summary, APolytomousRunNamesItsModelsAndWhatItLeavesOut) {
    RunReport report;
    report.method = "mml";
    report.model = "grm";
    report.kr20Items = 0;
    report.itemRows.resize(2);
    for (ItemReport& item : report.itemRows) item.categories = 3;
    auto joined = [](const std::vector<std::string>& sentences) {
        std::string text;
        for (const std::string& sentence : sentences) text += sentence + "\n";
        return text;
    };
    std::string text = joined(SummarySentences(CollectResultsData(report)));
    EXPECT_NE(text.find("marginal maximum likelihood (grm);"), std::string::npos) << text;
    EXPECT_EQ(text.find("KR-20"), std::string::npos) << text;
    EXPECT_NE(text.find("takes each item by its own model"), std::string::npos) << text;

    // Beside right/wrong items both models are named with their counts.
    report.binaryModel = "2pl";
    report.kr20Items = 1;
    report.itemRows.push_back(ItemReport{});
    text = joined(SummarySentences(CollectResultsData(report)));
    EXPECT_NE(text.find("(grm for the 2 items scored in more than two categories, 2pl for the 1 "
                        "right/wrong item)"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("Cronbach's alpha (KR-20) of the 1 right/wrong item is"), std::string::npos)
        << text;

    // Raw scores in order say so; one pair out of order is one pair.
    report.rawScoreOrderInversions = 0;
    text = joined(SummarySentences(CollectResultsData(report)));
    EXPECT_NE(text.find("Higher raw scores always have higher thetas."), std::string::npos) << text;
    EXPECT_EQ(text.find("out of order"), std::string::npos) << text;
    report.rawScoreOrderInversions = 1;
    text = joined(SummarySentences(CollectResultsData(report)));
    EXPECT_NE(text.find("1 pair of raw-score groups is out of order in theta."), std::string::npos)
        << text;
}

// The Plots list: each item of a run with its own models by that model
// (an item of a polytomous model with its categories, even two, and the
// AccNo after it); the items of a right/wrong run by number, the run's
// one model in the list's title.
TEST(PlotsList, NamesEachItemsModelOrTheRunsOne) {
    RunReport report;
    report.method = "mml";
    report.model = "per-item";
    report.itemRows.resize(3);
    report.itemRows[0].model = "2pl";
    report.itemRows[1].model = "rsm";
    report.itemRows[1].categories = 5;
    report.itemRows[1].accNo = "Q7";
    report.itemRows[2].model = "gpcm";  // its responses only 0 and 1
    for (std::size_t i = 0; i < 3; ++i) report.itemRows[i].seqItem = static_cast<int>(i + 1);
    const ResultsData own = CollectResultsData(report);
    ASSERT_EQ(own.items.size(), 3u);
    EXPECT_EQ(PlotsListEntry(own.items[0]), "Item 1 (2PL)");
    EXPECT_EQ(PlotsListEntry(own.items[1]), "Item 2 (RSM, 5 categories)  Q7");
    EXPECT_EQ(PlotsListEntry(own.items[2]), "Item 3 (GPCM, 2 categories)");
    EXPECT_EQ(PlotsListTitle(own), "Items");

    report.method = "jml";
    report.model = "3pl-c-given";
    for (ItemReport& item : report.itemRows) item.model.clear();
    const ResultsData rightWrong = CollectResultsData(report);
    EXPECT_EQ(PlotsListEntry(rightWrong.items[1]), "2  Q7");
    EXPECT_EQ(PlotsListTitle(rightWrong), "Items (3PL, c given)");
}

// A polytomous run's Items tab comes from the report's rows, whatever the
// file holds: the model, categories and thresholds in their own columns,
// and of an item's thresholds only the one on its bound flagged.
TEST(ResultTable, PolytomousItemsComeFromTheRunsOwnRows) {
    RunReport report;
    report.polytomousJudgement = EstimateJudgement{};
    report.polytomousJudgement->b = {true, -10, 10, 0.01};
    ItemReport scored;
    scored.seqItem = 1;
    scored.model = "gpcm";
    scored.categories = 3;
    scored.a = -0.75;  // reverse keyed
    scored.thresholds = {-10, 0.5};
    scored.meanScore = 1.25;
    scored.pValue = NAN;
    scored.flags = kItemBAtBound;
    ItemReport rightWrong;
    rightWrong.seqItem = 2;
    rightWrong.model = "3pl";
    rightWrong.a = 1.1;
    rightWrong.thresholds = {0.25};
    rightWrong.c = 0.2;
    rightWrong.pValue = 0.6;
    rightWrong.flags = kItemMisfit;
    report.itemRows = {scored, rightWrong};
    const ResultTable table = BuildItemTable(PrintedTable{}, report);
    EXPECT_EQ(table.Column("S-X2"), -1) << "no fit section, no fit columns";
    ASSERT_EQ(table.rows.size(), 2u);
    auto cell = [&](std::size_t row, const char* column) -> const TableCell& {
        return table.rows[row][static_cast<std::size_t>(table.Column(column))];
    };
    EXPECT_EQ(cell(0, "Model").text, "gpcm");
    EXPECT_EQ(cell(0, "Categories").text, "3");
    EXPECT_EQ(cell(0, "a").text, "-0.750");
    EXPECT_EQ(cell(0, "b2").text, "0.500");
    EXPECT_EQ(cell(0, "c").text, "");
    EXPECT_EQ(cell(0, "Mean score").text, "1.250");
    EXPECT_EQ(cell(0, "p-value").text, "");
    EXPECT_TRUE(cell(0, "b1").flagged);
    EXPECT_FALSE(cell(0, "b2").flagged);
    EXPECT_EQ(cell(0, "Flags").text, "b at bound");
    EXPECT_EQ(cell(1, "b1").text, "0.250");
    EXPECT_EQ(cell(1, "b2").text, "");
    EXPECT_EQ(cell(1, "c").text, "0.200");
    EXPECT_FALSE(table.numeric[static_cast<std::size_t>(table.Column("Model"))]);

    // With the fit: every item's S-X2 and mean squares, the misfitting
    // item's adjusted p flagged.
    const std::vector<ItemFitValues> fit = {{12.5, 9, 0.19, 0.38, 0.95, 1.02, {}, ""},
                                            {40.25, 8, 5e-6, 1e-4, 1.4, NAN, {}, "no outfit"}};
    const ResultTable withFit = BuildItemTable(PrintedTable{}, report, fit);
    auto fitCell = [&](std::size_t row, const char* column) -> const TableCell& {
        return withFit.rows[row][static_cast<std::size_t>(withFit.Column(column))];
    };
    EXPECT_EQ(fitCell(0, "S-X2").text, "12.50");
    EXPECT_EQ(fitCell(0, "df").text, "9");
    EXPECT_FALSE(fitCell(0, "adj. p").flagged);
    EXPECT_EQ(fitCell(1, "S-X2").text, "40.25");
    EXPECT_TRUE(fitCell(1, "adj. p").flagged);
    EXPECT_EQ(fitCell(0, "infit").text, "0.950");
    EXPECT_EQ(fitCell(1, "outfit").text, "");
    EXPECT_EQ(fitCell(1, "outfit").why, "no outfit");
    EXPECT_FALSE(fitCell(1, "infit").flagged) << "S-X2 judges the item where it is defined";
    EXPECT_EQ(withFit.columns.back(), "Flags");
    EXPECT_EQ(fitCell(0, "b2").text, "0.500") << "the columns before the fit keep their places";
}

// The window forms its tables from the run's report, never from the file:
// its rows must be the file's, field for field, in every mode and layout, for
// a run stopped half way and for both marginal estimators' layouts.
TEST(RowsOfRun, AreTheResultFilesRowsInEveryModeAndLayout) {
    const std::string golden = std::string(TARVO_SOURCE_DIR) + "/tests/golden/";
    test_support::TempDir dir;
    for (const char* input : {"responses.dat", "items.itm"}) {
        test_support::WriteFile(dir.File(input), test_support::ReadFile(golden + "input/" + input));
    }
    struct Case {
        int mode;
        const char* output;
        int stopAtPoll;
        bool marginal;
    };
    std::vector<Case> cases;
    for (int mode = 1; mode <= 8; ++mode) {
        for (const char* output : {"out.csv", "out.lst"}) cases.push_back({mode, output, 0, false});
    }
    cases.push_back({2, "out.lst", 4, false});  // the items-only rows written before the stop
    cases.push_back({1, "out.csv", 4, false});
    cases.push_back({5, "out.csv", 0, true});
    for (const Case& c : cases) {
        SCOPED_TRACE("mode " + std::to_string(c.mode) + " " + c.output +
                     (c.stopAtPoll > 0 ? " stopped" : "") + (c.marginal ? " marginal" : ""));
        test_support::ScriptedHost host;
        host.mode = c.mode;
        host.stopAtPoll = c.stopAtPoll;
        host.texts = sim::SampleControlTexts(10, dir.File("responses.dat"), dir.File("items.itm"),
                                             dir.File(c.output));
        RunReport report;
        if (c.marginal) {
            test_support::RunMarginal(host, MarginalSettings{}, &report);
        } else {
            test_support::RunClassic(host, &report);
        }
        const ResultFileRows fromFile = ParseResultFile(test_support::ReadFile(dir.File(c.output)));
        const ResultFileRows fromRun = RowsOfRun(report);
        ASSERT_FALSE(fromRun.items.rows.empty() && fromRun.persons.rows.empty());
        EXPECT_EQ(fromRun.listingLayout, fromFile.listingLayout);
        ExpectSameRows(fromRun.items, fromFile.items);
        ExpectSameRows(fromRun.persons, fromFile.persons);
    }
}

// The examinee table forms its cells from the run's rows when they are
// shown: every cell must be what the file prints and what the report says,
// the text alone the same as the whole cell's, in the classic layouts (mode
// 5 with its c_given among the items) and the marginal one.
TEST(ExamineeCells, AreTheFilesFieldsAndTheReportsValuesInEveryColumn) {
    const std::string golden = std::string(TARVO_SOURCE_DIR) + "/tests/golden/";
    test_support::TempDir dir;
    for (const char* input : {"responses.dat", "items.itm"}) {
        test_support::WriteFile(dir.File(input), test_support::ReadFile(golden + "input/" + input));
    }
    for (const auto& [mode, marginal] : {std::pair{1, false}, {3, false}, {5, false}, {3, true}}) {
        SCOPED_TRACE("mode " + std::to_string(mode) + (marginal ? " marginal" : ""));
        test_support::ScriptedHost host;
        host.mode = mode;
        host.texts = sim::SampleControlTexts(10, dir.File("responses.dat"), dir.File("items.itm"),
                                             dir.File("out.csv"));
        RunReport report;
        if (marginal) {
            test_support::RunMarginal(host, MarginalSettings{}, &report);
        } else {
            test_support::RunClassic(host, &report);
        }
        const ResultFileRows file = ParseResultFile(test_support::ReadFile(dir.File("out.csv")));
        const ReportSection* fit = FitSectionOf(report);
        ASSERT_NE(fit, nullptr);
        const ResultsData data = CollectResultsData(report);
        const ResultTable& persons = data.personTable;
        ASSERT_NE(persons.source, nullptr);
        ASSERT_EQ(persons.RowCount(), file.persons.rows.size());
        ASSERT_EQ(fit->personMembers.size(), persons.RowCount());
        const std::size_t printed = file.persons.columns.size();
        const std::vector<std::string> added = {"Raw score", "lz", "infit", "outfit", "Flags"};
        ASSERT_EQ(persons.columns.size(), printed + added.size());
        for (std::size_t k = 0; k < persons.columns.size(); ++k) {
            EXPECT_EQ(persons.columns[k],
                      k < printed ? file.persons.columns[k] : added[k - printed]);
        }
        for (std::size_t r = 0; r < persons.RowCount(); ++r) {
            const PersonReport& person = report.personRows[r];
            const PersonFitValues own = PersonFitOf(*fit, r);
            const std::vector<std::string> reported = {
                std::to_string(person.rawScore), FitNumber(own.lz, 3), FitNumber(own.infit, 3),
                FitNumber(own.outfit, 3), PersonFlagNames(person.flags)};
            for (std::size_t c = 0; c < persons.columns.size(); ++c) {
                const TableCell cell = persons.Cell(r, c);
                EXPECT_EQ(persons.Text(r, c), cell.text) << r << " " << persons.columns[c];
                EXPECT_EQ(cell.text, c < printed ? file.persons.rows[r][c] : reported[c - printed])
                    << r << " " << persons.columns[c];
                const double number = persons.numeric[c] ? PrintedNumber(cell.text) : NAN;
                EXPECT_TRUE(cell.number == number ||
                            (std::isnan(cell.number) && std::isnan(number)))
                    << r << " " << persons.columns[c];
            }
            // A flagged row says so in its Flags cell, with every reason.
            const TableCell flags = persons.Cell(r, persons.columns.size() - 1);
            EXPECT_EQ(flags.flagged, person.flags != 0) << r;
        }
        // The items stay as the file prints them, c_given of mode 5 too.
        const ResultTable& items = data.itemTable;
        if (mode == 1) continue;  // its items are the given ones, not in the file
        ASSERT_EQ(items.RowCount(), file.items.rows.size());
        if (mode == 5 && !marginal) {
            ASSERT_GE(items.Column("c_given"), 0);
        }
        for (std::size_t r = 0; r < items.RowCount(); ++r) {
            for (std::size_t c = 0; c < file.items.columns.size(); ++c) {
                EXPECT_EQ(items.Text(r, c), file.items.rows[r][c]) << r << " " << items.columns[c];
            }
        }
    }
}

// Sorting and filtering a table of 200,000 examinees whose cells are formed
// when asked: numbers by their printed value, equal ones and the text
// column's in the run's order, the rows without fit last; the filter finds
// exactly the identifiers that hold the part.
TEST(ExamineeCells, ALargeTableSortsAndFiltersByItsFormedCells) {
    constexpr std::size_t kExaminees = 200000, kFitted = 1000;
    auto run = std::make_shared<RunReport>();
    run->mode = 3;
    // The fit's members as a run writes them, for the first rows only.
    ReportSection& fit = run->sections.emplace_back();
    fit.key = "fit";
    for (std::size_t j = 0; j < kExaminees; ++j) {
        PersonReport person;
        person.examinId = "E" + std::to_string((j * 7919) % kExaminees);
        person.theta = static_cast<double>((j * 31) % 2001) / 400 - 2.5;  // many ties
        person.seetheta = 0.3;
        person.nvalid = 20;
        person.rawScore = static_cast<int>(j % 21);
        run->personRows.push_back(person);
        if (j < kFitted) {
            fit.personMembers.push_back("\"fit\":{\"infit\":1.0,\"lz\":" +
                                        std::to_string(static_cast<double>(j % 97) / 10 - 5) +
                                        ",\"outfit\":1.0},\"fit_note\":null");
        }
    }
    const ResultTable table = BuildPersonTable(run);
    ASSERT_EQ(table.RowCount(), kExaminees);
    const auto theta = static_cast<std::size_t>(table.Column("theta"));
    for (const bool ascending : {true, false}) {
        const std::vector<std::size_t> order = table.SortedOrder(theta, ascending);
        ASSERT_EQ(order.size(), kExaminees);
        EXPECT_EQ(table.Text(order.front(), theta), ascending ? "-2.5000" : "2.5000");
        std::vector<bool> seen(kExaminees, false);
        for (std::size_t k = 0; k < order.size(); ++k) {
            ASSERT_FALSE(seen[order[k]]);
            seen[order[k]] = true;
            if (k == 0) continue;
            // Each theta prints as it is (four decimals hold it).
            const double before = run->personRows[order[k - 1]].theta;
            const double now = run->personRows[order[k]].theta;
            ASSERT_TRUE(ascending ? before <= now : before >= now) << k;
            if (before == now) {
                ASSERT_LT(order[k - 1], order[k]) << k;
            }
        }
    }
    const auto lz = static_cast<std::size_t>(table.Column("lz"));
    const std::vector<std::size_t> byLz = table.SortedOrder(lz, false);
    EXPECT_EQ(table.Text(byLz.front(), lz), "4.600");
    for (std::size_t k = kFitted; k < kExaminees; ++k) ASSERT_EQ(byLz[k], k);
    const auto id = static_cast<std::size_t>(table.Column("ExaminID"));
    const std::vector<std::size_t> byId = table.SortedOrder(id, true);
    for (std::size_t k = 1; k < byId.size(); ++k) {
        ASSERT_LT(run->personRows[byId[k - 1]].examinId, run->personRows[byId[k]].examinId) << k;
    }
    EXPECT_EQ(table.Text(byId.front(), id), "E0");

    shell::test_support::EnsureApplication();
    shell::ResultTableModel model(table);
    model.SetFilter(static_cast<int>(id), QStringLiteral("e1999"));
    std::size_t holding = 0;
    for (const PersonReport& person : run->personRows) {
        holding += person.examinId.find("E1999") != std::string::npos ? 1 : 0;
    }
    ASSERT_EQ(static_cast<std::size_t>(model.rowCount()), holding);
    for (int row = 0; row < model.rowCount(); ++row) {
        const QString shown =
            model.data(model.index(row, static_cast<int>(id)), Qt::DisplayRole).toString();
        ASSERT_TRUE(shown.contains(QStringLiteral("E1999"))) << row;
    }
    model.SetFilter(static_cast<int>(id), QString());
    EXPECT_EQ(static_cast<std::size_t>(model.rowCount()), kExaminees);
}

TEST(RowsOfRun, AreThePolytomousResultFilesRows) {
    test_support::TempDir dir;
    request::RequestTexts texts;
    const std::pair<const char*, std::string> options[] = {
        {"response-file", std::string(TARVO_SOURCE_DIR) + "/tests/golden/polytomous/mixed.dat"},
        {"item-count", "40"},
        {"response-start", "20"},
        {"examinee-id-start", "1"},
        {"examinee-id-length", "8"},
        {"output-file", dir.File("poly.csv")},
        {"method", "mml"},
        {"model", "gpcm"},
        {"em-cycles", "3"}};  // the rows are what they are after any cycle
    for (const auto& [name, value] : options) {
        ASSERT_EQ(request::ApplyOption(name, value, texts), "") << name;
    }
    const request::RequestCheck check = request::ParseRequest(texts);
    ASSERT_TRUE(check.request);
    test_support::ScriptedHost host;
    RunReport report;
    RunCalibration(*check.request, host, &report);
    const std::string file = test_support::ReadFile(dir.File("poly.csv"));
    ASSERT_FALSE(report.itemRows.empty());
    const ResultFileRows fromRun = RowsOfRun(report);
    ExpectSameRows(fromRun.items, ParseResultFile(file).items);
    ASSERT_EQ(fromRun.persons.rows.size(), report.personRows.size());
    // The file's person section, which the reader of classic files skips.
    const std::size_t persons = file.find("SeqPerson,");
    ASSERT_NE(persons, std::string::npos);
    const std::size_t firstRow = file.find('\n', persons) + 1;
    const std::string row = file.substr(firstRow, file.find('\r', firstRow) - firstRow);
    std::string joined;
    for (const std::string& field : fromRun.persons.rows[0]) joined += field + ",";
    std::string printed;
    for (const char ch : row) {
        if (ch != ' ') printed += ch;
    }
    EXPECT_EQ(joined, printed + ",");
    // The examinee table shows those fields, the summed score as printed
    // (no column of its own beside it), then the examinee's fit by each
    // item's own model and the flags.
    const ResultTable table = BuildPersonTable(std::make_shared<const RunReport>(report));
    ASSERT_EQ(table.columns.size(), fromRun.persons.columns.size() + 4);
    EXPECT_EQ(table.Column("Raw score"), -1);
    EXPECT_EQ(table.columns.back(), "Flags");
    const int lz = table.Column("lz");
    ASSERT_EQ(lz, static_cast<int>(fromRun.persons.columns.size()));
    std::size_t withLz = 0;
    for (std::size_t r = 0; r < table.RowCount(); ++r) {
        withLz += !table.Text(r, static_cast<std::size_t>(lz)).empty();
    }
    EXPECT_GT(withLz, table.RowCount() / 2);
    ASSERT_EQ(table.RowCount(), fromRun.persons.rows.size());
    for (std::size_t r = 0; r < table.RowCount(); ++r) {
        for (std::size_t c = 0; c < fromRun.persons.columns.size(); ++c) {
            EXPECT_EQ(table.Text(r, c), fromRun.persons.rows[r][c]) << r << " " << c;
            EXPECT_EQ(table.Cell(r, c).text, fromRun.persons.rows[r][c]) << r << " " << c;
        }
    }
}

}  // namespace
}  // namespace tarvo::results
