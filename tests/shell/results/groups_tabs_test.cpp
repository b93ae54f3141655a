// The Groups and DIF tabs: shown only when the report has the sections;
// the screens' tables with their flagged rows, the chosen row's item
// plotted as both groups' observed scores (adjacent scores pooled, every
// examinee counted once), and each calibrated group's abilities against its
// fitted population.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QStackedWidget>
#include <QTabWidget>
#include <QtCharts/QAreaSeries>
#include <QtCharts/QChart>
#include <QtCharts/QChartView>
#include <QtCharts/QLineSeries>
#include <QtCharts/QScatterSeries>
#include <nlohmann/json.hpp>

#include "group_sections.h"
#include "hand_written_result.h"
#include "shell/results/groups/dif_tab.h"
#include "shell/results/groups/dif_tables.h"
#include "shell/results/groups/group_tables.h"
#include "shell/results/groups/groups_tab.h"
#include "shell/results/result_table_model.h"
#include "shell/results/result_table_view.h"

namespace tarvo::shell {
namespace {

using Json = nlohmann::json;

TEST(DifPoints, AdjacentScoresPooledUntilAPointHoldsEnoughAndNoExamineeLost) {
    // Scores 0..5 with 5, 30, 4, 4, 4, 3 examinees; at least 10 a point.
    const std::vector<double> score{0, 1, 2, 3, 4, 5}, mean{0.2, 0.4, 0.5, 0.5, 1.0, 1.0};
    const std::vector<std::size_t> count{5, 30, 4, 4, 4, 3};
    const results::DifPoints points = results::PoolScores(score, count, mean, 10);
    // 0+1 (35), 2+3+4 (12), then 5's 3 examinees join the last point.
    ASSERT_EQ(points.count, (std::vector<std::size_t>{35, 15}));
    EXPECT_DOUBLE_EQ(points.score[0], (0 * 5 + 1 * 30) / 35.0);
    EXPECT_DOUBLE_EQ(points.meanScore[0], (0.2 * 5 + 0.4 * 30) / 35.0);
    EXPECT_DOUBLE_EQ(points.score[1], (2 * 4 + 3 * 4 + 4 * 4 + 5 * 3) / 15.0);
    EXPECT_DOUBLE_EQ(points.meanScore[1], (0.5 * 4 + 0.5 * 4 + 1.0 * 4 + 1.0 * 3) / 15.0);
    // Too few for one point: one point of them all; none: no point.
    EXPECT_EQ(results::PoolScores({2, 3}, {1, 2}, {0, 1}, 10).count, std::vector<std::size_t>{3});
    EXPECT_TRUE(results::PoolScores({}, {}, {}, 10).count.empty());
}

class GroupTabs : public ResultsWindowTest {
  protected:
    void SetUp() override {
        ResultsWindowTest::SetUp();
        for (ReportSection& section : test_support::GroupSections()) {
            report.sections.push_back(std::move(section));
        }
    }
    Json Section(const char* key) const {
        for (const ReportSection& section : report.sections) {
            if (section.key == key) return Json::parse(section.json);
        }
        return Json();
    }
};

TEST_F(GroupTabs, TheScreensTablesFlagTheirBAndCRowsAndPlotTheChosenItem) {
    const Json dif = Section("dif");
    const Json& comparison = dif["comparisons"][0];
    const std::vector<results::DifScreenTable> tables = results::BuildDifTables(report);
    ASSERT_EQ(tables.size(), 3u);
    EXPECT_EQ(tables[0].title, "Mantel-Haenszel: 'F' against 'R'");
    EXPECT_EQ(tables[1].title, "Standardization: 'F' against 'R'");
    for (std::size_t t = 0; t < 3; ++t) {
        SCOPED_TRACE(t);
        const results::ResultTable& table = tables[t].table;
        const Json& rows = comparison["tables"][t]["rows"];
        ASSERT_EQ(table.RowCount(), 6u);
        const int category = table.Column("Category");
        ASSERT_GE(category, 0);
        for (std::size_t i = 0; i < 6; ++i) {
            const std::string expected =
                rows[i]["category"].is_string() ? rows[i]["category"].get<std::string>() : "";
            const results::TableCell cell = table.Cell(i, static_cast<std::size_t>(category));
            EXPECT_EQ(cell.text, expected);
            EXPECT_EQ(cell.flagged, expected == "B" || expected == "C") << i;
            if (cell.flagged) {
                EXPECT_NE(cell.why.find("(category " + expected + ")"), std::string::npos);
            }
        }
        EXPECT_EQ(table.Cell(1, 0).number, 2);
    }
    // The planted item, by Mantel-Haenszel.
    EXPECT_TRUE(tables[0].table.Cell(1, 0).flagged);

    const std::unique_ptr<ResultsWindow> window = Open();
    const QStringList titles = window->TabTitles();
    ASSERT_TRUE(titles.contains(QStringLiteral("DIF")));
    EXPECT_EQ(titles.indexOf(QStringLiteral("Groups")) + 1, titles.indexOf(QStringLiteral("DIF")));
    EXPECT_EQ(titles.last(), QStringLiteral("Summary"));
    auto* tab = window->findChild<DifTab*>();
    ASSERT_NE(tab, nullptr);
    ASSERT_EQ(tab->Chooser()->count(), 3);
    tab->Chooser()->setCurrentIndex(2);
    EXPECT_EQ(tab->findChild<QStackedWidget*>()->currentIndex(), 2);

    // Sorted by p, the chosen row is still its own item.
    ResultTableView* view = tab->View(0);
    view->sortByColumn(5, Qt::AscendingOrder);
    auto* model = static_cast<ResultTableModel*>(view->model());
    int planted = -1;
    for (int row = 0; row < model->rowCount(); ++row) {
        if (model->index(row, 0).data().toString() == QStringLiteral("2")) planted = row;
    }
    ASSERT_GE(planted, 0);
    view->setCurrentIndex(model->index(planted, 0));
    QChart* chart = tab->Chart()->chart();
    EXPECT_TRUE(chart->title().startsWith(QStringLiteral("Item 2")))
        << chart->title().toStdString();
    // Each group's points count every examinee of it who answered the item.
    const Json& observed = comparison["observed"][1];
    std::size_t scatters = 0;
    for (QAbstractSeries* series : chart->series()) {
        auto* dots = qobject_cast<QScatterSeries*>(series);
        if (dots == nullptr) continue;
        ++scatters;
        const bool focal = dots->name().startsWith(QStringLiteral("F (focal"));
        std::size_t examinees = 0;
        for (const Json& n : observed[focal ? "focal" : "reference"]["count"]) {
            examinees += n.get<std::size_t>();
        }
        EXPECT_EQ(examinees,
                  comparison[focal ? "focal_count" : "reference_count"].get<std::size_t>());
        EXPECT_TRUE(dots->name().endsWith(QStringLiteral(", %1 examinees)").arg(examinees)))
            << dots->name().toStdString();
        EXPECT_GE(dots->count(), 2);
        EXPECT_LE(dots->count(), static_cast<int>(examinees / results::kLeastPerDifPoint));
        for (const QPointF& p : dots->points()) {
            EXPECT_GE(p.y(), 0);
            EXPECT_LE(p.y(), 1);
        }
    }
    EXPECT_EQ(scatters, 2u);
}

TEST_F(GroupTabs, EachCalibratedGroupHasItsRowAndItsHistogramWithTheFittedPopulation) {
    const Json calibration = Section("group_calibration");
    const results::ResultTable table = results::BuildGroupTable(report);
    ASSERT_EQ(table.RowCount(), 2u);
    EXPECT_EQ(table.Text(1, 0), "F");
    EXPECT_EQ(table.Text(1, 1), "focal");
    EXPECT_EQ(table.Text(1, static_cast<std::size_t>(table.Column("Mean"))), "-0.410");
    EXPECT_EQ(table.Text(1, static_cast<std::size_t>(table.Column("SE SD"))), "0.060");
    EXPECT_EQ(table.Text(0, static_cast<std::size_t>(table.Column("SE mean"))), "");
    EXPECT_NE(results::GroupModelLine(report).find("-2LL 4801.000"), std::string::npos)
        << results::GroupModelLine(report);

    const std::unique_ptr<ResultsWindow> window = Open();
    auto* tab = window->findChild<GroupsTab*>();
    ASSERT_NE(tab, nullptr);
    ASSERT_NE(tab->Chooser(), nullptr);
    ASSERT_EQ(tab->Chooser()->count(), 2);
    tab->Chooser()->setCurrentIndex(1);
    QChart* chart = tab->Chart()->chart();
    EXPECT_TRUE(chart->title().startsWith(QStringLiteral("Group F")))
        << chart->title().toStdString();
    const Json& bars = calibration["groups"][1]["histogram"];
    double total = 0, highestFitted = 0;
    for (const Json& bar : bars) {
        total += bar["count"].get<double>();
        highestFitted = std::max(highestFitted, bar["fitted"].get<double>());
    }
    auto* area = qobject_cast<QAreaSeries*>(chart->series().value(0));
    ASSERT_NE(area, nullptr);
    EXPECT_EQ(area->name(), QStringLiteral("Examinees (%1)").arg(total));
    QLineSeries* fitted = Line(chart, QStringLiteral("Fitted normal, mean -0.410, SD 1.050"));
    ASSERT_NE(fitted, nullptr);
    // The density's peak is the count a bar at the mean would expect, near
    // the largest the report's bars expect.
    double peak = 0;
    for (const QPointF& p : fitted->points()) peak = std::max(peak, p.y());
    EXPECT_NEAR(peak, highestFitted, 0.1 * highestFitted);
}

TEST_F(ResultsWindowTest, ARunWithoutGroupsHasNeitherTab) {
    const std::unique_ptr<ResultsWindow> window = Open();
    EXPECT_FALSE(window->TabTitles().contains(QStringLiteral("Groups")));
    EXPECT_FALSE(window->TabTitles().contains(QStringLiteral("DIF")));
    // A screen that was not formed is still told, without tables.
    ReportSection dif;
    dif.key = "dif";
    dif.json = R"({"formed":false,"note":"no examinee has a group."})";
    report.sections.push_back(dif);
    const std::unique_ptr<ResultsWindow> told = Open();
    auto* tab = told->findChild<DifTab*>();
    ASSERT_NE(tab, nullptr);
    EXPECT_EQ(tab->Chooser()->count(), 0);
    EXPECT_EQ(results::DifNote(report),
              "The DIF screens were not formed: no examinee has a group.");
}

}  // namespace
}  // namespace tarvo::shell
