// Runs from the dialog with either estimator on the golden inputs: the
// classic one writes exactly the golden files whatever the marginal options
// hold; the marginal one writes its own rows and the results window names it;
// a mixed test with polytomous items chosen in the options dialog writes its
// golden file, and the window shows each item by its own model, in its
// Plots list too; the DIF screens chosen through "DIF..." show in a classic
// run's DIF tab.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QTimer>
#include <QtCharts/QChart>
#include <QtCharts/QLineSeries>
#include <QtCharts/QScatterSeries>

#include "platform/control_ids.h"
#include "sample_layout.h"
#include "shell/main_dialog.h"
#include "shell/options/dif_dialog.h"
#include "shell/options/marginal_options_dialog.h"
#include "shell/results/groups/dif_tables.h"
#include "shell/results/plots_tab.h"
#include "shell/results/result_table_model.h"
#include "shell/results/results_window.h"
#include "shell_test_support.h"

namespace tarvo::shell {
namespace {

namespace id = tarvo::control;
using test_support::ReadFileBytes;

const std::string kGolden = std::string(TARVO_SOURCE_DIR) + "/tests/golden/";

class MethodRunsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        test_support::EnsureApplication();
        ASSERT_TRUE(folder.isValid());
        for (const char* input : {"responses.dat", "items.itm"}) {
            test_support::WriteFileBytes(Path(input), ReadFileBytes(kGolden + "input/" + input));
        }
        dialog = std::make_unique<MainDialog>(nullptr, &picker, &desktop, &viewer);
        dialog->show();
    }

    void TearDown() override {
        for (ResultsWindow* window : viewer.Open()) delete window;
    }

    std::string Path(const std::string& name) const {
        return folder.path().toStdString() + "/" + name;
    }

    // The golden inputs' columns, as the golden runs give them.
    void FillDialog(bool itemFile, const std::string& outputName) {
        outputFile = Path(outputName);
        for (const auto& [control, text] : sim::SampleControlTexts(
                 10, Path("responses.dat"), itemFile ? Path("items.itm") : "", outputFile)) {
            dialog->Controls().SetText(control, text);
        }
    }

    std::optional<RunEnd> Go(int mode) {
        static_cast<QRadioButton*>(dialog->Control(1002 + mode))->click();
        static_cast<QPushButton*>(dialog->Control(id::kGo))->click();
        EXPECT_TRUE(test_support::WaitUntil([&] { return !dialog->Runs().IsRunning(); }));
        return dialog->Runs().LastOutcome();
    }

    void ChooseMethod(EstimatorMethod method) {
        dialog->MethodChoice().method->setCurrentIndex(method == EstimatorMethod::Marginal ? 1 : 0);
    }

    QString LastSummary() const {
        const auto open = viewer.Open();
        return open.empty() ? QString() : open.back()->Summary()->toPlainText();
    }

    test_support::CurrentDirectoryGuard restoreCurrentDirectory;
    QTemporaryDir folder;
    test_support::ScriptedPicker picker;
    test_support::RecordingDesktop desktop;
    ResultsWindows viewer{desktop};
    std::unique_ptr<MainDialog> dialog;
    std::string outputFile;
};

TEST_F(MethodRunsTest, ClassicWritesTheGoldenFilesWhateverTheMarginalOptionsHold) {
    const struct {
        int mode;
        const char* golden;
        bool itemFile, standardise;
    } cases[] = {{3, "mode3/result.csv", true, true}, {6, "mode6/result.csv", false, false}};
    for (const auto& c : cases) {
        // Marginal chosen and its options changed, then Classic again.
        ChooseMethod(EstimatorMethod::Marginal);
        MarginalOptionsForm changed = DefaultMarginalOptions();
        changed.model = MarginalModel::TwoPL;
        changed.emCycles = "not a number";
        dialog->Estimator().SetOptions(changed);
        ChooseMethod(EstimatorMethod::Classic);

        desktop.questions.clear();
        desktop.yesAnswer = c.standardise;
        FillDialog(c.itemFile, std::string("classic") + std::to_string(c.mode) + ".csv");
        EXPECT_EQ(Go(c.mode), RunEnd::Finished);
        EXPECT_EQ(ReadFileBytes(outputFile), ReadFileBytes(kGolden + c.golden)) << c.golden;
        // The joint modes ask their question as before.
        EXPECT_EQ(desktop.questions.size(), 1u) << c.mode;
        EXPECT_TRUE(desktop.messages.empty());
        EXPECT_EQ(LastSummary().indexOf(QStringLiteral("marginal")), -1);
        EXPECT_NE(LastSummary().indexOf(QStringLiteral("MSError changed by")), -1);
    }
}

TEST_F(MethodRunsTest, MarginalWritesItsOwnRowsInTheModelsLayout) {
    const struct {
        int mode;
        std::optional<MarginalModel> model;
        const char* layoutOf;  // the golden file whose header the result shares
    } cases[] = {
        {3, std::nullopt, "mode3/result.csv"},
        {3, MarginalModel::OnePL, "mode6/result.csv"},
        {6, std::nullopt, "mode6/result.csv"},
    };
    ChooseMethod(EstimatorMethod::Marginal);
    for (const auto& c : cases) {
        MarginalOptionsForm options = DefaultMarginalOptions();
        options.model = c.model;
        dialog->Estimator().SetOptions(options);
        desktop.questions.clear();
        FillDialog(true, "marginal" + std::to_string(c.mode) + ".csv");
        EXPECT_EQ(Go(c.mode), RunEnd::Finished) << c.layoutOf;

        const auto lines = test_support::CrLfLines(ReadFileBytes(outputFile));
        const auto golden = test_support::CrLfLines(ReadFileBytes(kGolden + c.layoutOf));
        ASSERT_EQ(lines.size(), golden.size()) << c.layoutOf;
        EXPECT_EQ(lines[0], golden[0]);          // the same columns
        EXPECT_NE(lines[1], golden[1]);          // other estimates
        EXPECT_TRUE(desktop.questions.empty());  // no standardise question
        EXPECT_TRUE(desktop.messages.empty());
        const QString summary = LastSummary();
        EXPECT_NE(summary.indexOf(QStringLiteral("marginal maximum likelihood")), -1)
            << summary.toStdString();
        EXPECT_NE(summary.indexOf(QStringLiteral("EM cycles settled")), -1)
            << summary.toStdString();
        // EM settles on the parameters' change; MSError belongs to the classic loop.
        EXPECT_NE(summary.indexOf(QStringLiteral("largest parameter change fell below 0.0001")),
                  -1);
        EXPECT_EQ(summary.indexOf(QStringLiteral("MSError")), -1) << summary.toStdString();
        // The EM cycles are drawn like the joint loop's passes.
        ASSERT_FALSE(viewer.Open().empty());
        PlotsTab* plots = viewer.Open().back()->Plots();
        ASSERT_NE(plots, nullptr);
        EXPECT_TRUE(plots->Shows(Plot::Convergence));
        // Right/wrong items share the run's model: the list's title names
        // it, the entries are the items' numbers as before.
        const char* model = c.model || c.mode == 6 ? "Items (1PL)" : "Items (3PL)";
        EXPECT_EQ(results::PlotsListTitle(viewer.Open().back()->Data()), model);
        EXPECT_EQ(plots->ItemList()->item(1)->text().split(QLatin1Char(' ')).front(),
                  QStringLiteral("2"));
    }
}

TEST_F(MethodRunsTest, RefusedMarginalOptionsStartNoRun) {
    ChooseMethod(EstimatorMethod::Marginal);
    MarginalOptionsForm options = DefaultMarginalOptions();
    options.quadraturePoints = "many";
    dialog->Estimator().SetOptions(options);
    FillDialog(true, "refused.csv");
    static_cast<QRadioButton*>(dialog->Control(1005))->click();
    static_cast<QPushButton*>(dialog->Control(id::kGo))->click();
    EXPECT_FALSE(dialog->Runs().IsRunning());
    ASSERT_EQ(desktop.messages.size(), 1u);
    EXPECT_NE(desktop.messages[0].find("Quadrature points (--quadrature) must be a whole number"),
              std::string::npos)
        << desktop.messages[0];
    EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(outputFile)));
    EXPECT_TRUE(viewer.Open().empty());
}

// The chart's series of that name, or null.
template <typename Series>
Series* Named(QChart* chart, const QString& name) {
    if (chart == nullptr) return nullptr;
    for (QAbstractSeries* series : chart->series()) {
        if (series->name() == name) return qobject_cast<Series*>(series);
    }
    return nullptr;
}

TEST_F(MethodRunsTest, AMixedTestChosenInTheOptionsDialogWritesTheGoldenResult) {
    test_support::WriteFileBytes(Path("mixed.dat"),
                                 ReadFileBytes(kGolden + "polytomous/mixed.dat"));
    outputFile = Path("mixed.csv");
    for (const auto& [control, text] :
         sim::SampleControlTexts(40, Path("mixed.dat"), "", outputFile)) {
        dialog->Controls().SetText(control, text);
    }
    ChooseMethod(EstimatorMethod::Marginal);
    // The options dialog is modal: chosen in while it runs, then OK.
    bool chosen = false;
    QTimer::singleShot(0, [&] {
        auto* options = dynamic_cast<MarginalOptionsDialog*>(QApplication::activeModalWidget());
        if (options == nullptr) return;
        QComboBox* box = options->PolytomousBox();
        box->setCurrentIndex(box->findData(static_cast<int>(PolytomousModel::Grm)));
        chosen = options->BinaryModelBox()->currentText() == QStringLiteral("3PL");
        options->accept();
    });
    dialog->MethodChoice().options->click();
    ASSERT_TRUE(chosen);
    ASSERT_EQ(dialog->Estimator().Options().polytomous, PolytomousModel::Grm);

    EXPECT_EQ(Go(3), RunEnd::Finished);
    EXPECT_TRUE(desktop.messages.empty()) << desktop.messages.front();
    EXPECT_EQ(ReadFileBytes(outputFile), ReadFileBytes(kGolden + "polytomous/result.csv"));

    // The window: the items by their own model from the run's tables.
    ASSERT_FALSE(viewer.Open().empty());
    ResultsWindow* window = viewer.Open().back();
    const results::ResultsData& data = window->Data();
    const results::ResultTable& items = data.itemTable;
    ASSERT_EQ(items.rows.size(), 40u);
    const int model = items.Column("Model"), b3 = items.Column("b3"), c = items.Column("c");
    ASSERT_GE(model, 0);
    ASSERT_GE(b3, 0);
    EXPECT_EQ(items.rows[0][static_cast<std::size_t>(model)].text, "3pl");
    EXPECT_EQ(items.rows[0][static_cast<std::size_t>(b3)].text, "");
    EXPECT_EQ(items.rows[30][static_cast<std::size_t>(model)].text, "grm");
    EXPECT_EQ(items.rows[30][static_cast<std::size_t>(c)].text, "");
    // Item 31's row of the golden file: grm, 4 categories, 0.955, -0.858, 0.018, 2.122.
    const ItemReport& item31 = data.Report().itemRows[30];
    EXPECT_EQ(item31.categories, 4);
    EXPECT_EQ(items.rows[30][static_cast<std::size_t>(b3)].text, "2.122");
    EXPECT_EQ(items.rows[30][static_cast<std::size_t>(items.Column("a"))].text, "0.955");
    EXPECT_EQ(window->PersonModel()->rowCount(), 400);
    // Every item's S-X2, each by its own model, beside the run's statistics.
    const int sx2 = items.Column("S-X2");
    ASSERT_GE(sx2, 0);
    EXPECT_FALSE(items.rows[0][static_cast<std::size_t>(sx2)].text.empty());
    EXPECT_FALSE(items.rows[30][static_cast<std::size_t>(sx2)].text.empty());
    EXPECT_EQ(items.columns.back(), "Flags");

    // Its plots: the category curves, the expected score with the groups'
    // mean scores, and information of either kind.
    PlotsTab* plots = window->Plots();
    ASSERT_NE(plots, nullptr);
    ASSERT_TRUE(plots->Shows(Plot::ExpectedScore));
    // The list names each item's own model.
    ASSERT_EQ(plots->ItemList()->count(), 40);
    EXPECT_EQ(plots->ItemList()->item(0)->text(), QStringLiteral("Item 1 (3PL)"));
    EXPECT_EQ(plots->ItemList()->item(30)->text(), QStringLiteral("Item 31 (GRM, 4 categories)"));
    EXPECT_EQ(results::PlotsListTitle(data), "Items");
    plots->ItemList()->setCurrentRow(30);
    QChart* categories = plots->Chart(Plot::Characteristic);
    for (int k = 0; k < 4; ++k) {
        EXPECT_NE(Named<QLineSeries>(categories, QStringLiteral("Category %1").arg(k)), nullptr)
            << k;
    }
    EXPECT_EQ(Named<QLineSeries>(categories, QStringLiteral("Category 4")), nullptr);
    QChart* expected = plots->Chart(Plot::ExpectedScore);
    auto* observed = Named<QScatterSeries>(expected, QStringLiteral("Observed"));
    ASSERT_NE(observed, nullptr);
    ASSERT_EQ(observed->count(), 10);
    for (int g = 0; g < 10; ++g) {
        const auto at = static_cast<std::size_t>(g);
        EXPECT_EQ(observed->at(g), QPointF(item31.groupTheta[at], item31.groupMeanScore[at]));
    }
    auto* line = Named<QLineSeries>(expected, QStringLiteral("Model"));
    ASSERT_NE(line, nullptr);
    EXPECT_LT(line->points().front().y(), 0.05);
    EXPECT_GT(line->points().back().y(), 2.9);
    QChart* information = plots->Chart(Plot::Information);
    auto* own = Named<QLineSeries>(information, QStringLiteral("Item 31"));
    auto* test = Named<QLineSeries>(information, QStringLiteral("Test information"));
    ASSERT_NE(own, nullptr);
    ASSERT_NE(test, nullptr);
    for (int i = 0; i < own->count(); i += 20) {
        EXPECT_GT(own->at(i).y(), 0);
        EXPECT_LT(own->at(i).y(), test->at(i).y());
    }
    plots->ItemList()->setCurrentRow(0);
    EXPECT_NE(Named<QLineSeries>(plots->Chart(Plot::Characteristic), QStringLiteral("Model")),
              nullptr);

    const QString summary = LastSummary();
    EXPECT_NE(summary.indexOf(QStringLiteral("(grm for the 10 items scored in more than two "
                                             "categories, 3pl for the 30 right/wrong items)")),
              -1)
        << summary.toStdString();
    EXPECT_NE(summary.indexOf(QStringLiteral("Cronbach's alpha of all items by score")), -1);
    EXPECT_NE(summary.indexOf(QStringLiteral("takes each item by its own model")), -1);
}

// Scoring only from the dialog: every item held at the golden result's
// values, and the window's summary says so instead of naming an estimation.
TEST_F(MethodRunsTest, AScoringOnlyRunFromTheDialogHoldsEveryItem) {
    test_support::WriteFileBytes(Path("mixed.dat"),
                                 ReadFileBytes(kGolden + "polytomous/mixed.dat"));
    test_support::WriteFileBytes(Path("held.csv"),
                                 ReadFileBytes(kGolden + "polytomous/result.csv"));
    outputFile = Path("scores.csv");
    for (const auto& [control, text] :
         sim::SampleControlTexts(40, Path("mixed.dat"), Path("held.csv"), outputFile)) {
        dialog->Controls().SetText(control, text);
    }
    ChooseMethod(EstimatorMethod::Marginal);
    MarginalOptionsForm form = DefaultMarginalOptions();
    form.polytomous = PolytomousModel::Grm;
    form.fixItems = true;
    form.scoringOnly = true;
    form.scoring = MarginalScoring::Ml;
    dialog->Estimator().SetOptions(form);
    EXPECT_EQ(Go(3), RunEnd::Finished);
    EXPECT_TRUE(desktop.messages.empty()) << desktop.messages.front();

    ASSERT_FALSE(viewer.Open().empty());
    const QString summary = LastSummary();
    EXPECT_NE(summary.indexOf(QStringLiteral("Every item was held at the item file's values (grm "
                                             "for the 10 items")),
              -1)
        << summary.toStdString();
    EXPECT_EQ(summary.indexOf(QStringLiteral("were estimated")), -1) << summary.toStdString();
    EXPECT_EQ(summary.indexOf(QStringLiteral("EM cycles")), -1) << summary.toStdString();
    EXPECT_EQ(viewer.Open().back()->Plots()->ItemList()->item(35)->text().left(27),
              QStringLiteral("Item 36 (GRM, 4 categories)"));
}

// The screens chosen through "DIF..." for a classic run, as the README's
// runner example asks for them: the results window's DIF tab has their
// tables, the planted item 3 in category C by Mantel-Haenszel.
TEST_F(MethodRunsTest, TheScreensChosenThroughTheDifButtonShowInAClassicRunsDifTab) {
    test_support::WriteFileBytes(Path("dif.dat"), ReadFileBytes(std::string(TARVO_SOURCE_DIR) +
                                                                "/tests/data/dif/dif_sim.dat"));
    outputFile = Path("dif.csv");
    const std::pair<int, std::string> texts[] = {{id::kResponseFile, Path("dif.dat")},
                                                 {id::kOutputFile, outputFile},
                                                 {id::kExamineeIdStart, "1"},
                                                 {id::kExamineeIdLength, "8"},
                                                 {id::kResponseStart, "20"},
                                                 {id::kItemCount, "12"},
                                                 {id::kGroupStart, "10"},
                                                 {id::kGroupLength, "1"}};
    for (const auto& [control, text] : texts) dialog->Controls().SetText(control, text);
    bool chosen = false;
    QTimer::singleShot(0, [&] {
        auto* dif = dynamic_cast<DifDialog*>(QApplication::activeModalWidget());
        if (dif == nullptr) return;
        for (const char screen : {'m', 's', 'l'}) dif->Rows().Box(screen)->setChecked(true);
        dif->accept();
        chosen = dif->result() == QDialog::Accepted;
        if (!chosen) dif->reject();
    });
    dialog->GroupField().dif->click();
    ASSERT_TRUE(chosen);

    EXPECT_EQ(Go(6), RunEnd::Finished);
    ASSERT_FALSE(viewer.Open().empty());
    ResultsWindow* window = viewer.Open().back();
    EXPECT_TRUE(window->TabTitles().contains(QStringLiteral("DIF")));
    const std::vector<results::DifScreenTable> tables =
        results::BuildDifTables(window->Data().Report());
    ASSERT_EQ(tables.size(), 3u);
    EXPECT_EQ(tables[0].title, "Mantel-Haenszel: 'F' against 'R'");
    const results::ResultTable& mh = tables[0].table;
    const int category = mh.Column("Category");
    ASSERT_GE(category, 0);
    ASSERT_EQ(mh.RowCount(), 12u);
    EXPECT_EQ(mh.Cell(2, static_cast<std::size_t>(category)).text, "C");
}

}  // namespace
}  // namespace tarvo::shell
