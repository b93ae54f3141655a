// The dialog under a dark desktop theme (light text on dark backgrounds): every
// control on a background the dialog fixes draws dark text that reads on it,
// as on a light theme; the boxes and buttons keep the theme's own pairs.
#include <gtest/gtest.h>

#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QStyleOptionButton>
#include <QTableWidget>
#include <QTest>
#include <memory>

#include "platform/control_ids.h"
#include "shell/form/dialog_layout.h"
#include "shell/main_dialog.h"
#include "shell/preview/preview_window.h"
#include "shell_test_support.h"

namespace tarvo::shell {
namespace {

using test_support::Contrast;
using test_support::DarkPalette;
using test_support::InkIn;

class DarkThemeTest : public ::testing::Test {
  protected:
    void SetUp() override { dialog = std::make_unique<MainDialog>(nullptr, &picker, &desktop); }
    void TearDown() override { dialog.reset(); }

    test_support::ApplicationFirst application;
    test_support::DarkTheme theme;
    test_support::ScriptedPicker picker;
    test_support::RecordingDesktop desktop;
    std::unique_ptr<MainDialog> dialog;
};

TEST_F(DarkThemeTest, ControlsOnTheDialogsColoursTakeDarkTextEnabledOrNot) {
    int checked = 0;
    for (const ControlLayout& row : MainDialogControls()) {
        const ControlColours colours = ColoursForControl(row.id);
        if (!colours.background || row.kind == ControlKind::PushButton) continue;
        const QWidget* control = dialog->Control(row.id);
        const QColor background = control->palette().color(QPalette::Window);
        for (auto role : {QPalette::WindowText, QPalette::Text}) {
            if (colours.text && role == QPalette::WindowText) continue;  // a colour of its own
            EXPECT_GE(Contrast(control->palette().color(QPalette::Active, role), background), 7)
                << row.id << " role " << role;
            // Greyed while a run is in progress, still readable.
            EXPECT_GE(Contrast(control->palette().color(QPalette::Disabled, role), background), 3)
                << row.id << " role " << role;
        }
        if (row.kind == ControlKind::RadioButton) {
            // The indicator's dot on its circle.
            EXPECT_GE(Contrast(control->palette().color(QPalette::Text),
                               control->palette().color(QPalette::Base)),
                      7)
                << row.id;
        }
        ++checked;
    }
    EXPECT_GT(checked, 30);
    // The boxes and buttons keep the theme's light-on-dark pairs.
    for (int id : {control::kResponseFile, control::kItemCount, control::kGo}) {
        const QPalette palette = dialog->Control(id)->palette();
        for (auto role : {QPalette::Base, QPalette::Text, QPalette::Button, QPalette::ButtonText}) {
            EXPECT_EQ(palette.color(QPalette::Active, role), DarkPalette().color(role)) << id;
        }
    }
}

TEST_F(DarkThemeTest, EveryTextOnTheDialogsColoursIsDrawnDark) {
    dialog->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog.get()));
    const QImage image = dialog->grab().toImage();
    auto expectDarkInk = [&](const QWidget* control, const QRect& region,
                             const QColor& background) {
        const test_support::Ink ink = InkIn(image, region, background);
        EXPECT_GT(ink.darker, 5) << control->metaObject()->className() << " "
                                 << control->objectName().toStdString() << " at " << region.x()
                                 << "," << region.y();
        EXPECT_EQ(ink.lighter, 0) << control->metaObject()->className() << " at " << region.x()
                                  << "," << region.y();
    };
    int checked = 0;
    for (const QLabel* label : dialog->findChildren<QLabel*>()) {
        if (label->text().isEmpty()) continue;  // the shadow behind the title box
        expectDarkInk(label, label->geometry(), label->palette().color(QPalette::Window));
        ++checked;
    }
    for (const QGroupBox* group : dialog->findChildren<QGroupBox*>()) {
        // The title: the frame encloses other controls.
        const QFontMetrics metrics(group->font());
        const QRect title(group->x(), group->y(),
                          metrics.horizontalAdvance(group->title()) + metrics.height(),
                          metrics.height());
        expectDarkInk(group, title, group->palette().color(QPalette::Window));
        ++checked;
    }
    for (const QRadioButton* radio : dialog->findChildren<QRadioButton*>()) {
        QStyleOptionButton option;
        option.initFrom(radio);
        option.text = radio->text();
        const QRect caption =
            radio->style()->subElementRect(QStyle::SE_RadioButtonContents, &option, radio);
        expectDarkInk(radio, caption.translated(radio->pos()),
                      radio->palette().color(QPalette::Window));
        ++checked;
    }
    EXPECT_GT(checked, 30);
}

TEST(DarkThemePreview, FieldsKeepDarkTextOnTheirColours) {
    test_support::EnsureApplication();
    const test_support::DarkTheme theme;
    test_support::CurrentDirectoryGuard directory;
    test_support::ScriptedPicker picker;
    test_support::RecordingDesktop desktop;
    MainDialog dialog(nullptr, &picker, &desktop);
    picker.openAnswers.push_back(std::string(TARVO_SOURCE_DIR) + "/samples/testdata.dat");
    dialog.Commands().MainDialogProc(control::kBrowseResponseFile, kClicked);
    PreviewWindow preview(dialog.Controls(), &dialog);
    const auto selections = preview.Lines()->extraSelections();
    ASSERT_FALSE(selections.empty());
    for (const auto& selection : selections) {
        // A field without a text colour of its own takes the theme's.
        const QColor text = selection.format.hasProperty(QTextFormat::ForegroundBrush)
                                ? selection.format.foreground().color()
                                : preview.Lines()->palette().color(QPalette::Text);
        EXPECT_GE(Contrast(text, selection.format.background().color()), 7);
    }
}

}  // namespace
}  // namespace tarvo::shell
