// "Help" where the help document cannot be opened: the built-in help in the
// program's own window, and the runner options that help names.
#include "shell/desktop/help_window.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QTextBrowser>
#include <set>
#include <string>

#include "input/format/response_format.h"
#include "platform/control_ids.h"
#include "request/option_table.h"
#include "shell/desktop/window_fit.h"
#include "shell/main_dialog.h"
#include "shell_test_support.h"

namespace tarvo::shell {
namespace {

using test_support::EnsureApplication;

class HelpWindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        EnsureApplication();
        dialog = std::make_unique<MainDialog>(nullptr, &picker, &desktop);
    }
    void ClickHelp() { static_cast<QPushButton*>(dialog->Control(control::kHelp))->click(); }

    test_support::ScriptedPicker picker;
    test_support::RecordingDesktop desktop;
    std::unique_ptr<MainDialog> dialog;
};

TEST_F(HelpWindowTest, TheDocumentOpensWhereTheDesktopCanOpenIt) {
    ClickHelp();
    ASSERT_EQ(desktop.openedDocuments.size(), 1u);
    EXPECT_EQ(desktop.openedDocuments[0], "aboutTARVO.rtf");
    EXPECT_EQ(dialog->HelpWindowShown(), nullptr);
}

TEST_F(HelpWindowTest, WhereItCannotTheHelpShowsInItsOwnWindow) {
    desktop.documentsOpen = false;
    ClickHelp();
    EXPECT_TRUE(desktop.openedDocuments.empty());
    auto* window = qobject_cast<QTextBrowser*>(dialog->HelpWindowShown());
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(window->isWindow());
    EXPECT_TRUE(window->isReadOnly());
    EXPECT_EQ(window->windowTitle(), QStringLiteral("TARVO Help"));
    const QString html = window->toHtml();
    for (const char* part : {"Starting a run", "The eight modes", "Files and columns",
                             "Delimited files, Preview and Detect", "The input check",
                             "The estimator", "Groups and DIF", "Saving settings",
                             "The results window", "Linking two forms", "Help and Exit"}) {
        EXPECT_TRUE(html.contains(QRegularExpression(QStringLiteral("<h2[^>]*>(<[^>]*>)*") +
                                                     QRegularExpression::escape(part))))
            << part;
    }
    // Asked again, the same window comes forward.
    ClickHelp();
    EXPECT_EQ(dialog->HelpWindowShown(), window);
}

TEST_F(HelpWindowTest, EscAndCtrlWCloseIt) {
    desktop.documentsOpen = false;
    for (const QKeySequence& keys :
         {QKeySequence(Qt::Key_Escape), QKeySequence(Qt::CTRL | Qt::Key_W)}) {
        ClickHelp();
        QPointer<QWidget> window = dialog->HelpWindowShown();
        ASSERT_NE(window, nullptr);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
        window->activateWindow();
        QTest::keySequence(window, keys);
        QTest::qWait(0);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_TRUE(window == nullptr || !window->isVisible()) << keys.toString().toStdString();
    }
}

TEST(HelpWindow, FitsA1280By720Screen) {
    const QSize size = HelpWindowSize(QRect(0, 0, 1280, 720 - 40));  // less a panel
    EXPECT_LE(size.width(), 1280 * 9 / 10);
    EXPECT_LE(size.height(), 680 * 9 / 10);  // room for the frame's title bar
    EXPECT_GE(size.width(), 600);            // still wide enough to read
    EXPECT_GE(size.height(), 500);
}

TEST(HelpWindow, NamesOnlyOptionsTheRunnerHas) {
    std::set<std::string> known;
    for (const request::OptionSpec& option : request::RunOptions()) known.emplace(option.name);
    for (const FormatEntryName& entry : kFormatEntryNames) known.emplace(entry.name);
    const QString html = BuiltInHelpHtml();
    ASSERT_FALSE(html.isEmpty());
    int named = 0;
    const QRegularExpression option(QStringLiteral("--([a-z][a-z-]*)"));
    for (auto match = option.globalMatch(html); match.hasNext();) {
        const std::string name = match.next().captured(1).toStdString();
        EXPECT_TRUE(known.contains(name)) << "--" << name;
        ++named;
    }
    EXPECT_GE(named, 15);  // the help does name the runner's options
}

}  // namespace
}  // namespace tarvo::shell
