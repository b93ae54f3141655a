// The progress window and its operations by handle, as the C entry points and
// the desktop program use them.
#include "shell/progress/progress_window.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QWindow>

#include "shell/form/dialog_fonts.h"
#include "shell/form/dialog_units.h"
#include "shell/progress/progress_operations.h"
#include "shell_test_support.h"

namespace tarvo::shell {
namespace {

class ProgressWindowTest : public ::testing::Test, private test_support::ApplicationFirst {
  protected:
    void SetUp() override {
        owner.resize(400, 300);
        owner.move(120, 80);
        owner.show();
    }
    void TearDown() override {
        if (handle != nullptr) ProgressShutdown(handle, &owner);
    }

    ProgressWindow* Window() const { return FindProgressWindow(handle); }
    int BarValue() const {
        return static_cast<QProgressBar*>(Window()->Control(ProgressWindow::kBar))->value();
    }
    QString Status() const {
        return static_cast<QLabel*>(Window()->Control(ProgressWindow::kStatusLine))->text();
    }
    void PressStop() const {
        static_cast<QPushButton*>(Window()->Control(ProgressWindow::kStopButton))->click();
    }

    QWidget owner;
    ProgressHandle handle = nullptr;
};

TEST_F(ProgressWindowTest, OpensAboveItsDisabledOwner) {
    handle = ProgressInit(&owner, "Calibrating items...");
    ASSERT_NE(Window(), nullptr);
    EXPECT_FALSE(owner.isEnabled());
    EXPECT_TRUE(Window()->isVisible());
    EXPECT_TRUE(Window()->isEnabled());  // its Stop button stays usable
    EXPECT_EQ(Window()->windowTitle(), QStringLiteral("Calibrating items..."));

    const Qt::WindowFlags flags = Window()->windowFlags();
    EXPECT_TRUE(flags & Qt::WindowStaysOnTopHint);
    EXPECT_FALSE(flags & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(flags & Qt::WindowSystemMenuHint);

    const DialogUnits units = DialogUnits::ForFont(DialogFont());
    EXPECT_EQ(Window()->size(), units.Size(300, 85));
    EXPECT_EQ(Window()->Control(ProgressWindow::kBar)->geometry(), units.Rect(25, 20, 250, 15));
    EXPECT_EQ(BarValue(), 0);
    EXPECT_EQ(Status(), QString());

    auto* stop = static_cast<QPushButton*>(Window()->Control(ProgressWindow::kStopButton));
    EXPECT_EQ(stop->text(), QStringLiteral("&Stop"));
    EXPECT_FALSE(Window()->Control(ProgressWindow::kStopFlag)->isVisible());

    ProgressShutdown(handle, &owner);
    EXPECT_TRUE(owner.isEnabled());
    EXPECT_EQ(Window(), nullptr);
    handle = nullptr;
}

TEST_F(ProgressWindowTest, PercentIsClampedNeverRejected) {
    handle = ProgressInit(&owner, "x");
    const std::pair<int, int> cases[] = {{150, 100}, {-5, 0},        {42, 42},        {100, 100},
                                         {0, 0},     {INT32_MIN, 0}, {INT32_MAX, 100}};
    for (const auto& [percent, shown] : cases) {
        ProgressSet(handle, percent, "Item 1 of 3.");
        EXPECT_EQ(BarValue(), shown) << percent;
    }
    EXPECT_EQ(Status(), QStringLiteral("Item 1 of 3."));
}

TEST_F(ProgressWindowTest, StatusTextIsPlainText) {
    handle = ProgressInit(&owner, "x");
    ProgressSet(handle, 1, "<b>Person 1</b> of 2.");
    EXPECT_EQ(static_cast<QLabel*>(Window()->Control(ProgressWindow::kStatusLine))->textFormat(),
              Qt::PlainText);
    EXPECT_EQ(Status(), QStringLiteral("<b>Person 1</b> of 2."));
}

TEST_F(ProgressWindowTest, StopBeforeTheFirstPollIsSeenAndNeverCleared) {
    handle = ProgressInit(&owner, "x");
    PressStop();
    EXPECT_EQ(ProgressIsCancelled(handle), 1);
    ProgressSet(handle, 50, "later");
    EXPECT_EQ(ProgressIsCancelled(handle), 1);
    EXPECT_EQ(static_cast<QLabel*>(Window()->Control(ProgressWindow::kStopFlag))->text(),
              QStringLiteral("Stop"));
}

TEST_F(ProgressWindowTest, NoStopMeansGoOn) {
    handle = ProgressInit(&owner, "x");
    for (int i = 0; i < 3; ++i) EXPECT_EQ(ProgressIsCancelled(handle), 0);
}

TEST_F(ProgressWindowTest, AGoneWindowCountsAsStopped) {
    handle = ProgressInit(&owner, "x");
    ProgressHandle old = handle;
    ProgressShutdown(handle, &owner);
    handle = nullptr;
    EXPECT_EQ(ProgressIsCancelled(old), 1);
    ProgressSet(old, 10, "ignored");  // does nothing, does not crash
    ProgressPos(old, 1, 1);

    // A new window never takes over an old handle.
    handle = ProgressInit(&owner, "y");
    EXPECT_NE(handle, old);
    EXPECT_EQ(ProgressIsCancelled(old), 1);
    EXPECT_EQ(ProgressIsCancelled(handle), 0);

    delete Window();  // destroyed by other means
    EXPECT_EQ(ProgressIsCancelled(handle), 1);
}

TEST_F(ProgressWindowTest, IsADialogOfItsOwnerWithTitleOnly) {
    owner.setWindowTitle(QStringLiteral("owner"));
    handle = ProgressInit(&owner, "x");
    // A dialog above the main dialog: window managers neither minimise it on
    // its own nor give it a task bar entry, so Stop cannot get lost.
    EXPECT_EQ(Window()->windowType(), Qt::Dialog);
    const Qt::WindowFlags flags = Window()->windowFlags();
    EXPECT_TRUE(flags & Qt::CustomizeWindowHint);
    EXPECT_TRUE(flags & Qt::WindowTitleHint);
    for (Qt::WindowType absent :
         {Qt::WindowSystemMenuHint, Qt::WindowMinimizeButtonHint, Qt::WindowMaximizeButtonHint,
          Qt::WindowCloseButtonHint, Qt::WindowContextHelpButtonHint}) {
        EXPECT_FALSE(flags & absent) << absent;
    }
    ASSERT_NE(Window()->windowHandle(), nullptr);
    EXPECT_EQ(Window()->windowHandle()->transientParent(), owner.windowHandle());
    EXPECT_EQ(Window()->windowHandle()->flags() & Qt::WindowType_Mask, Qt::Dialog);
}

TEST_F(ProgressWindowTest, ACloseRequestStopsTheRunAndLeavesTheWindow) {
    handle = ProgressInit(&owner, "x");
    EXPECT_FALSE(Window()->close());  // what Alt+F4 or a window manager asks
    EXPECT_TRUE(Window()->isVisible());
    // Like Stop: the run ends at its next poll and writes what it has.
    EXPECT_EQ(ProgressIsCancelled(handle), 1);
}

TEST_F(ProgressWindowTest, PosMovesRelativeToTheOwnersClientArea) {
    handle = ProgressInit(&owner, "x");
    ProgressPos(handle, 40, 16);
    const DialogUnits units = DialogUnits::ForFont(DialogFont());
    EXPECT_EQ(Window()->pos(), owner.mapToGlobal(QPoint(0, 0)) + units.Point(40, 16));
    ProgressPos(handle, -8, -4);
    EXPECT_EQ(Window()->pos(), owner.mapToGlobal(QPoint(0, 0)) + units.Point(-8, -4));
}

TEST_F(ProgressWindowTest, WorksWithoutOwner) {
    handle = ProgressInit(nullptr, "alone");
    ASSERT_NE(Window(), nullptr);
    EXPECT_TRUE(owner.isEnabled());
    ProgressShutdown(handle, nullptr);
    handle = nullptr;
    EXPECT_TRUE(owner.isEnabled());
}

TEST(DialogUnits, ConvertLikeTheDialogManager) {
    EXPECT_EQ(MulDivRound(7, 6, 4), 11);    // 10.5 rounds up
    EXPECT_EQ(MulDivRound(-7, 6, 4), -11);  // and down, symmetrically
    EXPECT_EQ(MulDivRound(5, 13, 8), 8);    // 8.125
    EXPECT_EQ(MulDivRound(0, 13, 8), 0);

    const DialogUnits units(6, 13);
    EXPECT_EQ(units.Size(382, 226), QSize(573, 367));
    EXPECT_EQ(units.Point(74, 37), QPoint(111, 60));
    EXPECT_EQ(units.Rect(200, 178, 25, 15), QRect(300, 289, 38, 24));
}

TEST(DialogUnits, ComeFromTheFontsLettersAndHeight) {
    test_support::EnsureApplication();
    const QFont font = DialogFont();
    const DialogUnits units = DialogUnits::ForFont(font);
    const QFontMetrics metrics(font);
    EXPECT_EQ(units.BaseHeight(), metrics.height());
    const double average = metrics.horizontalAdvance(QStringLiteral(
                               "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz")) /
                           52.0;
    EXPECT_NEAR(units.BaseWidth(), average, 0.5 + 1e-9);
}

}  // namespace
}  // namespace tarvo::shell
