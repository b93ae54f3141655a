// The results window, the Link window, the main dialog and the dialogs it
// opens on a 1280 x 720 screen (a laptop's, or a projector's): each opens
// with its whole frame on the screen, and every button of every tab lies
// inside the screen and the window.
#include <gtest/gtest.h>

#include <QApplication>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>
#include <QTest>
#include <cmath>

#include "group_sections.h"
#include "hand_written_result.h"
#include "platform/control_ids.h"
#include "run/fit_sections.h"
#include "shell/linking/link_window.h"
#include "shell/main_dialog.h"
#include "shell/options/dif_dialog.h"
#include "shell/options/marginal_options_dialog.h"
#include "shell/results/results_window.h"

namespace tarvo::shell {
namespace {

// The one screen the platform is given; the application must not exist yet.
void OpenOnTheSmallScreen() {
    if (QApplication::instance() == nullptr) qputenv("QT_QPA_PLATFORM", TARVO_SMALL_SCREEN);
    test_support::EnsureApplication();
}

// Shows window and checks its frame and the visible buttons of each of its
// tabs against the screen.
void ExpectOnTheScreen(QWidget* window, QTabWidget* tabs) {
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    ASSERT_NE(window->screen(), nullptr);
    const QRect screen = window->screen()->availableGeometry();
    ASSERT_EQ(screen.size(), QSize(1280, 720)) << "the platform did not take the screen's size";
    QApplication::processEvents();
    const QRect frame = window->frameGeometry();
    EXPECT_TRUE(screen.contains(frame)) << "frame " << frame.x() << "," << frame.y() << " "
                                        << frame.width() << "x" << frame.height();
    // A window without tabs is checked as its one page.
    for (int tab = 0; tab < (tabs == nullptr ? 1 : tabs->count()); ++tab) {
        if (tabs != nullptr) tabs->setCurrentIndex(tab);
        QApplication::processEvents();
        for (const QPushButton* button : window->findChildren<QPushButton*>()) {
            if (!button->isVisibleTo(window)) continue;
            const QRect place(button->mapToGlobal(QPoint(0, 0)), button->size());
            EXPECT_TRUE(screen.contains(place) && window->geometry().contains(place))
                << button->text().toStdString() << " on tab "
                << (tabs == nullptr ? std::string() : tabs->tabText(tab).toStdString()) << " at "
                << place.x() << "," << place.y() << " " << place.width() << "x" << place.height();
        }
    }
}

class SmallScreenResults : public ResultsWindowTest {
  protected:
    void SetUp() override {
        OpenOnTheSmallScreen();
        ResultsWindowTest::SetUp();
        // Every tab the window can have: fit (with local dependence) and a
        // score table beside the items and examinees, the groups and DIF.
        fit::FitResults fit;
        fit.items.resize(3);
        fit.items[0].sx2 = 7.25;
        fit.items[0].df = 2;
        fit.items[0].p = 0.0266;
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
        SummedScoreReport scores;
        for (int score = 0; score <= 3; ++score) {
            scores.rows.push_back({score, 0.25, score - 1.5, 0.6, std::nan("")});
        }
        scores.curves.theta = {-4, 0, 4};
        scores.curves.expected = {0.2, 1.5, 2.9};
        scores.curves.information = {0.1, 0.8, 0.1};
        scores.curves.se = {3.2, 1.1, 3.2};
        report.summedScores = scores;
        // The groups calibrated together and screened for DIF.
        for (ReportSection& section : test_support::GroupSections()) {
            report.sections.push_back(std::move(section));
        }
    }
};

TEST_F(SmallScreenResults, TheResultsWindowAndItsButtonsFitTheScreen) {
    ResultsWindows viewer(desktop);
    viewer.ShowResults(resultFile, report);
    ASSERT_EQ(viewer.Open().size(), 1u);
    std::unique_ptr<ResultsWindow> window(viewer.Open().back());
    ASSERT_GE(window->Tabs()->count(), 9)
        << window->TabTitles().join(QLatin1Char(',')).toStdString();
    ExpectOnTheScreen(window.get(), window->Tabs());
}

TEST(SmallScreenLink, TheLinkWindowAndItsButtonsFitTheScreen) {
    OpenOnTheSmallScreen();
    test_support::RecordingDesktop desktop;
    OpenLinkWindow(desktop, nullptr);
    std::unique_ptr<LinkWindow> window;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* link = dynamic_cast<LinkWindow*>(widget)) window.reset(link);
    }
    ASSERT_NE(window, nullptr);
    QTabWidget* tabs = window->findChild<QTabWidget*>();
    ASSERT_NE(tabs, nullptr);
    ExpectOnTheScreen(window.get(), tabs);
}

// The marginal options, with their rows of the polytomous items and of the
// groups, are the tallest dialog the main window opens.
TEST(SmallScreenOptions, TheMarginalOptionsDialogFitsTheScreen) {
    OpenOnTheSmallScreen();
    MarginalOptionsForm form = DefaultMarginalOptions();
    form.polytomous = PolytomousModel::Grm;
    form.groupsTogether = true;
    form.groups.mantelHaenszel = true;
    form.groups.focal = "M,X,Y";
    MarginalOptionsDialog options(form, 3);
    ExpectOnTheScreen(&options, nullptr);
}

// The main dialog keeps its fixed size with "DIF..." beside the Group
// field, and the DIF dialog, with every screen and long labels, is small.
TEST(SmallScreenDif, TheMainDialogAndItsDifDialogFitTheScreen) {
    OpenOnTheSmallScreen();
    test_support::ScriptedPicker picker;
    test_support::RecordingDesktop desktop;
    MainDialog dialog(nullptr, &picker, &desktop);
    dialog.Controls().SetText(control::kGroupStart, "10");
    ASSERT_TRUE(dialog.GroupField().dif->isEnabled());
    ExpectOnTheScreen(&dialog, nullptr);

    EstimatorChoice estimator;
    estimator.SetMethod(EstimatorMethod::Marginal);
    MarginalOptionsForm form = DefaultMarginalOptions();
    form.groupsTogether = true;
    form.groups.mantelHaenszel = form.groups.irt = true;
    form.groups.anchors = "item01,item02,item03,item04";
    form.groups.focal = "M,X,Y";
    estimator.SetOptions(form);
    DifDialog dif(estimator, 3);
    ExpectOnTheScreen(&dif, nullptr);
}

}  // namespace
}  // namespace tarvo::shell
