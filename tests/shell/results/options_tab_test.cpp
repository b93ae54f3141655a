// The Options tab: shown for a keyed run, not for one without a key; its
// table holds every option of the report's analysis with the flagged ones
// explained, and each item's trace plot draws the report's group shares
// against the groups' mean ability.
#include "shell/results/options/options_tab.h"

#include <gtest/gtest.h>

#include <QListWidget>
#include <QTabWidget>
#include <QtCharts/QChart>
#include <QtCharts/QChartView>
#include <QtCharts/QLineSeries>
#include <filesystem>

#include "platform/control_ids.h"
#include "sample_layout.h"
#include "shell/results/options/option_table.h"
#include "shell/results/result_table_model.h"
#include "shell/results/results_window.h"
#include "shell_test_support.h"
#include "support/run_request.h"
#include "support/temp_dir.h"

namespace tarvo::shell {
namespace {

const std::filesystem::path kOptions =
    std::filesystem::path(TARVO_SOURCE_DIR) / "tests" / "data" / "options";

// A joint run of the public multiple-choice set; item 1's key is given as
// 3 where the published key says 4, so that its options are flagged.
RunReport IqitemsReport(const tarvo::test_support::TempDir& dir, bool keyed) {
    tarvo::test_support::ScriptedHost host;
    host.mode = 3;
    host.answerYes = false;
    host.texts =
        sim::SampleControlTexts(16, (kOptions / "iqitems.dat").string(), "", dir.File("out.csv"));
    if (keyed) host.texts[control::kAnswerKey] = "3446634452243267";
    RunReport report;
    EXPECT_EQ(tarvo::test_support::RunClassic(host, &report), RunEnd::Finished);
    return report;
}

TEST(OptionsTab, AKeyedRunShowsItsOptionsAndEachItemsTracePlot) {
    test_support::EnsureApplication();
    tarvo::test_support::TempDir dir;
    RunReport report = IqitemsReport(dir, true);
    ASSERT_TRUE(report.options.has_value());
    const report::OptionAnalysis analysis = *report.options;

    // The model layer: a row per option, item 1's rival flagged with why.
    const results::ResultTable table = results::BuildOptionTable(report);
    std::size_t options = 0;
    for (const report::OptionItem& item : analysis.items) options += item.options.size();
    ASSERT_EQ(table.RowCount(), options);
    const int code = table.Column("Option");
    const int flags = table.Column("Flags");
    ASSERT_GE(code, 0);
    ASSERT_GE(flags, 0);
    bool rivalFlagged = false;
    for (std::size_t r = 0; r < table.RowCount(); ++r) {
        if (table.Text(r, 0) != "1" || table.Text(r, static_cast<std::size_t>(code)) != "4") {
            continue;
        }
        const results::TableCell cell = table.Cell(r, static_cast<std::size_t>(flags));
        rivalFlagged = cell.flagged && cell.why.find("check the key: option 4") == 0;
    }
    EXPECT_TRUE(rivalFlagged);

    test_support::RecordingDesktop desktop;
    ResultsWindow window(QString::fromStdString(dir.File("out.csv")), std::move(report), desktop);
    EXPECT_TRUE(window.TabTitles().contains(QStringLiteral("Options")));
    auto* tab = window.findChild<OptionsTab*>();
    ASSERT_NE(tab, nullptr);
    ASSERT_EQ(tab->Items()->count(), 16);
    auto* model = tab->findChild<ResultTableModel*>();
    ASSERT_NE(model, nullptr);
    EXPECT_EQ(static_cast<std::size_t>(model->rowCount()), options);

    // Item 1's plot: one line per option, the key's named, each point a
    // group's mean theta and share.
    tab->Items()->setCurrentRow(0);
    QChart* chart = tab->Chart()->chart();
    EXPECT_TRUE(chart->title().startsWith(QStringLiteral("Item 1")))
        << chart->title().toStdString();
    const report::OptionItem& first = analysis.items[0];
    ASSERT_EQ(chart->series().size(), static_cast<qsizetype>(first.options.size()));
    for (std::size_t k = 0; k < first.options.size(); ++k) {
        auto* line = qobject_cast<QLineSeries*>(chart->series()[static_cast<qsizetype>(k)]);
        ASSERT_NE(line, nullptr);
        const report::OptionRow& row = first.options[k];
        EXPECT_EQ(line->name().endsWith(QStringLiteral("(key)")), row.isKey);
        ASSERT_EQ(line->count(), static_cast<qsizetype>(analysis.groups));
        for (std::size_t g = 0; g < analysis.groups; ++g) {
            EXPECT_DOUBLE_EQ(line->at(static_cast<qsizetype>(g)).x(), analysis.groupMeanAbility[g]);
            EXPECT_DOUBLE_EQ(line->at(static_cast<qsizetype>(g)).y(), row.groupProportion[g]);
        }
    }
    tab->Items()->setCurrentRow(15);
    EXPECT_TRUE(tab->Chart()->chart()->title().startsWith(QStringLiteral("Item 16")));
}

TEST(OptionsTab, ARunWithoutAKeyHasNoOptionsTab) {
    test_support::EnsureApplication();
    tarvo::test_support::TempDir dir;
    RunReport report = IqitemsReport(dir, false);
    EXPECT_FALSE(report.options.has_value());
    test_support::RecordingDesktop desktop;
    ResultsWindow window(QString::fromStdString(dir.File("out.csv")), std::move(report), desktop);
    EXPECT_FALSE(window.TabTitles().contains(QStringLiteral("Options")));
    EXPECT_EQ(window.findChild<OptionsTab*>(), nullptr);
}

}  // namespace
}  // namespace tarvo::shell
