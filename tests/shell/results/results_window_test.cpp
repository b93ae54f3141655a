// The results window: opened by the dialog when a run ends, its tabs per mode
// family, its tables against the file's rows, its plots read back from the
// charts, and saving a plot.
#include "shell/results/results_window.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFileInfo>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QTimer>
#include <QXmlStreamReader>
#include <QtCharts/QChart>
#include <QtCharts/QLegend>
#include <QtCharts/QLegendMarker>
#include <QtCharts/QLineSeries>
#include <QtCharts/QLogValueAxis>
#include <QtCharts/QScatterSeries>
#include <QtCharts/QValueAxis>
#include <cmath>
#include <cstdio>
#include <map>
#include <set>

#include "hand_written_result.h"
#include "platform/control_ids.h"
#include "run/fit_sections.h"
#include "run/model_comparison.h"
#include "sample_layout.h"
#include "shell/main_dialog.h"
#include "shell/progress/progress_window.h"
#include "shell/results/plots_tab.h"
#include "shell/results/result_table_model.h"
#include "shell/results/result_table_view.h"
#include "shell/results/results_charts.h"
#include "shell_test_support.h"
#include "simulator.h"

namespace tarvo::shell {
namespace {

namespace id = tarvo::control;
using test_support::ReadFileBytes;

constexpr std::size_t kItems = 20;
constexpr std::size_t kPersons = 300;

std::string Trim(const std::string& text) {
    const auto first = text.find_first_not_of(' ');
    const auto last = text.find_last_not_of(' ');
    return first == std::string::npos ? std::string() : text.substr(first, last - first + 1);
}

// A CSV line's fields, blanks trimmed (the test data's identifiers hold no comma).
std::vector<std::string> Fields(const std::string& line) {
    std::vector<std::string> fields;
    std::size_t start = 0;
    while (true) {
        const std::size_t comma = line.find(',', start);
        fields.push_back(Trim(line.substr(start, comma - start)));
        if (comma == std::string::npos) return fields;
        start = comma + 1;
    }
}

std::vector<std::string> ModelRow(const ResultTableModel& model, int row, int columns) {
    std::vector<std::string> texts;
    for (int c = 0; c < columns; ++c) {
        texts.push_back(model.data(model.index(row, c), Qt::DisplayRole).toString().toStdString());
    }
    return texts;
}

int ColumnNamed(const ResultTableModel& model, const QString& name) {
    for (int c = 0; c < model.columnCount(); ++c) {
        if (model.headerData(c, Qt::Horizontal, Qt::DisplayRole).toString() == name) return c;
    }
    return -1;
}

class ResultsFromDialogTest : public ::testing::Test {
  protected:
    void SetUp() override {
        test_support::EnsureApplication();
        ASSERT_TRUE(folder.isValid());
        const sim::SimulatedData data = sim::Simulate({20240611, kPersons, kItems});
        responseFile = Path("testdata.dat");
        itemFile = Path("testdata.itm");
        std::FILE* responses = std::fopen(responseFile.c_str(), "wb");
        std::FILE* items = std::fopen(itemFile.c_str(), "wb");
        ASSERT_TRUE(sim::WriteSampleResponses(responses, data));
        ASSERT_TRUE(sim::WriteSampleItems(items, data));
        std::fclose(responses);
        std::fclose(items);
        dialog = std::make_unique<MainDialog>(nullptr, &picker, &desktop, &viewer);
        dialog->show();
    }

    void TearDown() override {
        for (ResultsWindow* window : viewer.Open()) delete window;
    }

    std::string Path(const std::string& name) const {
        return folder.path().toStdString() + "/" + name;
    }

    // Fills the dialog for the sample files, picks the mode and presses Go.
    std::optional<RunEnd> Run(int mode, const std::string& outputName) {
        outputFile = Path(outputName);
        for (const auto& [control, text] :
             sim::SampleControlTexts(kItems, responseFile, itemFile, outputFile)) {
            dialog->Controls().SetText(control, text);
        }
        static_cast<QRadioButton*>(dialog->Control(1002 + mode))->click();
        static_cast<QPushButton*>(dialog->Control(id::kGo))->click();
        EXPECT_TRUE(test_support::WaitUntil([&] { return !dialog->Runs().IsRunning(); }));
        return dialog->Runs().LastOutcome();
    }

    ResultsWindow* LastWindow() const {
        const auto open = viewer.Open();
        return open.empty() ? nullptr : open.back();
    }

    test_support::CurrentDirectoryGuard restoreCurrentDirectory;
    QTemporaryDir folder;
    test_support::ScriptedPicker picker;
    test_support::RecordingDesktop desktop;
    ResultsWindows viewer{desktop};
    std::unique_ptr<MainDialog> dialog;
    std::string responseFile, itemFile, outputFile;
};

TEST_F(ResultsFromDialogTest, EachModeFamilyOpensItsTabsWithTheFilesRows) {
    const struct {
        int mode;
        const char* output;
        QStringList tabs;
        bool itemRows, personRows, listing;
    } cases[] = {
        {3,
         "joint.csv",
         {"Result file", "Items", "Examinees", "Plots", "Score table", "Local dependence",
          "Summary"},
         true,
         true,
         false},
        {6,
         "rasch.csv",
         {"Result file", "Items", "Examinees", "Plots", "Score table", "Local dependence",
          "Summary"},
         true,
         true,
         false},
        {2,
         "items.csv",
         {"Result file", "Items", "Plots", "Score table", "Local dependence", "Summary"},
         true,
         false,
         false},
        {8,
         "items.txt",
         {"Result file", "Items", "Plots", "Score table", "Local dependence", "Summary"},
         true,
         false,
         true},
        // The theta-only modes write no item rows; the Items tab shows the
        // given items with their statistics from the run report.
        {1,
         "theta.csv",
         {"Result file", "Items", "Examinees", "Plots", "Score table", "Local dependence",
          "Summary"},
         false,
         true,
         false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mode);
        const std::size_t before = viewer.Open().size();
        EXPECT_EQ(Run(c.mode, c.output), RunEnd::Finished);
        ASSERT_EQ(viewer.Open().size(), before + 1);
        ResultsWindow* window = LastWindow();
        EXPECT_TRUE(window->isVisible());
        EXPECT_FALSE(window->isModal());
        EXPECT_FALSE(window->testAttribute(Qt::WA_QuitOnClose));  // Exit still ends the program
        EXPECT_TRUE(dialog->isEnabled());                         // ready for the next run
        EXPECT_EQ(window->windowTitle().toStdString().rfind(c.output, 0), 0u);
        EXPECT_EQ(window->TabTitles(), c.tabs);
        EXPECT_TRUE(desktop.openedDocuments.empty());  // not handed to the desktop

        // The file tab shows the file's text as written.
        const std::string bytes = ReadFileBytes(outputFile);
        QString expected = QString::fromStdString(bytes);
        expected.replace(QLatin1String("\r\n"), QLatin1String("\n"));
        window->FileText();
        ASSERT_TRUE(test_support::WaitUntil([&] { return window->FileTextShown(); }));
        EXPECT_EQ(window->FileText()->toPlainText(), expected);
        EXPECT_TRUE(window->FileNote()->isHidden());  // nothing left out
        EXPECT_TRUE(window->FileText()->isReadOnly());

        const auto lines = test_support::CrLfLines(bytes);
        if (c.itemRows && !c.listing) {
            const ResultTableModel& model = *window->ItemModel();
            ASSERT_EQ(model.rowCount(), static_cast<int>(kItems));
            const auto header = Fields(lines[0]);
            for (int row = 0; row < model.rowCount(); ++row) {
                EXPECT_EQ(ModelRow(model, row, static_cast<int>(header.size())),
                          Fields(lines[static_cast<std::size_t>(row) + 1]));
            }
        }
        if (!c.itemRows) {
            EXPECT_EQ(window->ItemModel()->rowCount(), static_cast<int>(kItems));
        }
        if (c.listing) {
            ASSERT_EQ(window->ItemModel()->rowCount(), static_cast<int>(kItems));
            // Line 2 of each four-line entry holds a, b and c.
            EXPECT_NE(lines[1].find(window->ItemModel()
                                        ->data(window->ItemModel()->index(0, 4), Qt::DisplayRole)
                                        .toString()
                                        .toStdString()),
                      std::string::npos);
        }
        if (c.personRows) {
            const ResultTableModel& model = *window->PersonModel();
            ASSERT_EQ(model.rowCount(), static_cast<int>(kPersons));
            const std::size_t first = lines.size() - kPersons;
            for (int row = 0; row < model.rowCount(); row += 37) {
                EXPECT_EQ(ModelRow(model, row, 5),
                          Fields(lines[first + static_cast<std::size_t>(row)]));
            }
        }
        // The run's own score table: every raw score, the population it
        // is for, no ML ability for a score of 0.
        const ResultTableModel& scores = *window->ScoreModel();
        ASSERT_EQ(scores.rowCount(), static_cast<int>(kItems) + 1);
        EXPECT_EQ(scores.data(scores.index(0, 0), Qt::DisplayRole).toString(), "0");
        EXPECT_EQ(scores.data(scores.index(0, 4), Qt::DisplayRole).toString(), "");
        double total = 0;
        for (int row = 0; row < scores.rowCount(); ++row) {
            total += scores.data(scores.index(row, 1), Qt::DisplayRole).toString().toDouble();
        }
        EXPECT_NEAR(total, 1, 1e-4);
        EXPECT_EQ(results::ScoreTablePopulation(window->Data()),
                  "For the population N(0, 1) over 61 points from -6 to 6.");
        EXPECT_FALSE(window->Summary()->toPlainText().isEmpty());
    }
    EXPECT_EQ(viewer.Open().size(), 5u);  // one window per run
}

TEST_F(ResultsFromDialogTest, SortingByBOrdersTheRowsByThePrintedB) {
    ASSERT_EQ(Run(3, "joint.csv"), RunEnd::Finished);
    ResultTableModel& model = *LastWindow()->ItemModel();
    const int b = ColumnNamed(model, QStringLiteral("b_calib"));
    ASSERT_GE(b, 0);
    for (Qt::SortOrder order : {Qt::AscendingOrder, Qt::DescendingOrder}) {
        LastWindow()->ItemView()->sortByColumn(b, order);
        std::multiset<std::string> seen;
        for (int row = 0; row < model.rowCount(); ++row) {
            seen.insert(model.data(model.index(row, 0), Qt::DisplayRole).toString().toStdString());
            if (row == 0) continue;
            const double previous = model.data(model.index(row - 1, b), Qt::DisplayRole).toDouble();
            const double here = model.data(model.index(row, b), Qt::DisplayRole).toDouble();
            EXPECT_TRUE(order == Qt::AscendingOrder ? previous <= here : previous >= here) << row;
        }
        EXPECT_EQ(seen.size(), kItems);  // every row once
    }
}

TEST_F(ResultsFromDialogTest, AStoppedRunOpensItsPartialResult) {
    dialog->Runs().SetProgressListener([&](int, const std::string& text) {
        if (text != "Item 4 of 20.") return;
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (auto* progress = dynamic_cast<ProgressWindow*>(widget)) progress->RequestStop();
        }
    });
    EXPECT_EQ(Run(2, "stopped.csv"), RunEnd::Stopped);
    ASSERT_NE(LastWindow(), nullptr);
    EXPECT_EQ(LastWindow()->ItemModel()->rowCount(), 3);
    EXPECT_NE(LastWindow()->Summary()->toPlainText().indexOf(QStringLiteral("stopped")), -1);
}

// The close was once kept for after the run and the program ended with the
// stopped run's window, so nothing was seen.
TEST_F(ResultsFromDialogTest, ClosingTheDialogDuringARunStopsItAndItsResultsKeepTheProgram) {
    QSignalSpy lastClosed(qApp, &QGuiApplication::lastWindowClosed);
    dialog->Runs().SetProgressListener([&](int, const std::string& text) {
        if (text == "Item 4 of 20.") {
            EXPECT_FALSE(dialog->close());
        }
    });
    EXPECT_EQ(Run(2, "closed.csv"), RunEnd::Stopped);
    EXPECT_EQ(desktop.questions.size(), 1u);
    EXPECT_FALSE(dialog->isVisible());
    ResultsWindow* window = LastWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->ItemModel()->rowCount(), 3);
    // The program now ends when this window closes, not with the dialog.
    EXPECT_TRUE(window->testAttribute(Qt::WA_QuitOnClose));
    EXPECT_EQ(lastClosed.count(), 0);
}

TEST_F(ResultsFromDialogTest, ARunEndedAtACheckOpensNothing) {
    responseFile += ".missing";
    EXPECT_EQ(Run(3, "never.csv"), RunEnd::EndedAtCheck);
    EXPECT_TRUE(viewer.Open().empty());
    EXPECT_TRUE(desktop.openedDocuments.empty());
}

TEST_F(ResultsFromDialogTest, TheFileTabsButtonsHandTheFileToTheDesktop) {
    ASSERT_EQ(Run(2, "items.csv"), RunEnd::Finished);
    ResultsWindow* window = LastWindow();
    for (QPushButton* button : window->findChildren<QPushButton*>()) {
        if (button->text() == QStringLiteral("Open with default application") ||
            button->text() == QStringLiteral("Show in folder")) {
            button->click();
        }
    }
    EXPECT_EQ(desktop.openedDocuments,
              (std::vector<std::string>{outputFile, folder.path().toStdString()}));
}

TEST(ResultsWindowFile, ARelativeNameKeepsItsFolderWhenTheCurrentDirectoryChanges) {
    test_support::EnsureApplication();
    test_support::CurrentDirectoryGuard guard;
    QTemporaryDir folder;
    QDir::setCurrent(folder.path());
    test_support::WriteFileBytes(
        "out.csv", "SeqItem,AccNo, Nobs, b_calib, seeb\r\n   1, ,   40, -0.250,  0.300\r\n");
    test_support::RecordingDesktop desktop;
    RunReport report;
    report.mode = 8;
    report.itemRows.push_back(ItemReport{});
    ResultsWindow window(QStringLiteral("out.csv"), report, desktop);
    QDir::setCurrent(QDir::rootPath());  // as a later Browse would
    for (QPushButton* button : window.findChildren<QPushButton*>()) {
        if (button->text() == QStringLiteral("Open with default application") ||
            button->text() == QStringLiteral("Show in folder")) {
            button->click();
        }
    }
    const std::string where = QDir(folder.path()).canonicalPath().toStdString();
    ASSERT_EQ(desktop.openedDocuments.size(), 2u);
    EXPECT_EQ(QFileInfo(QString::fromStdString(desktop.openedDocuments[0]))
                  .canonicalFilePath()
                  .toStdString(),
              where + "/out.csv");
    EXPECT_EQ(
        QDir(QString::fromStdString(desktop.openedDocuments[1])).canonicalPath().toStdString(),
        where);
    EXPECT_EQ(window.ItemModel()->rowCount(), 1);
    EXPECT_TRUE(QRegularExpression(
                    QStringLiteral("^out\\.csv - mode 8 - \\d\\d:\\d\\d:\\d\\d - TARVO results$"))
                    .match(window.windowTitle())
                    .hasMatch())
        << window.windowTitle().toStdString();
}

double Information(double a, double b, double c, double theta) {
    const double p = c + (1 - c) / (1 + std::exp(-1.7 * a * (theta - b)));
    return std::pow(1.7 * a, 2) * ((1 - p) / p) * std::pow((p - c) / (1 - c), 2);
}

TEST_F(ResultsWindowTest, TheItemCurvePassesHalfwayAtBAndShowsTheGroups) {
    const auto window = Open();
    PlotsTab* plots = window->Plots();
    ASSERT_NE(plots, nullptr);
    for (int row : {0, 2}) {
        plots->ItemList()->setCurrentRow(row);
        QChart* chart = plots->Chart(Plot::Characteristic);
        QLineSeries* model = Line(chart, QStringLiteral("Model"));
        ASSERT_NE(model, nullptr);
        const ItemReport& item = report.itemRows[static_cast<std::size_t>(row)];
        bool found = false;
        for (const QPointF& point : model->points()) {
            if (point.x() != item.b) continue;
            found = true;
            EXPECT_NEAR(point.y(), item.c + (1 - item.c) / 2, 1e-12);
        }
        EXPECT_TRUE(found) << row;

        QScatterSeries* observed = nullptr;
        for (QAbstractSeries* series : chart->series()) {
            if (series->name() == QStringLiteral("Observed"))
                observed = qobject_cast<QScatterSeries*>(series);
        }
        ASSERT_NE(observed, nullptr);
        ASSERT_EQ(observed->count(), 3);
        for (int g = 0; g < 3; ++g) {
            EXPECT_EQ(observed->at(g), QPointF(item.groupTheta[static_cast<std::size_t>(g)],
                                               item.groupProportion[static_cast<std::size_t>(g)]));
        }
    }
}

// The report's fit reaches the window: the item curve's title and its
// residuals, the Local dependence tab and the comparison in the Summary.
TEST_F(ResultsWindowTest, TheFitShowsInTheCurveThePairTabAndTheSummary) {
    fit::FitResults fit;
    fit.items.resize(3);
    fit.items[0].sx2 = 7.25;
    fit.items[0].df = 2;
    fit.items[0].p = 0.0266;
    fit.items[0].groupResidual = {1.5, -0.5, 2.25};
    fit.persons.resize(report.personRows.size());
    fit.localDependence.averageQ3 = -0.5;
    fit.localDependence.flagAbove = -0.3;
    fit.localDependence.largest = {{0, 1, 0.1}, {1, 2, -0.6}};
    fit.localDependence.flagged = {{0, 1, 0.1}};
    ItemTable items;
    items.AccNo.assign(3, "");
    PersonTable persons;
    persons.ExaminID.assign(report.personRows.size(), "");
    report.sections = FitSections(fit, items, persons, "a normal");
    ModelComparison comparison;
    comparison.models.resize(2);
    comparison.models[0].model = MarginalModel::TwoPL;
    comparison.models[0].fit = fit::DescribeModelFit(fit::ModelLikelihood{-100, 6}, 6);
    comparison.models[1].model = MarginalModel::ThreePL;
    comparison.models[1].fit = fit::DescribeModelFit(fit::ModelLikelihood{-98, 9}, 6);
    comparison.tests.push_back(
        fit::CompareNested(comparison.models[0].fit, comparison.models[1].fit));
    report.sections.push_back(ModelComparisonSection(comparison));

    const auto window = Open();
    EXPECT_TRUE(window->TabTitles().contains(QStringLiteral("Local dependence")));
    ASSERT_NE(window->PairModel(), nullptr);
    EXPECT_EQ(window->PairModel()->rowCount(), 2);
    EXPECT_GE(window->Data().itemTable.Column("S-X2"), 0);

    window->Plots()->ItemList()->setCurrentRow(0);
    QChart* chart = window->Plots()->Chart(Plot::Characteristic);
    EXPECT_TRUE(chart->title().contains(QStringLiteral("S-X2 7.25, p 0.0266")))
        << chart->title().toStdString();
    QScatterSeries* residuals = nullptr;
    for (QAbstractSeries* series : chart->series()) {
        if (series->name() == QStringLiteral("Standardised residual"))
            residuals = qobject_cast<QScatterSeries*>(series);
    }
    ASSERT_NE(residuals, nullptr);
    ASSERT_EQ(residuals->count(), 3);
    EXPECT_EQ(residuals->at(2), QPointF(report.itemRows[0].groupTheta[2], 2.25));

    const QString summary = window->Summary()->toHtml();
    EXPECT_TRUE(summary.contains(QStringLiteral("Model comparison on the same data")));
    EXPECT_TRUE(summary.contains(QStringLiteral("3pl")));
    EXPECT_TRUE(summary.contains(QStringLiteral("4.000")));  // the likelihood ratio
}

TEST_F(ResultsWindowTest, TestInformationIsTheSumOfTheItemsAndTheErrorItsInverseRoot) {
    const auto window = Open();
    PlotsTab* plots = window->Plots();
    plots->ItemList()->item(0)->setSelected(true);
    plots->ItemList()->item(2)->setSelected(true);
    QChart* chart = plots->Chart(Plot::Information);
    ASSERT_NE(Line(chart, QStringLiteral("Item 1 (Q1)")), nullptr);
    ASSERT_NE(Line(chart, QStringLiteral("Item 3 (Q3)")), nullptr);
    EXPECT_EQ(Line(chart, QStringLiteral("Item 2 (Q2)")), nullptr);

    const QList<QPointF> test = Line(chart, QStringLiteral("Test information"))->points();
    const QList<QPointF> error = Line(chart, QStringLiteral("Standard error"))->points();
    const QList<QPointF> first = Line(chart, QStringLiteral("Item 1 (Q1)"))->points();
    ASSERT_GT(test.size(), 50);
    ASSERT_EQ(error.size(), test.size());
    for (qsizetype i = 0; i < test.size(); ++i) {
        const double theta = test[i].x();
        double sum = 0;
        for (const ItemReport& item : report.itemRows)
            sum += Information(item.a, item.b, item.c, theta);
        EXPECT_NEAR(test[i].y(), sum, 1e-12 * sum);
        EXPECT_NEAR(first[i].y(), Information(1.2, -0.5, 0.2, theta), 1e-12);
        EXPECT_EQ(error[i].x(), theta);
        EXPECT_NEAR(error[i].y(), 1 / std::sqrt(test[i].y()), 1e-12);
    }
}

TEST_F(ResultsWindowTest, ItemCurvesHaveAnAxisOfTheirOwnThatTheyFill) {
    const auto window = Open();
    PlotsTab* plots = window->Plots();
    plots->ItemList()->setCurrentRow(1);  // the least informative of the three
    QChart* chart = plots->Chart(Plot::Information);
    QLineSeries* item = Line(chart, QStringLiteral("Item 2 (Q2)"));
    QLineSeries* test = Line(chart, QStringLiteral("Test information"));
    ASSERT_NE(item, nullptr);
    ASSERT_NE(test, nullptr);
    auto verticalAxis = [](QLineSeries* series) -> QValueAxis* {
        for (QAbstractAxis* axis : series->attachedAxes()) {
            if (axis->orientation() == Qt::Vertical) return qobject_cast<QValueAxis*>(axis);
        }
        return nullptr;
    };
    QValueAxis* itemAxis = verticalAxis(item);
    ASSERT_NE(itemAxis, nullptr);
    EXPECT_NE(itemAxis, verticalAxis(test));
    EXPECT_EQ(itemAxis->titleText(), QStringLiteral("Item information"));
    double peak = 0;
    for (const QPointF& point : item->points()) peak = std::max(peak, point.y());
    EXPECT_GT(peak, itemAxis->max() / 2);  // not flat
    EXPECT_LE(peak, itemAxis->max());
}

TEST_F(ResultsWindowTest, ConvergenceSeriesTellApartByColour) {
    const auto window = Open();
    QChart* chart = window->Plots()->Chart(Plot::Convergence);
    std::vector<QColor> colours;
    for (const char* name : {"MSError", "MSError change", "Settle tolerance"}) {
        QLineSeries* series = Line(chart, QString::fromLatin1(name));
        ASSERT_NE(series, nullptr) << name;
        colours.push_back(series->pen().color());
    }
    for (std::size_t i = 0; i < colours.size(); ++i) {
        for (std::size_t j = i + 1; j < colours.size(); ++j) {
            const double distance = std::hypot(colours[i].red() - colours[j].red(),
                                               colours[i].green() - colours[j].green(),
                                               colours[i].blue() - colours[j].blue());
            EXPECT_GT(distance, 100) << i << " " << j;
        }
    }
}

// Six categories once drew 0 and 5 alike (the theme's five colours repeat).
TEST_F(ResultsWindowTest, ElevenCategoriesEachHaveTheirOwnColourAndTheLegendListsThemInOrder) {
    results::PlottedItem item;
    item.seqItem = 1;
    item.model = "grm";
    item.categories = 11;
    item.scored.a = 1.2;
    for (int k = 0; k < 10; ++k) item.scored.b.push_back(-2.5 + 0.5 * k);
    const std::unique_ptr<QChart> chart(MakeCategoryChart(item));
    std::vector<QColor> colours;
    for (int k = 0; k < 11; ++k) {
        QLineSeries* series = Line(chart.get(), QStringLiteral("Category %1").arg(k));
        ASSERT_NE(series, nullptr) << k;
        colours.push_back(series->pen().color());
    }
    for (std::size_t i = 0; i < colours.size(); ++i) {
        for (std::size_t j = i + 1; j < colours.size(); ++j) {
            const double distance = std::hypot(colours[i].red() - colours[j].red(),
                                               colours[i].green() - colours[j].green(),
                                               colours[i].blue() - colours[j].blue());
            EXPECT_GT(distance, 40) << i << " " << j;
        }
    }
    const QList<QLegendMarker*> markers = chart->legend()->markers();
    ASSERT_EQ(markers.size(), 11);
    for (int k = 0; k < 11; ++k) {
        EXPECT_EQ(markers[k]->label(), QStringLiteral("Category %1").arg(k));
    }
}

// One vertical axis draws the grid; a value axis's ticks are 1, 2, 2.5 or 5
// times a power of ten apart, starting on a multiple of that step; a log
// axis runs between whole powers of ten.
void ExpectOneGridAndRoundTicks(QChart* chart, const char* name) {
    int grids = 0;
    for (QAbstractAxis* axis : chart->axes()) {
        if (axis->orientation() == Qt::Vertical && axis->isGridLineVisible()) ++grids;
        if (auto* value = qobject_cast<QValueAxis*>(axis)) {
            ASSERT_GE(value->tickCount(), 2) << name;
            const double step = (value->max() - value->min()) / (value->tickCount() - 1);
            const double mantissa = step / std::pow(10.0, std::floor(std::log10(step)));
            bool round = false;
            for (double nice : {1.0, 2.0, 2.5, 5.0, 10.0})
                round |= std::fabs(mantissa - nice) < 1e-9;
            EXPECT_TRUE(round) << name << " " << axis->titleText().toStdString() << " step "
                               << step;
            const double steps = value->min() / step;
            EXPECT_NEAR(steps, std::round(steps), 1e-9) << name << " " << value->min();
        }
        if (auto* log = qobject_cast<QLogValueAxis*>(axis)) {
            for (double end : {log->min(), log->max()}) {
                EXPECT_NEAR(std::log10(end), std::round(std::log10(end)), 1e-9)
                    << name << " " << end;
            }
        }
    }
    EXPECT_EQ(grids, 1) << name;
}

TEST_F(ResultsWindowTest, SecondAxesDrawNoGridAndTicksFallOnRoundNumbers) {
    const auto window = Open();
    window->Plots()->ItemList()->setCurrentRow(1);
    ExpectOneGridAndRoundTicks(window->Plots()->Chart(Plot::Characteristic), "characteristic");
    ExpectOneGridAndRoundTicks(window->Plots()->Chart(Plot::Information), "information");
    ExpectOneGridAndRoundTicks(window->Plots()->Chart(Plot::Convergence), "convergence");
}

TEST_F(ResultsWindowTest, PlotsWithoutDataInTheModeAreNotShown) {
    const struct {
        int mode;
        bool loop;
        bool histogram, convergence;
    } cases[] = {
        {3, true, true, true},
        {3, false, true, false},  // no pass history: no convergence plot
        {2, true, false, false},  // items-only: the abilities are given, no loop
        {1, true, true, false},
    };
    for (const auto& c : cases) {
        report.mode = c.mode;
        if (!c.loop) report.loop.msError.clear();
        const auto window = Open();
        EXPECT_TRUE(window->Plots()->Shows(Plot::Characteristic)) << c.mode;
        EXPECT_TRUE(window->Plots()->Shows(Plot::Information)) << c.mode;
        EXPECT_EQ(window->Plots()->Shows(Plot::Histogram), c.histogram) << c.mode;
        EXPECT_EQ(window->Plots()->Shows(Plot::Convergence), c.convergence) << c.mode;
        // The person-item map in every run with abilities, given ones too.
        EXPECT_TRUE(window->Plots()->Shows(Plot::PersonItemMap)) << c.mode;
        EXPECT_EQ(window->Plots()->Pages()->count(), 3 + c.histogram + c.convergence);
    }
}

TEST_F(ResultsWindowTest, ConvergenceMarksTheToleranceAndHistogramFollowsTheAbilities) {
    const auto window = Open();
    QChart* convergence = window->Plots()->Chart(Plot::Convergence);
    const QList<QPointF> msError = Line(convergence, QStringLiteral("MSError"))->points();
    ASSERT_EQ(msError.size(), 7);
    EXPECT_EQ(msError[3], QPointF(4, 0.149));
    for (const QPointF& point : Line(convergence, QStringLiteral("Settle tolerance"))->points()) {
        EXPECT_EQ(point.y(), report.loop.tolerance);
    }
    // The last pass did not change MSError: no point on the log axis for it.
    EXPECT_EQ(Line(convergence, QStringLiteral("MSError change"))->count(), 5);

    QChart* histogram = window->Plots()->Chart(Plot::Histogram);
    bool named = false;
    for (QAbstractSeries* series : histogram->series()) {
        named |= series->name() == QStringLiteral("Examinees (6)");
    }
    EXPECT_TRUE(named);
    EXPECT_NE(Line(histogram, QStringLiteral("Standard normal")), nullptr);
}

TEST_F(ResultsWindowTest, PlotsSaveAsPngOfTheSizeAskedAndAsSvg) {
    const auto window = Open();
    for (Plot plot :
         {Plot::Characteristic, Plot::Information, Plot::Histogram, Plot::Convergence}) {
        const QString png = folder.filePath(QStringLiteral("plot%1.png").arg(int(plot)));
        ASSERT_TRUE(window->Plots()->Save(plot, png, QSize(640, 420), false));
        const QImage image(png);
        ASSERT_FALSE(image.isNull());
        EXPECT_EQ(image.size(), QSize(640, 420));
        // Something is drawn: not every pixel is the background.
        bool drawn = false;
        for (int y = 0; y < image.height() && !drawn; y += 3) {
            for (int x = 0; x < image.width() && !drawn; x += 3)
                drawn = image.pixel(x, y) != image.pixel(0, 0);
        }
        EXPECT_TRUE(drawn);

        const QString svg = folder.filePath(QStringLiteral("plot%1.svg").arg(int(plot)));
        ASSERT_TRUE(window->Plots()->Save(plot, svg, QSize(640, 420), true));
        QFile file(svg);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        QXmlStreamReader xml(&file);
        int elements = 0;
        QString root;
        while (!xml.atEnd()) {
            if (xml.readNext() == QXmlStreamReader::StartElement) {
                if (elements++ == 0) root = xml.name().toString();
            }
        }
        EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
        EXPECT_EQ(root, QStringLiteral("svg"));
        EXPECT_GT(elements, 20);
    }
    EXPECT_FALSE(window->Plots()->Save(Plot::Histogram, folder.filePath("no/such/folder/x.png"),
                                       QSize(100, 100), false));
}

// The root element's attributes of an SVG file.
QXmlStreamAttributes SvgRoot(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    QXmlStreamReader xml(&file);
    while (!xml.atEnd()) {
        if (xml.readNext() == QXmlStreamReader::StartElement) return xml.attributes();
    }
    return {};
}

TEST_F(ResultsWindowTest, PlotsSaveForPrintAtTheChosenPixelsAndResolution) {
    const auto window = Open();
    // 1800 x 1200 pixels at 300 dpi: 6 x 4 inches, 152.4 x 101.6 mm.
    const QString png = folder.filePath(QStringLiteral("print.png"));
    ASSERT_TRUE(window->Plots()->Save(Plot::Information, png, QSize(1800, 1200), false, 300));
    const QImage image(png);
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.size(), QSize(1800, 1200));
    EXPECT_EQ(image.dotsPerMeterX(), 11811);  // 300 / 0.0254
    EXPECT_EQ(image.dotsPerMeterY(), 11811);
    // Laid out at 576 x 384 and scaled up: the chart fills the picture, so
    // something is drawn in its far corner region as in its near one.
    int drawnFar = 0;
    for (int y = 900; y < 1200; y += 4) {
        for (int x = 1300; x < 1800; x += 4) drawnFar += image.pixel(x, y) != qRgb(255, 255, 255);
    }
    EXPECT_GT(drawnFar, 50);

    const QString svg = folder.filePath(QStringLiteral("print.svg"));
    ASSERT_TRUE(window->Plots()->Save(Plot::Information, svg, QSize(1800, 1200), true, 300));
    const QXmlStreamAttributes root = SvgRoot(svg);
    EXPECT_EQ(root.value(QStringLiteral("width")).toString(), QStringLiteral("152.4mm"));
    EXPECT_EQ(root.value(QStringLiteral("height")).toString(), QStringLiteral("101.6mm"));
    EXPECT_EQ(root.value(QStringLiteral("viewBox")).toString(), QStringLiteral("0 0 1800 1200"));

    // At screen resolution the picture is as large as its pixels.
    const QString screen = folder.filePath(QStringLiteral("screen.png"));
    ASSERT_TRUE(window->Plots()->Save(Plot::Histogram, screen, QSize(640, 420), false));
    EXPECT_EQ(QImage(screen).dotsPerMeterX(), 3780);  // 96 / 0.0254

    // No resolution, and a picture too large to hold, write nothing.
    const QString none = folder.filePath(QStringLiteral("none.png"));
    EXPECT_FALSE(window->Plots()->Save(Plot::Histogram, none, QSize(100, 100), false, 0));
    EXPECT_FALSE(window->Plots()->Save(Plot::Histogram, none, QSize(100, 100), true, -1));
    EXPECT_FALSE(QFile::exists(none));
}

// Answers the picture size dialog: the unit, the width and height, then the
// resolution by its print button when asked, then OK.
std::optional<PictureSize> AnswerPictureSize(QSize screen, int unit, bool forPrint,
                                             double width = 0, double height = 0) {
    QTimer::singleShot(0, [=] {
        QWidget* dialog = QApplication::activeModalWidget();
        ASSERT_NE(dialog, nullptr);
        dialog->findChild<QComboBox*>(QStringLiteral("unit"))->setCurrentIndex(unit);
        if (width > 0) dialog->findChild<QDoubleSpinBox*>(QStringLiteral("width"))->setValue(width);
        if (height > 0)
            dialog->findChild<QDoubleSpinBox*>(QStringLiteral("height"))->setValue(height);
        if (forPrint) {
            for (QPushButton* button : dialog->findChildren<QPushButton*>()) {
                if (button->text().contains(QStringLiteral("300"))) button->click();
            }
        }
        dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
    });
    return AskPictureSize(nullptr, screen);
}

TEST_F(ResultsWindowTest, PictureSizeDialogGivesPixelsAndResolutionFromAnyUnit) {
    // Left as it opens: the plot's size on screen at screen resolution.
    std::optional<PictureSize> asked = AnswerPictureSize(QSize(640, 420), 0, false);
    ASSERT_TRUE(asked.has_value());
    EXPECT_EQ(asked->pixels, QSize(640, 420));
    EXPECT_EQ(asked->dpi, 96);
    // 15.24 x 10.16 cm at 300 dpi: 1800 x 1200 pixels.
    asked = AnswerPictureSize(QSize(640, 420), 1, true, 15.24, 10.16);
    ASSERT_TRUE(asked.has_value());
    EXPECT_EQ(asked->pixels, QSize(1800, 1200));
    EXPECT_EQ(asked->dpi, 300);
    // In inches the printed size stays when the resolution rises: 640 x 420
    // at 96 dpi is 6.67 x 4.38 inches, 2000 x 1313 pixels at 300 dpi.
    asked = AnswerPictureSize(QSize(640, 420), 2, true);
    ASSERT_TRUE(asked.has_value());
    EXPECT_EQ(asked->pixels, QSize(2000, 1313));
    // 70 x 40 cm at 300 dpi is 8268 x 4724 pixels, more than a picture may
    // have: it shrinks whole, keeping its shape.
    asked = AnswerPictureSize(QSize(640, 420), 1, true, 70, 40);
    ASSERT_TRUE(asked.has_value());
    EXPECT_EQ(asked->pixels, QSize(8000, 4571));
    // In pixels the pixels stay.
    asked = AnswerPictureSize(QSize(640, 420), 0, true);
    ASSERT_TRUE(asked.has_value());
    EXPECT_EQ(asked->pixels, QSize(640, 420));
    EXPECT_EQ(asked->dpi, 300);
}

TEST_F(ResultsWindowTest, TablesFlagCellsAndFilterExamineesById) {
    const auto window = Open();
    ResultTableModel& items = *window->ItemModel();
    const int seec = ColumnNamed(items, QStringLiteral("seec"));
    const QModelIndex flagged = items.index(1, seec);
    EXPECT_TRUE(items.data(flagged, Qt::BackgroundRole).isValid());
    EXPECT_NE(
        items.data(flagged, Qt::ToolTipRole).toString().indexOf(QStringLiteral("not estimated")),
        -1);
    EXPECT_FALSE(items.data(items.index(0, seec), Qt::BackgroundRole).isValid());

    ResultTableModel& persons = *window->PersonModel();
    EXPECT_EQ(persons.rowCount(), 6);
    EXPECT_EQ(ColumnNamed(persons, QStringLiteral("Raw score")), 5);
    window->IdFilter()->setText(QStringLiteral("b01"));
    ASSERT_EQ(persons.rowCount(), 2);
    EXPECT_EQ(persons.data(persons.index(1, 1), Qt::DisplayRole).toString(),
              QStringLiteral("B013"));
    window->PersonView()->sortByColumn(3, Qt::DescendingOrder);  // theta, within the filter
    EXPECT_EQ(persons.data(persons.index(0, 1), Qt::DisplayRole).toString(),
              QStringLiteral("B013"));
    window->IdFilter()->clear();
    EXPECT_EQ(persons.rowCount(), 6);
    EXPECT_EQ(persons.data(persons.index(0, 1), Qt::DisplayRole).toString(),
              QStringLiteral("C121"));
}

TEST_F(ResultsWindowTest, TheSummaryNamesTheMarginalEstimatorAndItsCycles) {
    report.method = "mml";
    report.logLikelihood = -1234.5;
    report.priors = {"log a ~ N(0, 0.5)", "c ~ Beta(5, 17)"};
    report.loop.end = LoopEnd::PassLimit;
    report.loop.passLimit = 500;
    report.loop.lastChange = 2e-6;
    report.end = RunEnd::Stopped;
    const auto window = Open();
    const QString summary = window->Summary()->toPlainText();
    for (const char* part : {"The run was stopped", "marginal maximum likelihood", "-1234.500",
                             "log a ~ N(0, 0.5); c ~ Beta(5, 17)",
                             "The EM cycles used all 500 cycles without settling", "2e-06"}) {
        EXPECT_NE(summary.indexOf(QString::fromUtf8(part)), -1) << part;
    }
    // The joint mode lends its layout only: its sentence would misdescribe the run.
    EXPECT_EQ(summary.indexOf(QRegularExpression(QStringLiteral("Mode \\d"))), -1)
        << summary.toStdString();
}

// A marginal run's EM cycles draw their own convergence: the marginal
// log-likelihood of every cycle and its largest parameter change.
TEST_F(ResultsWindowTest, TheConvergencePlotDrawsTheEmCycles) {
    report.method = "mml";
    report.loop.step = LoopStep::EmCycle;
    report.loop.msError.clear();
    report.loop.passes = 4;
    report.loop.tolerance = 1e-4;
    report.loop.logLikelihood = {-2700, -2670, -2660, -2659.9};
    report.loop.largestChange = {0.4, 0.05, 0.001, 5e-5};
    const auto window = Open();
    ASSERT_TRUE(window->Plots()->Shows(Plot::Convergence));
    QChart* chart = window->Plots()->Chart(Plot::Convergence);
    EXPECT_EQ(chart->title(), QStringLiteral("Convergence of the EM cycles"));
    const QLineSeries* likelihood = Line(chart, QStringLiteral("Marginal log-likelihood"));
    ASSERT_NE(likelihood, nullptr);
    ASSERT_EQ(likelihood->count(), 4);
    EXPECT_EQ(likelihood->at(1), QPointF(2, -2670));
    const QLineSeries* change = Line(chart, QStringLiteral("Largest parameter change"));
    ASSERT_NE(change, nullptr);
    ASSERT_EQ(change->count(), 4);
    EXPECT_EQ(change->at(3), QPointF(4, 5e-5));
    EXPECT_EQ(Line(chart, QStringLiteral("MSError")), nullptr);
}

TEST_F(ResultsWindowTest, TheSummaryShowsTheEstimatedPopulationAndThePriorsUsed) {
    report.method = "mml";
    report.model = "2pl";
    report.logLikelihood = -987.25;
    report.population = {true, 0.25, 1.125, 0.0625, 0.05};
    const auto window = Open();
    const QString summary = window->Summary()->toPlainText();
    for (const char* part : {"(2pl)", "Priors: none.", "mean 0.250 (standard error 0.062)",
                             "SD 1.125 (standard error 0.050)"}) {
        EXPECT_NE(summary.indexOf(QString::fromUtf8(part)), -1) << part << summary.toStdString();
    }
}

TEST_F(ResultsWindowTest, ARunWithNothingToEstimateSaysSoInsteadOfSettling) {
    report.end = RunEnd::NothingToEstimate;
    report.error = "the run has no items: the item count is 0, so no response is read.";
    report.loop.passes = 5;
    const auto window = Open();
    const QString summary = window->Summary()->toPlainText();
    EXPECT_NE(summary.indexOf(QStringLiteral("Nothing was estimated: the run has no items")), -1)
        << summary.toStdString();
    EXPECT_EQ(summary.indexOf(QStringLiteral("settled")), -1) << summary.toStdString();
    EXPECT_EQ(summary.indexOf(QStringLiteral("The run finished")), -1);
}

TEST_F(ResultsWindowTest, TheSummarySaysHowTheRunEndedAndEveryWarning) {
    const auto window = Open();
    const QString summary = window->Summary()->toPlainText();
    for (const char* part :
         {"The run finished.", "settled after 7 passes", "0.610", "0.580",
          "Item 2 has c fixed at 0: check the item file.", "3 item rows", "6 examinee rows"}) {
        EXPECT_NE(summary.indexOf(QString::fromUtf8(part)), -1) << part;
    }
}

}  // namespace
}  // namespace tarvo::shell
