// The main dialog as built at start-up: controls, texts, places, colours,
// fonts, the start state, the window's frame, Help and the two ways to end.
#include "shell/main_dialog.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QValidator>
#include <set>

#include "platform/control_ids.h"
#include "shell/desktop/fixed_colours.h"
#include "shell/form/dialog_fonts.h"
#include "shell/form/dialog_layout.h"
#include "shell_test_support.h"

namespace tarvo::shell {
namespace {

using test_support::EnsureApplication;
using test_support::RecordingDesktop;
using test_support::ScriptedPicker;

class MainDialogTest : public ::testing::Test {
  protected:
    void SetUp() override {
        EnsureApplication();
        dialog = std::make_unique<MainDialog>(nullptr, &picker, &desktop);
    }

    ScriptedPicker picker;
    RecordingDesktop desktop;
    std::unique_ptr<MainDialog> dialog;
};

TEST_F(MainDialogTest, StartsWithEmptyBoxesModeTwoAndGoDisabled) {
    int boxes = 0;
    for (const ControlLayout& row : MainDialogControls()) {
        if (row.kind == ControlKind::NameBox || row.kind == ControlKind::NumberBox) {
            EXPECT_EQ(dialog->Controls().Text(row.id), "") << row.id;
            ++boxes;
        }
    }
    EXPECT_EQ(boxes, 3 + 14);

    for (int id = control::kModeFirst; id <= control::kModeLast; ++id) {
        EXPECT_EQ(dialog->Controls().IsChecked(id), id == 1004) << id;
    }
    EXPECT_EQ(dialog->Commands().CalibrationMode(), 2);
    EXPECT_FALSE(dialog->Controls().IsEnabled(control::kGo));

    const std::pair<int, const char*> labels[] = {
        {1033, "Ignored"},  {1034, "Required"}, {1035, "Required"}, {1036, "Optional"},
        {1038, "Computed"}, {1040, "Computed"}, {1042, "Computed"},
    };
    for (const auto& [id, word] : labels) EXPECT_EQ(dialog->Controls().Text(id), word) << id;
}

TEST_F(MainDialogTest, TitleAndVersionBoxesKeepTheirCarriageReturns) {
    EXPECT_EQ(dialog->Controls().Text(control::kTitleBox), "IRT Calibration\r");
    const std::string version = dialog->Controls().Text(control::kVersionBox);
    EXPECT_EQ(version.rfind("Version 0.93\r", 0), 0u) << version;
    // Three lines joined by single carriage returns.
    EXPECT_EQ(std::count(version.begin(), version.end(), '\r'), 2);
    EXPECT_EQ(version.find('\n'), std::string::npos);
    // On screen each carriage return is a line break.
    const auto* shown = static_cast<QLabel*>(dialog->Control(control::kVersionBox));
    EXPECT_EQ(shown->text().count(QLatin1Char('\n')), 2);
}

TEST_F(MainDialogTest, EveryControlIsReachedByItsIdentifierAsTheRunAndCommandsNeedIt) {
    std::set<int> ids;
    for (const ControlLayout& row : MainDialogControls()) {
        if (row.id == kUnaddressed) continue;
        EXPECT_TRUE(ids.insert(row.id).second) << "identifier used twice: " << row.id;
        EXPECT_NE(dialog->Control(row.id), nullptr) << row.id;
    }
    EXPECT_EQ(ids.size(), 59u);  // 60 controls, one of them unaddressed

    // The boxes the run reads are number boxes: right-aligned, their text
    // the run's to convert.
    for (const int id :
         {control::kItemCount, control::kResponseStart, control::kExamineeIdStart,
          control::kExamineeIdLength, control::kThetaStart, control::kThetaLength,
          control::kItemIdStart, control::kItemIdLength, control::kAStart, control::kALength,
          control::kBStart, control::kBLength, control::kCStart, control::kCLength}) {
        const auto* box = qobject_cast<QLineEdit*>(dialog->Control(id));
        ASSERT_NE(box, nullptr) << id;
        EXPECT_TRUE(box->alignment() & Qt::AlignRight) << id;
        dialog->Controls().SetText(id, "45");
        EXPECT_EQ(dialog->Controls().Text(id), "45") << id;
    }
    for (int id = control::kModeFirst; id <= control::kModeLast; ++id) {
        EXPECT_NE(qobject_cast<QRadioButton*>(dialog->Control(id)), nullptr) << id;
    }

    // The screen order of the first row differs from the mode order.
    EXPECT_EQ(dialog->Controls().Text(1004), "a,b,c | theta,responses");
    EXPECT_EQ(dialog->Controls().Text(1005), "theta,a,b,c | responses");
    EXPECT_LT(dialog->Control(1005)->x(), dialog->Control(1004)->x());
    // b's length box is 1071 and c's is 1067.
    EXPECT_EQ(dialog->Control(control::kBLength)->y(), dialog->Control(control::kBStart)->y());
    EXPECT_EQ(dialog->Control(control::kCLength)->y(), dialog->Control(control::kCStart)->y());
}

TEST_F(MainDialogTest, TabOrderFollowsCreationOrder) {
    // Walk the focus chain from the first name box and list the controls met.
    std::vector<int> chain;
    QWidget* start = dialog->Control(control::kResponseFile);
    QWidget* widget = start;
    do {
        for (const ControlLayout& row : MainDialogControls()) {
            if (row.id != kUnaddressed && dialog->Control(row.id) == widget)
                chain.push_back(row.id);
        }
        widget = widget->nextInFocusChain();
    } while (widget != start && widget != nullptr);

    auto position = [&](int id) {
        return std::find(chain.begin(), chain.end(), id) - chain.begin();
    };
    EXPECT_LT(position(1061), position(1025));  // the item Browse is created before its frame
    EXPECT_LT(position(1025), position(1083));
    EXPECT_LT(position(1077), position(1078));  // responses start before theta length
    EXPECT_LT(position(1067), position(1110));
    EXPECT_LT(position(1046), position(32651));
    EXPECT_LT(position(32651), position(1047));
    EXPECT_LT(position(1047), position(1043));
}

TEST_F(MainDialogTest, NumberBoxesTakeOnlyDigitsAsTyped) {
    const auto* box = qobject_cast<QLineEdit*>(dialog->Control(control::kItemCount));
    ASSERT_NE(box->validator(), nullptr);
    QString text = QStringLiteral("45");
    int position = 0;
    EXPECT_EQ(box->validator()->validate(text, position), QValidator::Acceptable);
    text = QStringLiteral("4a");
    EXPECT_EQ(box->validator()->validate(text, position), QValidator::Invalid);
    text = QStringLiteral("-1");
    EXPECT_EQ(box->validator()->validate(text, position), QValidator::Invalid);
    // Text placed by the program (a paste, a preset) is kept as it is.
    dialog->Controls().SetText(control::kItemCount, "3.5");
    EXPECT_EQ(dialog->Controls().Text(control::kItemCount), "3.5");
}

TEST(ControlColours, ResolveTheStartUpStepsInOrder) {
    const Rgb yellow = kSurfaceColour;
    const Rgb green = kModeColour;
    const struct {
        int id;
        ControlColours expected;
    } cases[] = {
        {1011, {std::nullopt, yellow}},  // a label
        {1047, {std::nullopt, yellow}},  // "Go"
        {1108, {std::nullopt, yellow}},  // the Response Input frame
        {1028, {std::nullopt, yellow}},
        {1003, {std::nullopt, green}},  // mode buttons win over 1001..1050
        {1010, {std::nullopt, green}},
        {1002, {std::nullopt, green}},                 // the Calibrate frame
        {1055, {std::nullopt, green}},                 // the panel
        {1052, {Rgb{192, 0, 0}, Rgb{255, 255, 223}}},  // title box
        {1051, {Rgb{0, 0, 0}, Rgb{255, 255, 223}}},    // version box
        {1061, {}},                                    // name and number boxes keep the system's
        {1079, {}},
        {1110, {}},   // the response Browse
        {32651, {}},  // Help
        {-1, {}},     // the gray rectangle
    };
    for (const auto& c : cases) EXPECT_EQ(ColoursForControl(c.id), c.expected) << c.id;
}

TEST_F(MainDialogTest, ColoursReachTheWidgets) {
    const QColor yellow(255, 255, 128);
    EXPECT_EQ(dialog->palette().color(QPalette::Window), yellow);
    EXPECT_EQ(dialog->palette().color(QPalette::WindowText), QColor(0, 128, 0));
    EXPECT_EQ(dialog->Control(1003)->palette().color(QPalette::Window), QColor(174, 255, 174));
    EXPECT_TRUE(dialog->Control(1003)->autoFillBackground());
    EXPECT_EQ(dialog->Control(1052)->palette().color(QPalette::WindowText), QColor(192, 0, 0));
    // Dark text on the yellow labels, not the dialog's green.
    EXPECT_EQ(dialog->Control(1011)->palette().color(QPalette::WindowText),
              TextOnFixedBackground());
    // The boxes keep the system's colours.
    EXPECT_EQ(dialog->Control(1061)->palette().color(QPalette::Base),
              QApplication::palette().color(QPalette::Base));
}

TEST_F(MainDialogTest, DisabledControlsShowGreyedText) {
    const QPalette platform = QApplication::palette();
    const QPalette::ColorRole textRoles[] = {QPalette::WindowText, QPalette::Text,
                                             QPalette::ButtonText};
    // Only meaningful where the platform greys disabled text at all.
    ASSERT_NE(platform.color(QPalette::Disabled, QPalette::ButtonText),
              platform.color(QPalette::Active, QPalette::ButtonText));

    // Text drawn on a background the dialog fixes is greyed by the dialog's
    // own grey; the boxes and buttons grey theirs as the platform does.
    std::vector<std::pair<QWidget*, bool>> controls{{dialog.get(), true}};
    for (const ControlLayout& row : MainDialogControls()) {
        if (row.id == kUnaddressed) continue;
        const bool onFixed =
            ColoursForControl(row.id).background && row.kind != ControlKind::PushButton;
        controls.emplace_back(dialog->Control(row.id), onFixed);
    }
    for (const auto& [control, onFixed] : controls) {
        const QPalette palette = control->palette();
        for (QPalette::ColorRole role : textRoles) {
            const QColor greyed = onFixed && role != QPalette::ButtonText
                                      ? DisabledTextOnFixedBackground()
                                      : platform.color(QPalette::Disabled, role);
            EXPECT_EQ(palette.color(QPalette::Disabled, role), greyed)
                << control->objectName().toStdString() << " " << control->metaObject()->className()
                << " role " << role;
            EXPECT_NE(palette.color(QPalette::Disabled, role),
                      palette.color(QPalette::Active, role));
        }
        // The dialog's own colours stay: a disabled control keeps its background.
        EXPECT_EQ(palette.color(QPalette::Disabled, QPalette::Window),
                  palette.color(QPalette::Active, QPalette::Window));
    }

    // "Go" starts disabled: its text is drawn greyed, unlike "Exit".
    const QWidget* go = dialog->Control(control::kGo);
    const QWidget* exit = dialog->Control(control::kExit);
    ASSERT_FALSE(go->isEnabled());
    EXPECT_NE(go->palette().color(QPalette::Current, QPalette::ButtonText),
              exit->palette().color(QPalette::Current, QPalette::ButtonText));
    // The title box keeps its red while enabled.
    EXPECT_EQ(dialog->Control(control::kTitleBox)
                  ->palette()
                  .color(QPalette::Active, QPalette::WindowText),
              QColor(192, 0, 0));
}

// Whether a caption fits its control: wrapped at word breaks where the control
// wraps, and no word wider than the control.
::testing::AssertionResult CaptionShownWhole(const QWidget* control) {
    const QFontMetrics metrics(control->font());
    const QRect box = control->contentsRect();
    QString text;
    QSize needed;
    if (const auto* label = qobject_cast<const QLabel*>(control)) {
        text = label->text();
        const int flags = (label->wordWrap() ? Qt::TextWordWrap : 0) | Qt::AlignLeft | Qt::AlignTop;
        needed = metrics.boundingRect(QRect(0, 0, box.width(), 10000), flags, text).size();
    } else if (const auto* radio = qobject_cast<const QRadioButton*>(control)) {
        text = radio->text();
        // A fresh button: the shown one may keep a size hint of an earlier font.
        QRadioButton fresh(text);
        fresh.setFont(radio->font());
        needed = QSize(fresh.sizeHint().width(), metrics.height());
    } else if (const auto* button = qobject_cast<const QPushButton*>(control)) {
        text = button->text();
        needed = QSize(metrics.horizontalAdvance(text) + 4, metrics.height());
    } else if (const auto* group = qobject_cast<const QGroupBox*>(control)) {
        text = group->title();
        needed = QSize(metrics.horizontalAdvance(text) + 8, metrics.height());
    } else {
        return ::testing::AssertionSuccess();
    }
    if (needed.width() <= box.width() && needed.height() <= box.height()) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure()
           << "\"" << text.toStdString() << "\" needs " << needed.width() << "x" << needed.height()
           << " but has " << box.width() << "x" << box.height();
}

TEST_F(MainDialogTest, EveryCaptionIsShownWhole) {
    for (const ControlLayout& row : MainDialogControls()) {
        if (row.id == kUnaddressed) continue;
        EXPECT_TRUE(CaptionShownWhole(dialog->Control(row.id))) << row.id;
    }
    // The status labels take each of their four words in every mode.
    const int statusLabels[] = {1033, 1034, 1035, 1036, 1038, 1040, 1042};
    for (int id : statusLabels) {
        for (const char* word : {"Required", "Optional", "Computed", "Ignored"}) {
            dialog->Controls().SetText(id, word);
            EXPECT_TRUE(CaptionShownWhole(dialog->Control(id))) << id << " " << word;
        }
    }
}

TEST_F(MainDialogTest, GroupFontGoesToTheFramesOnly) {
    const QFont group = GroupFont();
    for (int id : {1108, 1028, 1044, 1002}) {
        EXPECT_EQ(dialog->Control(id)->font().weight(), QFont::Bold) << id;
        EXPECT_EQ(dialog->Control(id)->font().family(), group.family()) << id;
    }
    EXPECT_EQ(dialog->Control(1011)->font().weight(), QFont::Normal);
    EXPECT_EQ(dialog->Control(1003)->font().family(), DialogFont().family());
}

TEST_F(MainDialogTest, WindowHasItsTitleFixedSizeAndNoMaximiseBox) {
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("TARVO - 3PL & 1PL IRT Calibration"));
    const QSize client = dialog->Units().Size(382, 226);
    EXPECT_EQ(dialog->size(), client);
    EXPECT_EQ(dialog->minimumSize(), client);
    EXPECT_EQ(dialog->maximumSize(), client);
    const Qt::WindowFlags flags = dialog->windowFlags();
    EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(flags & Qt::WindowMinimizeButtonHint);
    EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(dialog->windowIcon().isNull());
}

TEST_F(MainDialogTest, HelpOpensTheDocumentFromTheCurrentFolder) {
    dialog->Commands().MainDialogProc(control::kHelp, 5);  // any notification code
    ASSERT_EQ(desktop.openedDocuments.size(), 1u);
    EXPECT_EQ(desktop.openedDocuments[0], "aboutTARVO.rtf");
    static_cast<QPushButton*>(dialog->Control(control::kHelp))->click();
    EXPECT_EQ(desktop.openedDocuments.size(), 2u);
}

TEST_F(MainDialogTest, ExitAndCloseBoxBothEndTheDialog) {
    dialog->show();
    dialog->Commands().MainDialogProc(control::kExit, 2);  // not a click: ignored
    EXPECT_TRUE(dialog->isVisible());
    static_cast<QPushButton*>(dialog->Control(control::kExit))->click();
    EXPECT_FALSE(dialog->isVisible());

    MainDialog other(nullptr, &picker, &desktop);
    other.show();
    EXPECT_TRUE(other.close());  // what the close box does
    EXPECT_FALSE(other.isVisible());
}

TEST(StartUp, MakesTheProgramFolderCurrent) {
    EnsureApplication();
    test_support::CurrentDirectoryGuard guard;
    QDir::setCurrent(QDir::rootPath());
    MakeProgramFolderCurrent();
    EXPECT_EQ(QDir::currentPath(), QCoreApplication::applicationDirPath());
}

TEST(HelpDocument, IsCopiedBesideTheProgram) {
    const std::string text =
        test_support::ReadFileBytes(std::string(TARVO_SHELL_BINARY_DIR) + "/aboutTARVO.rtf");
    EXPECT_EQ(text.rfind("{\\rtf1", 0), 0u);
    for (const char* topic : {"Required", "Optional", "Computed", "Ignored", "SeqItem", "seetheta",
                              "testdata.dat", "testdata.itm", "-1", "99"}) {
        EXPECT_NE(text.find(topic), std::string::npos) << topic;
    }
}

}  // namespace
}  // namespace tarvo::shell
