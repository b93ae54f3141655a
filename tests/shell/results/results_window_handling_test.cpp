// Taking results out of the window and finding one's way in it: Ctrl+C copies
// the selection as tab-separated text with the header, "Export as CSV..."
// writes a table as shown, Esc and Ctrl+W close the window, the title names
// the run, the window fits a small screen, and flagged cells read on a dark
// theme.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QFileInfo>
#include <QImage>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QSpinBox>
#include <QStandardItemModel>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>
#include <QtCharts/QAreaSeries>
#include <QtCharts/QChart>
#include <QtCharts/QScatterSeries>

#include "hand_written_result.h"
#include "report/html/html_report.h"
#include "shell/desktop/window_fit.h"
#include "shell/results/plots_tab.h"
#include "shell/results/report/save_report.h"
#include "shell/results/result_table_model.h"
#include "shell/results/result_table_view.h"
#include "shell/results/table_text.h"
#include "support/hostile_outputs.h"

namespace tarvo::shell {
namespace {

QStringList Cells(const QString& line, QChar separator) { return line.split(separator); }

QStringList ModelRow(const QAbstractItemModel& model, int row) {
    QStringList cells;
    for (int column = 0; column < model.columnCount(); ++column) {
        cells << model.data(model.index(row, column)).toString();
    }
    return cells;
}

QStringList ModelHeader(const QAbstractItemModel& model) {
    QStringList names;
    for (int column = 0; column < model.columnCount(); ++column) {
        names << model.headerData(column, Qt::Horizontal, Qt::DisplayRole).toString();
    }
    return names;
}

QPushButton* ExportButtonBeside(QWidget* view) {
    for (QPushButton* button : view->parentWidget()->findChildren<QPushButton*>()) {
        if (button->text() == QStringLiteral("Export as CSV...")) return button;
    }
    return nullptr;
}

TEST_F(ResultsWindowTest, CtrlCCopiesTheSelectedRowsInTheViewsOrderWithTheHeader) {
    const auto window = Open();
    ResultTableView* view = window->ItemView();
    const QAbstractItemModel& model = *view->model();
    view->sortByColumn(4, Qt::DescendingOrder);  // b_calib: the copy follows what is shown
    view->selectRow(0);
    view->selectionModel()->select(model.index(2, 0),
                                   QItemSelectionModel::Select | QItemSelectionModel::Rows);
    QTest::keySequence(view, QKeySequence::Copy);

    const QStringList lines =
        QApplication::clipboard()->text().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 3) << QApplication::clipboard()->text().toStdString();
    EXPECT_EQ(Cells(lines[0], QLatin1Char('\t')), ModelHeader(model));
    EXPECT_EQ(Cells(lines[1], QLatin1Char('\t')), ModelRow(model, 0));
    EXPECT_EQ(Cells(lines[2], QLatin1Char('\t')), ModelRow(model, 2));
    EXPECT_EQ(Cells(lines[1], QLatin1Char('\t'))[0], QStringLiteral("3"));  // b = 1.25 first
}

TEST(TableText, CellsKeepTheirColumnsAndCsvQuotesWhatWouldSplitThem) {
    test_support::EnsureApplication();
    QStandardItemModel model(3, 3);
    model.setHorizontalHeaderLabels({"ID", "Flags", "Note"});
    const char* cells[3][3] = {{"A1", "a at bound, SE at cap", "said \"no\""},
                               {"A2", "", "two\nlines"},
                               {"A3", "all wrong", "tab\there"}};
    for (int row = 0; row < 3; ++row) {
        for (int column = 0; column < 3; ++column) {
            model.setItem(row, column, new QStandardItem(QString::fromUtf8(cells[row][column])));
        }
    }
    // Two cells in different rows and columns: a block of both, blanks between.
    EXPECT_EQ(SelectionAsTabSeparated(model, QModelIndexList{model.index(0, 0), model.index(2, 2)}),
              QStringLiteral("ID\tNote\nA1\t\n\ttab here\n"));
    EXPECT_EQ(SelectionAsTabSeparated(model, QModelIndexList{}), QString());
    // A block and a cell apart from it, as the view's selection holds them:
    // rows 0-1 of the first two columns and the last row's note.
    QItemSelection selection(model.index(0, 0), model.index(1, 1));
    selection.select(model.index(2, 2), model.index(2, 2));
    EXPECT_EQ(
        SelectionAsTabSeparated(model, selection),
        QStringLiteral("ID\tFlags\tNote\nA1\ta at bound, SE at cap\t\nA2\t\t\n\t\ttab here\n"));

    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("table.csv"));
    EXPECT_EQ(WriteTableAsCsv(path, model), QString());
    EXPECT_EQ(test_support::ReadFileBytes(path.toStdString()),
              "ID,Flags,Note\r\n"
              "A1,\"a at bound, SE at cap\",\"said \"\"no\"\"\"\r\n"
              "A2,,\"two\nlines\"\r\n"
              "A3,all wrong,tab\there\r\n");
}

// The export writes a block of rows at a time: every row arrives once, in
// order, across the blocks' seams.
TEST(TableText, ExportOfManyRowsHoldsEveryRowOnce) {
    test_support::EnsureApplication();
    constexpr int kRows = 10000;
    QStandardItemModel model(kRows, 1);
    model.setHorizontalHeaderLabels({"n"});
    for (int row = 0; row < kRows; ++row)
        model.setItem(row, 0, new QStandardItem(QString::number(row)));
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("rows.csv"));
    ASSERT_EQ(WriteTableAsCsv(path, model), QString());
    const auto lines = test_support::CrLfLines(test_support::ReadFileBytes(path.toStdString()));
    ASSERT_EQ(lines.size(), static_cast<std::size_t>(kRows) + 1);
    for (int row = 0; row < kRows; ++row) {
        ASSERT_EQ(lines[static_cast<std::size_t>(row) + 1], std::to_string(row));
    }
}

TEST_F(ResultsWindowTest, ExportWritesTheTableAsShownBesideTheResult) {
    const auto window = Open();
    window->IdFilter()->setText(QStringLiteral("b01"));
    ResultTableView* view = window->PersonView();
    QString offered;
    QString answer = folder.filePath(QStringLiteral("examinees"));
    view->SetSavePrompt([&](QWidget*, const QString& proposed) {
        offered = proposed;
        return answer;
    });
    QPushButton* button = ExportButtonBeside(view);
    ASSERT_NE(button, nullptr);
    button->click();

    EXPECT_EQ(offered, folder.filePath(QStringLiteral("result-examinees.csv")));
    const std::string csv = test_support::ReadFileBytes(answer.toStdString() + ".csv");
    const auto lines = test_support::CrLfLines(csv);
    ASSERT_EQ(lines.size(), 3u);  // the header and the two rows the filter shows
    EXPECT_EQ(QString::fromStdString(lines[0]), ModelHeader(*view->model()).join(','));
    EXPECT_EQ(QString::fromStdString(lines[2]).split(',')[1], QStringLiteral("B013"));
    EXPECT_TRUE(desktop.messages.empty());

    // A file that cannot be written is named in a message; nothing is left behind.
    answer = folder.filePath(QStringLiteral("no/such/folder/items.csv"));
    ASSERT_NE(ExportButtonBeside(window->ItemView()), nullptr);
    window->ItemView()->SetSavePrompt([&](QWidget*, const QString&) { return answer; });
    ExportButtonBeside(window->ItemView())->click();
    ASSERT_EQ(desktop.messages.size(), 1u);
    EXPECT_NE(desktop.messages[0].find("no/such/folder/items.csv"), std::string::npos)
        << desktop.messages[0];
}

// The exports go through the program's checked open: never over the run's
// own result file, and never into a FIFO nobody reads or another user's
// link, file or FIFO in a shared folder.
TEST_F(ResultsWindowTest, ExportsAndPlotsRefuseTheRunsFilesAndTheHostileNames) {
    const auto window = Open();
    const std::string before = test_support::ReadFileBytes(resultFile);
    window->ItemView()->SetSavePrompt(
        [&](QWidget*, const QString&) { return QString::fromStdString(resultFile); });
    ExportButtonBeside(window->ItemView())->click();
    ASSERT_EQ(desktop.messages.size(), 1u);
    EXPECT_NE(desktop.messages[0].find("it is the result file"), std::string::npos)
        << desktop.messages[0];
    EXPECT_FALSE(window->Plots()->Save(Plot::Histogram, QString::fromStdString(resultFile),
                                       QSize(100, 100), false));
    EXPECT_EQ(test_support::ReadFileBytes(resultFile), before);

    tarvo::test_support::TempDir dir;
    const tarvo::test_support::HostileOutputs hostile(dir);
    ASSERT_TRUE(hostile.Made());
    for (const tarvo::test_support::HostileOutput& c : hostile.List()) {
        SCOPED_TRACE(c.what);
        const QString path = QString::fromStdString(c.path);
        EXPECT_EQ(
            WriteTableAsCsv(path, *window->ItemModel()).toStdString(),
            "The table could not be saved as " + c.path + ": " + c.path + ": " + c.reason + ".");
        for (const bool svg : {false, true}) {
            EXPECT_FALSE(window->Plots()->Save(Plot::Histogram, path, QSize(100, 100), svg));
        }
        EXPECT_TRUE(hostile.Untouched());
    }
    if (!hostile.AsRoot()) GTEST_SKIP() << "another user's files need root to make";
}

TEST_F(ResultsWindowTest, EscapeAndCtrlWCloseTheWindow) {
    for (const QKeySequence& keys :
         {QKeySequence(Qt::Key_Escape), QKeySequence(Qt::CTRL | Qt::Key_W)}) {
        QPointer<ResultsWindow> window = Open().release();  // deletes itself on close
        window->show();
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.data()));
        QTest::keySequence(window->Summary(), keys);
        EXPECT_TRUE(test_support::WaitUntil([&] { return window.isNull(); }, 5000))
            << keys.toString().toStdString();
        delete window.data();
    }
}

TEST(ResultsWindowTitle, NamesTheFileTheRunAndTheTime) {
    const QTime opened(14, 5, 9);
    RunReport report;
    report.mode = 5;
    EXPECT_EQ(ResultsWindowTitle(QStringLiteral("/data/form a/out.csv"), report, opened),
              QStringLiteral("out.csv - mode 5 - 14:05:09 - TARVO results"));
    report.method = "mml";
    for (const auto& [model, shown] : std::vector<std::pair<std::string, QString>>{
             {"2pl", "MML 2PL"}, {"rasch", "MML Rasch"}, {"3pl-c-given", "MML 3PL, c given"}}) {
        report.model = model;
        EXPECT_EQ(
            ResultsWindowTitle(QStringLiteral("out.csv"), report, opened),
            QStringLiteral("out.csv - ") + shown + QStringLiteral(" - 14:05:09 - TARVO results"));
    }
}

TEST(WindowFit, TheWindowKeepsItsSizeWhereItFitsAndShrinksToTheScreenElsewhere) {
    const QSize wanted = ResultsWindow::kWantedSize;
    // 1600 x 1000 at a scale factor of 2, less a panel of 30 pixels.
    EXPECT_EQ(FittedWindowSize(wanted, QRect(0, 15, 800, 485)), QSize(720, 436));
    EXPECT_EQ(FittedWindowSize(wanted, QRect(1920, 0, 800, 485)), QSize(720, 436));
    EXPECT_EQ(FittedWindowSize(wanted, QRect(0, 0, 1920, 1050)), wanted);
    EXPECT_EQ(FittedWindowSize(wanted, QRect(0, 0, 1000, 600)), QSize(900, 540));
    EXPECT_EQ(FittedWindowSize(wanted, QRect()), wanted);  // no screen known
}

TEST_F(ResultsWindowTest, TheWindowOpensWithinTheScreenWithEveryButtonInside) {
    const auto window = Open();
    const QRect available = AvailableArea(window.get());
    ASSERT_FALSE(available.isEmpty());
    EXPECT_EQ(window->size(), FittedWindowSize(ResultsWindow::kWantedSize, available));

    ResizeToFit(window.get(), ResultsWindow::kWantedSize, QRect(0, 15, 800, 485));
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    EXPECT_EQ(window->size(), QSize(720, 436));
    for (int tab = 0; tab < window->Tabs()->count(); ++tab) {
        window->Tabs()->setCurrentIndex(tab);
        QApplication::processEvents();
        for (const QPushButton* button : window->findChildren<QPushButton*>()) {
            if (!button->isVisible()) continue;
            const QRect place(button->mapTo(window.get(), QPoint(0, 0)), button->size());
            EXPECT_TRUE(window->rect().contains(place))
                << button->text().toStdString() << " on tab " << tab;
        }
    }
}

TEST_F(ResultsWindowTest, FlaggedCellsReadOnTheirPinkUnderADarkTheme) {
    const test_support::DarkTheme theme;
    const auto window = Open();
    const ResultTableModel& model = *window->ItemModel();
    const QModelIndex flagged = model.index(1, 8);  // seec of the item not estimated
    ASSERT_TRUE(model.data(flagged, Qt::BackgroundRole).isValid());
    const QColor pink = model.data(flagged, Qt::BackgroundRole).value<QColor>();
    const QVariant foreground = model.data(flagged, Qt::ForegroundRole);
    const QColor text = foreground.isValid() ? foreground.value<QColor>()
                                             : window->ItemView()->palette().color(QPalette::Text);
    EXPECT_GE(test_support::Contrast(text, pink), 7);

    // As drawn: dark text on the pink, nothing lighter than it.
    window->Tabs()->setCurrentWidget(window->ItemView()->parentWidget());
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    window->ItemView()->setColumnHidden(8, false);  // seec opens hidden: shown as by its menu
    window->ItemView()->scrollTo(flagged);
    const QImage drawn = window->ItemView()->viewport()->grab().toImage();
    const test_support::Ink ink = test_support::InkIn(
        drawn, window->ItemView()->visualRect(flagged).adjusted(2, 2, -2, -2), pink);
    EXPECT_GT(ink.darker, 5);
    EXPECT_EQ(ink.lighter, 0);
}

// The person-item map: on the Plots tab of a run with abilities, the
// histogram of every examinee and a point per item location; in logits on
// the page's choice for the Rasch family.
TEST_F(ResultsWindowTest, PersonItemMapShowsEveryExamineeAndItemAndLogitsForTheRaschFamily) {
    auto window = Open();
    PlotsTab* plots = window->Plots();
    ASSERT_TRUE(plots->Shows(Plot::PersonItemMap));
    EXPECT_EQ(plots->MapScale(), nullptr);  // a 3PL run: theta only
    auto seriesOf = [](QChart* chart, const QString& prefix) -> QAbstractSeries* {
        for (QAbstractSeries* s : chart->series()) {
            if (s->name().startsWith(prefix)) return s;
        }
        return nullptr;
    };
    QChart* chart = plots->Chart(Plot::PersonItemMap);
    ASSERT_NE(seriesOf(chart, QStringLiteral("Examinees (6)")), nullptr);
    auto* items = static_cast<QScatterSeries*>(seriesOf(chart, QStringLiteral("Items")));
    ASSERT_NE(items, nullptr);
    ASSERT_EQ(items->count(), 3);
    EXPECT_DOUBLE_EQ(items->at(0).y(), -0.5);  // lowest location first
    EXPECT_DOUBLE_EQ(items->at(2).y(), 1.25);

    report.model = "1pl";
    report.mode = 6;
    window = Open();
    QComboBox* scale = window->Plots()->MapScale();
    ASSERT_NE(scale, nullptr);
    scale->setCurrentIndex(1);
    chart = window->Plots()->Chart(Plot::PersonItemMap);
    items = static_cast<QScatterSeries*>(seriesOf(chart, QStringLiteral("Items")));
    ASSERT_NE(items, nullptr);
    EXPECT_DOUBLE_EQ(items->at(0).y(), -0.5 * 1.7);
}

// "Save report...": the whole run as one page, never over the run's files.
TEST_F(ResultsWindowTest, SaveReportWritesThePageAndRefusesTheRunsFiles) {
    const auto window = Open();
    const RunReport& run = window->Data().Report();
    const QString page = folder.path() + QStringLiteral("/report.html");
    EXPECT_EQ(SaveHtmlReport(page, run, FilesNotTheReport(run), 2000).toStdString(), "");
    const std::string html = test_support::ReadFileBytes(page.toStdString());
    EXPECT_NE(html.find("Person-item map"), std::string::npos);
    EXPECT_NE(html.find("Item 2 has c fixed at 0"), std::string::npos);

    const std::string before = test_support::ReadFileBytes(resultFile);
    const QString refused =
        SaveHtmlReport(QString::fromStdString(resultFile), run, FilesNotTheReport(run), 2000);
    EXPECT_NE(refused.toStdString().find("result file"), std::string::npos)
        << refused.toStdString();
    EXPECT_EQ(test_support::ReadFileBytes(resultFile), before);
}

// The examinee limit beside "Save report...": the page lists the examinees
// up to it and summarises them above it, and the next window opens with the
// limit last set.
TEST_F(ResultsWindowTest, SaveReportListsExamineesUpToTheLimitSetBesideIt) {
    auto window = Open();
    QSpinBox* limit = window->ExamineeLimitBox();
    ASSERT_NE(limit, nullptr);
    EXPECT_EQ(limit->value(), static_cast<int>(RememberedExamineeLimit()));
    const std::size_t examinees = window->Data().Report().personRows.size();
    ASSERT_GT(examinees, 2u);
    QString asked;
    window->SetReportPrompt([&](QWidget*, const QString& folderOffered) {
        asked = folderOffered;
        return folder.path() + QStringLiteral("/limited");  // ".html" is added
    });
    limit->setValue(2);
    window->SaveReportButton()->click();
    EXPECT_EQ(asked, QFileInfo(QString::fromStdString(resultFile)).absolutePath());
    std::string html = test_support::ReadFileBytes(folder.path().toStdString() + "/limited.html");
    EXPECT_NE(html.find("The examinees in summary"), std::string::npos);
    EXPECT_NE(html.find("more than the 2 this report lists"), std::string::npos);
    EXPECT_EQ(RememberedExamineeLimit(), 2u);

    // A new window keeps the choice; at the examinees' count all are listed.
    window = Open();
    ASSERT_EQ(window->ExamineeLimitBox()->value(), 2);
    window->ExamineeLimitBox()->setValue(static_cast<int>(examinees));
    window->SetReportPrompt(
        [&](QWidget*, const QString&) { return folder.path() + QStringLiteral("/all.html"); });
    window->SaveReportButton()->click();
    html = test_support::ReadFileBytes(folder.path().toStdString() + "/all.html");
    EXPECT_NE(html.find("Every examinee"), std::string::npos);
    EXPECT_EQ(html.find("The examinees in summary"), std::string::npos);
    EXPECT_TRUE(desktop.messages.empty());

    // Cancelled: nothing is written.
    window->SetReportPrompt([](QWidget*, const QString&) { return QString(); });
    window->SaveReportButton()->click();
    EXPECT_TRUE(desktop.messages.empty());
    RememberExamineeLimit(report::kHtmlExamineeLimit);
}

}  // namespace
}  // namespace tarvo::shell
