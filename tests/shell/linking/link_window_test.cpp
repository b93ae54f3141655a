// The Link window offscreen: two forms chosen, "Link", the constants side
// by side, the drift screen, the score table, the plots, and the files
// saved; and the main dialog's "Link..." button that opens it.
#include "shell/linking/link_window.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QtCharts/QChart>
#include <QtCharts/QChartView>
#include <QtCharts/QValueAxis>
#include <QtCharts/QXYSeries>
#include <QtTest/QTest>
#include <cstdio>

#include "linking/forms/form_reader.h"
#include "linking/reference_forms.h"
#include "shell/desktop/window_fit.h"
#include "shell/linking/link_form_box.h"
#include "shell/main_dialog.h"
#include "shell_test_support.h"
#include "support/hostile_outputs.h"
#include "support/temp_dir.h"

namespace tarvo::shell {
namespace {

using test_support::RecordingDesktop;
using test_support::ScriptedPicker;

std::string ItemLines(const linking::ItemForm& form) {
    std::string text;
    for (std::size_t i = 0; i < form.size(); ++i) {
        char line[120];
        std::snprintf(line, sizeof line, "%-8s             %9.5f %9.5f %9.5f\r\n",
                      form.id[i].c_str(), form.a[i], form.b[i], form.c[i]);
        text += line;
    }
    return text;
}

// "Link", then the link's end: it runs off the user-interface thread.
void LinkAndWait(LinkWindow& window) {
    window.LinkButton()->click();
    EXPECT_TRUE(test_support::WaitUntil([&] { return !window.Linking(); }, 60000));
}

class LinkWindowTest : public ::testing::Test, public test_support::ApplicationFirst {
  protected:
    LinkWindowTest() {
        base = files.Write("base.itm", ItemLines(linking::test::ReferenceBase()));
        fresh = files.Write("new.itm", ItemLines(linking::test::ReferenceNew()));
        picker.openAnswers = {base, fresh};
        window.BaseForm()->BrowseButton()->click();
        window.NewForm()->BrowseButton()->click();
    }

    tarvo::test_support::TempDir files;
    std::string base, fresh;
    ScriptedPicker picker;
    RecordingDesktop desktop;
    LinkWindow window{desktop, &picker};
};

const QXYSeries* SeriesNamed(const QChartView* view, const QString& name) {
    for (QAbstractSeries* series : view->chart()->series()) {
        if (series->name() == name) return static_cast<const QXYSeries*>(series);
    }
    return nullptr;
}

TEST_F(LinkWindowTest, ShowsEveryMethodsConstantsSideBySideAfterLink) {
    EXPECT_EQ(window.BaseForm()->FileBox()->text().toStdString(), base);
    EXPECT_FALSE(window.SaveItemsButton()->isEnabled());
    LinkAndWait(window);
    ASSERT_TRUE(desktop.messages.empty()) << desktop.messages.front();

    QTableWidget* constants = window.ConstantsTable();
    ASSERT_EQ(constants->rowCount(), 4);
    // bench/reference/linking_reference.R, to the four decimals shown.
    const char* expected[][3] = {{"mean/mean", "1.1979", "0.2969"},
                                 {"mean/sigma", "1.2169", "0.2975"},
                                 {"haebara", "1.1999", "0.3021"},
                                 {"stocking-lord", "1.1865", "0.3116"}};
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 3; ++c) {
            EXPECT_EQ(constants->item(r, c)->text().toStdString(), expected[r][c]) << r << c;
        }
        EXPECT_EQ(constants->item(r, 3)->text(), QStringLiteral("-"));  // no item errors given
    }
    EXPECT_EQ(window.DriftTable()->rowCount(), 8);
    // Each difference by the robust z and over its own error (none given here).
    ASSERT_EQ(window.DriftTable()->columnCount(), 8);
    EXPECT_EQ(window.DriftTable()->horizontalHeaderItem(6)->text(),
              QStringLiteral("Difference / SE"));
    EXPECT_EQ(window.DriftTable()->item(0, 6)->text(), QStringLiteral("-"));
    EXPECT_EQ(window.ScoreTable()->rowCount(), 9);
    EXPECT_EQ(window.ScoreTable()->item(4, 2)->text(), QStringLiteral("-0.152"));
    EXPECT_EQ(window.EquatingTable()->rowCount(), 9);
    EXPECT_TRUE(window.SaveItemsButton()->isEnabled());

    // Both forms' curves after the link, and the equating.
    for (const char* name : {"Base form", "New form"}) {
        const QXYSeries* series = SeriesNamed(window.CharacteristicView(), name);
        ASSERT_NE(series, nullptr) << name;
        EXPECT_EQ(series->count(), 161);
    }
    for (const char* name : {"Base information", "New information", "Base standard error"}) {
        EXPECT_NE(SeriesNamed(window.InformationView(), name), nullptr) << name;
    }
    const QXYSeries* equated = SeriesNamed(window.EquatingView(), QStringLiteral("Equivalent"));
    ASSERT_NE(equated, nullptr);
    EXPECT_EQ(equated->count(), 9);
    EXPECT_NEAR(equated->at(8).y(), 8, 1e-12);
}

TEST_F(LinkWindowTest, SavesTheTransformedItemsAndTheScoreTable) {
    LinkAndWait(window);
    const std::string items = files.File("moved.itm"), table = files.File("table.csv");
    picker.saveAnswers = {items, table};
    window.SaveItemsButton()->click();
    EXPECT_NE(window.Status()->text().toStdString().find("--a-start 22"), std::string::npos);
    window.SaveTableButton()->click();
    ASSERT_EQ(picker.saveRequests.size(), 2u);
    const linking::FormRead moved = linking::ReadItemForm(items, linking::ItemColumns{}, {});
    ASSERT_TRUE(moved.form) << moved.error;
    EXPECT_NEAR(moved.form->b[0], -1.39701, 1e-5);  // the reference script's moved b
    EXPECT_EQ(test_support::CrLfLines(test_support::ReadFileBytes(table)).size(), 10u);

    // A folder that does not exist is reported, not passed over.
    EXPECT_FALSE(window.SaveScoreTable(files.File("no/such/table.csv")));
    ASSERT_EQ(desktop.messages.size(), 1u);
    EXPECT_EQ(desktop.messages[0],
              "ERROR " + files.File("no/such/table.csv") + ": cannot write this file (" +
                  files.File("no/such/table.csv") + ": No such file or directory)");
}

// Both saves go through the program's checked open: never over a form the
// link read, a FIFO nobody reads or another user's link, file or FIFO in a
// shared folder.
TEST_F(LinkWindowTest, SavesRefuseTheFormsAndTheHostileNames) {
    LinkAndWait(window);
    const std::string before = test_support::ReadFileBytes(base);
    EXPECT_FALSE(window.SaveScoreTable(base));
    EXPECT_FALSE(window.SaveTransformedItems(fresh));
    ASSERT_EQ(desktop.messages.size(), 2u);
    EXPECT_EQ(desktop.messages[0], "ERROR " + base +
                                       ": cannot write this file (it is the base "
                                       "form's file)");
    EXPECT_EQ(test_support::ReadFileBytes(base), before);

    const tarvo::test_support::HostileOutputs hostile(files);
    ASSERT_TRUE(hostile.Made());
    for (const tarvo::test_support::HostileOutput& c : hostile.List()) {
        SCOPED_TRACE(c.what);
        EXPECT_FALSE(window.SaveScoreTable(c.path));
        EXPECT_EQ(desktop.messages.back(), "ERROR " + c.path + ": cannot write this file (" +
                                               c.path + ": " + c.reason + ")");
        EXPECT_FALSE(window.SaveTransformedItems(c.path));
        EXPECT_TRUE(hostile.Untouched());
    }
    if (!hostile.AsRoot()) GTEST_SKIP() << "another user's files need root to make";
}

TEST_F(LinkWindowTest, SaysWhyNoLinkWasMade) {
    window.NewForm()->FileBox()->setText(QString::fromStdString(files.File("gone.itm")));
    LinkAndWait(window);
    ASSERT_EQ(desktop.messages.size(), 1u);
    EXPECT_EQ(desktop.messages[0], "ERROR " + files.File("gone.itm") + ": cannot read this file");
    EXPECT_FALSE(window.Outcome());
    EXPECT_FALSE(window.SaveItemsButton()->isEnabled());
}

TEST_F(LinkWindowTest, PlotsHaveOneGridAndRoundTicks) {
    LinkAndWait(window);
    ASSERT_TRUE(desktop.messages.empty()) << desktop.messages.front();
    for (QChartView* view :
         {window.CharacteristicView(), window.InformationView(), window.EquatingView()}) {
        int grids = 0;
        for (QAbstractAxis* axis : view->chart()->axes()) {
            if (axis->orientation() == Qt::Vertical && axis->isGridLineVisible()) ++grids;
            auto* value = qobject_cast<QValueAxis*>(axis);
            ASSERT_NE(value, nullptr);
            const double step = (value->max() - value->min()) / (value->tickCount() - 1);
            const double mantissa = step / std::pow(10.0, std::floor(std::log10(step)));
            bool round = false;
            for (double nice : {1.0, 2.0, 2.5, 5.0, 10.0})
                round |= std::fabs(mantissa - nice) < 1e-9;
            EXPECT_TRUE(round) << value->titleText().toStdString() << " step " << step;
            EXPECT_NEAR(value->min() / step, std::round(value->min() / step), 1e-9);
        }
        EXPECT_EQ(grids, 1) << view->chart()->title().toStdString();
    }
}

// Forms without item IDs once linked nothing ("share 0 items").
TEST_F(LinkWindowTest, FormsWithoutIdsOfOneLengthAreMatchedByPositionAndSaySo) {
    linking::ItemForm baseForm = linking::test::ReferenceBase();
    linking::ItemForm newForm = linking::test::ReferenceNew();
    for (std::string& id : baseForm.id) id.clear();
    for (std::string& id : newForm.id) id.clear();
    window.BaseForm()->FileBox()->setText(
        QString::fromStdString(files.Write("base-noid.itm", ItemLines(baseForm))));
    window.NewForm()->FileBox()->setText(
        QString::fromStdString(files.Write("new-noid.itm", ItemLines(newForm))));
    LinkAndWait(window);
    ASSERT_TRUE(desktop.messages.empty()) << desktop.messages.front();
    ASSERT_TRUE(window.Outcome());
    EXPECT_TRUE(window.Outcome()->matchedByPosition);
    EXPECT_EQ(window.Outcome()->anchors.size(), newForm.size());
    EXPECT_EQ(window.Outcome()->anchors.newId.front(), "item 1");
    bool said = false;
    for (const QLabel* label : window.findChildren<QLabel*>()) {
        if (label->text().contains(QStringLiteral("matched by position"))) said = true;
    }
    EXPECT_TRUE(said);
}

// A form that is a FIFO nobody writes keeps the link reading: the progress
// bar is there, Stop ends the link as stopped and Link works again.
TEST_F(LinkWindowTest, StopEndsARunningLinkAndKeepsWhatWasShown) {
    LinkAndWait(window);
    ASSERT_TRUE(window.Outcome());
    const std::string fifo = files.File("waiting.itm");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    window.NewForm()->FileBox()->setText(QString::fromStdString(fifo));
    window.LinkButton()->click();
    EXPECT_TRUE(window.Linking());
    EXPECT_FALSE(window.LinkButton()->isEnabled());
    ASSERT_TRUE(window.StopButton()->isEnabled());
    window.StopButton()->click();
    ASSERT_TRUE(test_support::WaitUntil([&] { return !window.Linking(); }, 60000));
    EXPECT_TRUE(desktop.messages.empty());
    EXPECT_TRUE(window.Status()->text().contains(QStringLiteral("stopped")));
    EXPECT_TRUE(window.Outcome());  // the first link's, still shown
    EXPECT_TRUE(window.LinkButton()->isEnabled());
    EXPECT_FALSE(window.StopButton()->isEnabled());
}

TEST_F(LinkWindowTest, TheProgressBarEndsFullAfterALink) {
    LinkAndWait(window);
    EXPECT_EQ(window.Progress()->value(), window.Progress()->maximum());
}

TEST(LinkWindowKeys, EscapeAndCtrlWCloseTheWindow) {
    test_support::EnsureApplication();
    RecordingDesktop desktop;
    ScriptedPicker picker;
    for (const QKeySequence& keys :
         {QKeySequence(Qt::Key_Escape), QKeySequence(Qt::CTRL | Qt::Key_W)}) {
        QPointer<LinkWindow> window = new LinkWindow(desktop, &picker);  // deletes itself on close
        window->show();
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.data()));
        QTest::keySequence(window.data(), keys);
        EXPECT_TRUE(test_support::WaitUntil([&] { return window.isNull(); }, 5000))
            << keys.toString().toStdString();
        delete window.data();
    }
}

TEST(LinkWindowSize, OpensWithinTheScreen) {
    test_support::EnsureApplication();
    RecordingDesktop desktop;
    OpenLinkWindow(desktop, nullptr);
    LinkWindow* window = nullptr;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* link = dynamic_cast<LinkWindow*>(widget)) window = link;
    }
    ASSERT_NE(window, nullptr);
    const QRect available = AvailableArea(window);
    ASSERT_FALSE(available.isEmpty());
    EXPECT_LE(window->width(), available.width());
    EXPECT_LE(window->height(), available.height());
    delete window;
}

TEST(MainDialogLink, TheLinkButtonOpensTheWindowWhenTheProgramGivesOne) {
    test_support::EnsureApplication();
    ScriptedPicker picker;
    RecordingDesktop desktop;
    MainDialog dialog(nullptr, &picker, &desktop);
    EXPECT_FALSE(dialog.LinkButton()->isEnabled());
    int opened = 0;
    dialog.SetLinkWindowOpener([&opened] { ++opened; });
    EXPECT_TRUE(dialog.LinkButton()->isEnabled());
    dialog.LinkButton()->click();
    EXPECT_EQ(opened, 1);
}

}  // namespace
}  // namespace tarvo::shell
