// A calibration's own score table: formed from the items the estimation
// ended with, for the classic estimator's population or the marginal
// estimator's quadrature, written beside a result file that does not
// change, and refused or reported when it cannot be written.
#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

#include "linking/forms/ability_grid.h"
#include "linking/tables/score_table.h"
#include "run/run_score_table.h"
#include "support/run_fixture.h"
#include "support/run_request.h"

namespace tarvo {
namespace {

using test_support::CrLfLines;
using test_support::RunFixture;
using test_support::ScriptedHost;

// The report's final items as a form.
linking::ItemForm FormOfReport(const RunReport& report) {
    linking::ItemForm form;
    form.Resize(report.itemRows.size());
    for (std::size_t i = 0; i < report.itemRows.size(); ++i) {
        const ItemReport& item = report.itemRows[i];
        form.id[i] = item.accNo;
        form.a[i] = item.a;
        form.b[i] = item.b;
        form.c[i] = item.c;
    }
    return form;
}

// The CSV's rows as numbers; an empty field is NaN.
std::vector<std::vector<double>> CsvRows(const std::string& text) {
    std::vector<std::vector<double>> rows;
    const auto lines = CrLfLines(text);
    for (std::size_t k = 1; k < lines.size(); ++k) {
        std::vector<double> row;
        std::stringstream in(lines[k]);
        for (std::string field; std::getline(in, field, ',');) {
            row.push_back(field.empty() ? NAN : std::strtod(field.c_str(), nullptr));
        }
        if (lines[k].back() == ',') row.push_back(NAN);
        rows.push_back(row);
    }
    return rows;
}

void ExpectTableIs(const std::string& csv, const std::vector<linking::ScoreRow>& expected) {
    const auto rows = CsvRows(csv);
    ASSERT_EQ(rows.size(), expected.size());
    for (std::size_t s = 0; s < rows.size(); ++s) {
        ASSERT_EQ(rows[s].size(), 5u) << s;
        EXPECT_EQ(rows[s][0], expected[s].score);
        EXPECT_NEAR(rows[s][1], expected[s].proportion, 1e-6) << s;
        EXPECT_NEAR(rows[s][2], expected[s].eap, 1e-6) << s;
        EXPECT_NEAR(rows[s][3], expected[s].eapSd, 1e-6) << s;
        EXPECT_EQ(std::isnan(rows[s][4]), std::isnan(expected[s].ml)) << s;
        if (!std::isnan(expected[s].ml)) {
            EXPECT_NEAR(rows[s][4], expected[s].ml, 1e-6) << s;
        }
    }
}

TEST(ScoreTableRun, TheClassicRunWritesTheTableOfItsFinalItemsAndLeavesTheResultAlone) {
    RunFixture data(300, 8, 5);
    data.WriteFiles();
    ScriptedHost plain = data.Host(3);
    ASSERT_EQ(test_support::RunClassic(plain), RunEnd::Finished);
    const std::string without = data.Output();

    for (const bool ownPopulation : {false, true}) {
        ScriptedHost host = data.Host(3);
        RunRequest request = test_support::RequestOf(host.texts, host.mode);
        request.scoreTableFile = data.dir.File("scores.csv");
        if (ownPopulation) request.scorePopulation = ScorePopulation{31, 4, 0.5, 2};
        RunReport report;
        ASSERT_EQ(RunCalibration(request, host, &report), RunEnd::Finished);
        EXPECT_EQ(data.Output(), without);
        ASSERT_TRUE(report.summedScores);
        const ScorePopulation& p = request.scorePopulation;
        ExpectTableIs(
            test_support::ReadFile(request.scoreTableFile),
            linking::SummedScoreTable(FormOfReport(report),
                                      linking::NormalGrid(p.points, p.range, p.mean, p.sd)));
        EXPECT_EQ(report.summedScores->rows.size(), 9u);
        EXPECT_EQ(report.summedScores->population.points, p.points);
        EXPECT_FALSE(report.summedScores->overQuadrature);
        // The table's part of the report, for the JSON and the summary.
        std::size_t tables = 0;
        for (const ReportSection& section : report.sections)
            tables += section.key == "summed_scores";
        EXPECT_EQ(tables, 1u);
    }
}

TEST(ScoreTableRun, TheMarginalRunFormsItOverItsQuadratureAndEstimatedPopulation) {
    RunFixture data(400, 8, 9);
    data.WriteFiles();
    ScriptedHost host = data.Host(3);
    MarginalSettings settings;
    settings.fixItems = true;
    settings.estimatePopulation = true;
    settings.quadraturePoints = 21;
    RunRequest request = test_support::MarginalRequestOf(host.texts, host.mode, settings);
    request.scoreTableFile = data.dir.File("scores.csv");
    RunReport report;
    ASSERT_EQ(RunCalibration(request, host, &report), RunEnd::Finished);
    ASSERT_TRUE(report.population.estimated);
    ASSERT_TRUE(report.summedScores);
    const SummedScoreReport& scores = *report.summedScores;
    EXPECT_TRUE(scores.overQuadrature);
    EXPECT_TRUE(scores.populationEstimated);
    EXPECT_EQ(scores.population.points, 21);
    EXPECT_EQ(scores.population.mean, report.population.mean);
    EXPECT_EQ(scores.population.sd, report.population.sd);
    EXPECT_GT(std::fabs(scores.population.sd - 1), 0.05);  // the fixture's abilities are wider
    ExpectTableIs(test_support::ReadFile(request.scoreTableFile),
                  linking::SummedScoreTable(
                      FormOfReport(report),
                      linking::NormalGrid(21, 6, report.population.mean, report.population.sd)));
}

// A graded item whose second threshold is NaN (an estimate gone wrong)
// gives no table, and the problem names the item; the same items with the
// threshold finite give one.
TEST(ScoreTableRun, ANanThresholdIsRefusedNamingTheItem) {
    RunRequest request;
    request.method = Method::Marginal;
    request.marginal.polytomous = PolytomousModel::Grm;
    ItemTable items(2);
    items.a = {1.2, 0.9};
    EstimationOutcome outcome;
    outcome.categories = {3, 3};
    outcome.thresholds = {{-0.5, 0.5}, {-1, NAN}};
    std::string problem;
    EXPECT_FALSE(ScoreTableOfRun(request, items, outcome, problem));
    EXPECT_EQ(problem, "item 2 has no finite slope and thresholds");
    outcome.thresholds[1][1] = 1;
    problem.clear();
    const std::optional<SummedScoreReport> table =
        ScoreTableOfRun(request, items, outcome, problem);
    ASSERT_TRUE(table) << problem;
    EXPECT_EQ(table->rows.size(), 5u);
}

TEST(ScoreTableRun, TheReportFormsItsOwnTableOnlyUpToTheHighestRawScoreAskedFor) {
    RunFixture data(60, 8);
    data.WriteFiles();
    for (const int most : {7, 8}) {
        ScriptedHost host = data.Host(3);
        const RunRequest request = test_support::RequestOf(host.texts, host.mode);
        ReportExtras extras;
        extras.summedScores = true;
        extras.mostRawScore = most;
        RunReport report;
        ASSERT_EQ(RunCalibration(request, host, &report, EngineSettings{}, extras),
                  RunEnd::Finished);
        EXPECT_EQ(report.summedScores.has_value(), most == 8) << most;
    }
}

TEST(ScoreTableRun, AFileThatWouldDestroyAnInputIsRefusedAndOneThatCannotBeWrittenIsTold) {
    RunFixture data(60, 6);
    data.WriteFiles();
    const std::string itemsBefore = test_support::ReadFile(data.itemFile());
    {
        ScriptedHost host = data.Host(2);
        RunRequest request = test_support::RequestOf(host.texts, host.mode);
        request.scoreTableFile = data.itemFile();
        EXPECT_EQ(RunCalibration(request, host), RunEnd::EndedAtCheck);
        ASSERT_FALSE(host.messages.empty());
        EXPECT_EQ(host.messages.back(),
                  "ERROR Score table file " + data.itemFile() + " is an input file.");
        EXPECT_EQ(test_support::ReadFile(data.itemFile()), itemsBefore);

        request.scoreTableFile = request.outputFile;
        EXPECT_EQ(RunCalibration(request, host), RunEnd::EndedAtCheck);
        EXPECT_EQ(host.messages.back(),
                  "ERROR Score table file " + request.outputFile + " is the result file.");
    }
    ScriptedHost host = data.Host(3);
    RunRequest request = test_support::RequestOf(host.texts, host.mode);
    request.scoreTableFile = data.dir.File("no-such-folder/scores.csv");
    RunReport report;
    // The result is whole; the run says which file it could not write.
    EXPECT_EQ(RunCalibration(request, host, &report), RunEnd::Finished);
    EXPECT_EQ(CrLfLines(data.Output()).size(), 1u + 6 + 1 + 1 + 60);
    const std::string told = "The score table file " + request.scoreTableFile +
                             " could not be written: " + request.scoreTableFile +
                             ": No such file or directory.";
    ASSERT_FALSE(host.messages.empty());
    EXPECT_EQ(host.messages.back(), "ERROR " + told);
    EXPECT_EQ(report.unwrittenFiles, std::vector<std::string>{told});
    EXPECT_EQ(report.warnings.back(), told);
}

}  // namespace
}  // namespace tarvo
