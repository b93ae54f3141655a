// The fit statistics in the results window's tables, read from the report's
// sections as the run writes them: the item and examinee fit columns with
// their flagged cells, the Q3 pairs largest first, the model comparison.
#include "shell/results/fit_tables.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "run/fit_sections.h"
#include "run/model_comparison.h"
#include "shell/results/result_table.h"
#include "shell/results/results_data.h"

namespace tarvo::results {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// Item 1 misfits by S-X2, item 3 (no S-X2) by its outfit; examinee 2 by lz;
// items 1 and 3 are a flagged pair.
RunReport ReportWithFit() {
    fit::FitResults fit;
    fit.items.resize(3);
    fit.items[0] = {};
    fit.items[0].sx2 = 31.5;
    fit.items[0].df = 4;
    fit.items[0].p = 0.00001;
    fit.items[0].pAdjusted = 0.00003;
    fit.items[0].infit = 1.1;
    fit.items[0].outfit = 1.2;
    fit.items[0].groupResidual = {0.5, -2.5, kNaN};
    fit.items[0].misfit = true;
    fit.items[1].sx2 = 3.2;
    fit.items[1].df = 5;
    fit.items[1].p = 0.67;
    fit.items[1].pAdjusted = 0.67;
    fit.items[1].infit = 0.95;
    fit.items[1].outfit = 0.9;
    fit.items[2].infit = 1.05;
    fit.items[2].outfit = 1.6;
    fit.items[2].misfit = true;
    fit.items[2].note = "S-X2 needs two rest-score groups.";
    fit.persons.resize(2);
    fit.persons[0].lz = 0.3;
    fit.persons[0].infit = 0.9;
    fit.persons[0].outfit = 0.8;
    fit.persons[1].lz = -2.4;
    fit.persons[1].infit = 1.7;
    fit.persons[1].outfit = 2.1;
    fit.persons[1].misfit = true;
    fit.misfittingItems = 2;
    fit.misfittingPersons = 1;
    fit::LocalDependence& q3 = fit.localDependence;
    q3.averageQ3 = -0.1;
    q3.flagAbove = 0.1;
    q3.definedPairs = 3;
    q3.matrix = {kNaN, -0.2, 0.25, -0.2, kNaN, -0.35, 0.25, -0.35, kNaN};
    q3.largest = {{0, 2, 0.25}, {0, 1, -0.2}, {1, 2, -0.35}};
    q3.flagged = {{0, 2, 0.25}};

    ItemTable items;
    items.AccNo = {"Q1", "Q2", "Q3"};
    PersonTable persons;
    persons.ExaminID = {"A001", "A002"};
    RunReport report;
    report.mode = 3;
    report.sections = FitSections(fit, items, persons, "a normal");
    for (int i = 0; i < 3; ++i) {
        ItemReport row;
        row.seqItem = i + 1;
        row.accNo = items.AccNo[static_cast<std::size_t>(i)];
        row.nobs = 500;
        row.a = 1;
        row.flags = report.sections[0].itemFlags[static_cast<std::size_t>(i)];
        report.itemRows.push_back(row);
    }
    for (int j = 0; j < 2; ++j) {
        PersonReport row;
        row.examinId = persons.ExaminID[static_cast<std::size_t>(j)];
        row.flags = report.sections[0].personFlags[static_cast<std::size_t>(j)];
        report.personRows.push_back(row);
    }
    return report;
}

TableCell At(const ResultTable& table, std::size_t row, const char* column) {
    return table.Cell(row, static_cast<std::size_t>(table.Column(column)));
}

TEST(FitTables, TheItemAndExamineeTablesShowTheFitAndSayWhyACellIsFlagged) {
    const ResultsData data = CollectResultsData(ReportWithFit());
    const ResultTable& items = data.itemTable;
    for (const char* column : {"S-X2", "df", "p", "adj. p", "infit", "outfit"}) {
        ASSERT_GE(items.Column(column), 0) << column;
    }
    EXPECT_EQ(items.columns.back(), "Flags");
    EXPECT_EQ(At(items, 0, "S-X2").text, "31.50");
    EXPECT_EQ(At(items, 0, "df").number, 4);
    EXPECT_TRUE(At(items, 0, "adj. p").flagged);
    EXPECT_NE(At(items, 0, "adj. p").why.find("Benjamini-Hochberg"), std::string::npos);
    EXPECT_FALSE(At(items, 1, "adj. p").flagged);
    // Without S-X2 the mean square outside 0.7 to 1.3 carries the flag,
    // and the blank cells say why they are blank.
    EXPECT_TRUE(At(items, 2, "outfit").flagged);
    EXPECT_FALSE(At(items, 2, "infit").flagged);
    EXPECT_TRUE(std::isnan(At(items, 2, "S-X2").number));
    EXPECT_EQ(At(items, 2, "S-X2").why, "S-X2 needs two rest-score groups.");
    EXPECT_NE(At(items, 0, "Flags").text.find("misfit"), std::string::npos);
    // Sorted by p, the blank last.
    const std::vector<std::size_t> byP =
        items.SortedOrder(static_cast<std::size_t>(items.Column("p")), true);
    EXPECT_EQ(byP, (std::vector<std::size_t>{0, 1, 2}));

    const ResultTable& persons = data.personTable;
    ASSERT_GE(persons.Column("lz"), 0);
    EXPECT_EQ(At(persons, 1, "lz").number, -2.4);
    EXPECT_TRUE(At(persons, 1, "lz").flagged);
    EXPECT_FALSE(At(persons, 0, "lz").flagged);

    // The curve plot's title numbers and the residuals, by group.
    ASSERT_EQ(data.items.size(), 3u);
    EXPECT_EQ(data.items[0].sx2, 31.5);
    EXPECT_EQ(data.items[0].groupResiduals.size(), 3u);
    EXPECT_EQ(data.items[0].groupResiduals[1], -2.5);
    EXPECT_TRUE(std::isnan(data.items[0].groupResiduals[2]));
}

TEST(FitTables, ThePairsComeLargestFirstWithTheFlaggedOnesMarked) {
    const ResultsData data = CollectResultsData(ReportWithFit());
    ASSERT_TRUE(data.HasLocalDependence());
    const ResultTable& pairs = data.pairTable;
    ASSERT_EQ(pairs.rows.size(), 3u);
    EXPECT_EQ(At(pairs, 0, "Item A").number, 1);
    EXPECT_EQ(At(pairs, 0, "Item B").number, 3);
    EXPECT_EQ(At(pairs, 0, "Name B").text, "Q3");
    EXPECT_EQ(At(pairs, 0, "Q3").text, "0.250");
    EXPECT_TRUE(At(pairs, 0, "Q3").flagged);
    EXPECT_EQ(At(pairs, 0, "Flag").text, "local dependence");
    EXPECT_FALSE(At(pairs, 1, "Q3").flagged);
    EXPECT_EQ(At(pairs, 2, "Q3").number, -0.35);
    EXPECT_NE(LocalDependenceNote(data.Report()).find("-0.100"), std::string::npos);
    EXPECT_FALSE(data.HasModelComparison());
}

TEST(FitTables, TheComparisonTableHasOneRowPerModelAndItsTestAgainstThePrevious) {
    ModelComparison comparison;
    comparison.models.resize(2);
    comparison.models[0].model = MarginalModel::Rasch;
    comparison.models[0].fit = fit::DescribeModelFit(fit::ModelLikelihood{-2664.9, 6}, 1000);
    comparison.models[1].model = MarginalModel::TwoPL;
    comparison.models[1].runModel = true;
    comparison.models[1].fit = fit::DescribeModelFit(fit::ModelLikelihood{-2658.8, 10}, 1000);
    comparison.tests.push_back(
        fit::CompareNested(comparison.models[0].fit, comparison.models[1].fit));
    RunReport report;
    report.sections.push_back(ModelComparisonSection(comparison));
    const ResultTable table = BuildComparisonTable(report);
    ASSERT_EQ(table.rows.size(), 2u);
    EXPECT_EQ(At(table, 0, "Model").text, "rasch");
    EXPECT_EQ(At(table, 1, "Model").text, "2pl (the run's)");
    EXPECT_EQ(At(table, 0, "-2LL").text, "5329.800");
    EXPECT_TRUE(At(table, 0, "Chi-square").text.empty());
    EXPECT_EQ(At(table, 1, "df").number, 4);
    EXPECT_NEAR(At(table, 1, "Chi-square").number, 12.2, 1e-9);
    EXPECT_EQ(At(table, 1, "p").text, FitProbability(comparison.tests[0].p));
}

}  // namespace
}  // namespace tarvo::results
