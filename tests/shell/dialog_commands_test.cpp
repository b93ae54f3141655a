// The mode buttons, their status labels, the calibration mode and the rule
// that enables "Go", driven through the real dialog's buttons and commands.
#include <gtest/gtest.h>

#include <QPushButton>
#include <QRadioButton>
#include <array>

#include "platform/control_ids.h"
#include "shell/form/mode_rules.h"
#include "shell/main_dialog.h"
#include "shell_test_support.h"

namespace tarvo::shell {
namespace {

using test_support::EnsureApplication;

class DialogCommandsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        EnsureApplication();
        dialog = std::make_unique<MainDialog>(nullptr, &picker, &desktop);
    }

    void ClickMode(int mode) { static_cast<QRadioButton*>(dialog->Control(1002 + mode))->click(); }
    void Type(int id, const std::string& text) { dialog->Controls().SetText(id, text); }
    bool GoEnabled() const { return dialog->Controls().IsEnabled(control::kGo); }

    test_support::ScriptedPicker picker;
    test_support::RecordingDesktop desktop;
    std::unique_ptr<MainDialog> dialog;
};

TEST_F(DialogCommandsTest, EachModeButtonWritesItsRowOfStatusWords) {
    using Row = std::array<const char*, 6>;  // examinee ID, theta, item ID, a, b, c
    const std::array<Row, 8> expected{{
        {"Optional", "Computed", "Ignored", "Required", "Required", "Required"},
        {"Ignored", "Required", "Optional", "Computed", "Computed", "Computed"},
        {"Optional", "Computed", "Optional", "Computed", "Computed", "Computed"},
        {"Ignored", "Required", "Optional", "Computed", "Computed", "Required"},
        {"Optional", "Computed", "Optional", "Computed", "Computed", "Required"},
        {"Optional", "Computed", "Optional", "Ignored", "Computed", "Ignored"},
        {"Optional", "Computed", "Optional", "Ignored", "Required", "Ignored"},
        {"Optional", "Required", "Optional", "Ignored", "Computed", "Ignored"},
    }};
    const std::array<int, 6> labels{1033, 1034, 1036, 1038, 1040, 1042};
    // Visit the modes out of order so each row replaces a different one.
    for (int mode : {3, 1, 8, 2, 6, 4, 7, 5}) {
        ClickMode(mode);
        EXPECT_EQ(dialog->Commands().CalibrationMode(), mode);
        for (std::size_t k = 0; k < labels.size(); ++k) {
            EXPECT_EQ(dialog->Controls().Text(labels[k]),
                      expected[static_cast<std::size_t>(mode - 1)][k])
                << "mode " << mode << ", label " << labels[k];
        }
        EXPECT_EQ(dialog->Controls().Text(1035), "Required");  // never changes
    }
}

TEST_F(DialogCommandsTest, ClickingTheCheckedModeAgainReappliesItsLabels) {
    Type(1033, "scribbled");
    ClickMode(2);  // already checked
    EXPECT_EQ(dialog->Controls().Text(1033), "Ignored");
}

TEST(ModeFromCheckedButtons, FirstCheckedWinsAndNoneMeansEight) {
    EXPECT_EQ(ModeFromCheckedButtons({false, false, false, false, false, false, false}), 8);
    EXPECT_EQ(ModeFromCheckedButtons({false, false, false, false, false, false, true}), 7);
    EXPECT_EQ(ModeFromCheckedButtons({true, false, true, false, false, false, false}), 1);
    EXPECT_EQ(ModeFromCheckedButtons({false, true, false, false, false, false, true}), 2);
}

TEST(GoAllowed, NeedsTheNamesOfTheMode) {
    const struct {
        bool noItemFile;
        const char* output;
        const char* response;
        const char* item;
        bool allowed;
    } cases[] = {
        {true, "out.csv", "resp.dat", "", true},
        {true, "out.csv", "", "items.itm", false},
        {true, "", "resp.dat", "items.itm", false},
        {true, "   ", "resp.dat", "", false},  // spaces only count as empty
        {true, "out.csv", "  ", "", false},
        {false, "out.csv", "resp.dat", "", false},
        {false, "out.csv", "resp.dat", "   ", false},
        {false, "out.csv", "resp.dat", " items.itm ", true},
        {false, "\tout", "resp.dat", "items.itm", true},  // only the space is trimmed
    };
    for (const auto& c : cases) {
        EXPECT_EQ(GoAllowed(c.noItemFile, c.output, c.response, c.item), c.allowed)
            << c.noItemFile << " [" << c.output << "] [" << c.response << "] [" << c.item << "]";
    }
}

TEST_F(DialogCommandsTest, ModeTwoNeedsResponseAndOutputNamesOnly) {
    picker.openAnswers = {"/data/resp.dat"};
    Type(control::kOutputFile, "out.csv");
    dialog->Commands().MainDialogProc(control::kBrowseResponseFile, kClicked);
    EXPECT_TRUE(GoEnabled());

    // Modes that read item parameters disable it again without a name.
    for (int mode : {1, 4, 5, 7}) {
        ClickMode(mode);
        EXPECT_FALSE(GoEnabled()) << mode;
    }
    for (int mode : {2, 3, 6, 8}) {
        ClickMode(mode);
        EXPECT_TRUE(GoEnabled()) << mode;
    }
}

TEST_F(DialogCommandsTest, TypingDoesNotReapplyTheRuleButACancelledBrowseDoes) {
    Type(control::kResponseFile, "resp.dat");
    Type(control::kItemParameterFile, "items.itm");
    Type(control::kOutputFile, "out.csv");
    EXPECT_FALSE(GoEnabled());  // typed by hand: the rule has not run

    dialog->Commands().MainDialogProc(control::kBrowseItemFile, kClicked);  // cancelled
    EXPECT_EQ(picker.openRequests.size(), 1u);
    EXPECT_TRUE(GoEnabled());
    EXPECT_EQ(dialog->Controls().Text(control::kItemParameterFile), "items.itm");

    // Emptying a name afterwards leaves "Go" as it was until the rule runs.
    Type(control::kResponseFile, "   ");
    EXPECT_TRUE(GoEnabled());
    dialog->Commands().MainDialogProc(control::kBrowseOutputFile, kClicked);  // cancelled
    EXPECT_FALSE(GoEnabled());
}

TEST_F(DialogCommandsTest, BrowseButtonsActOnClicksAndAcceleratorsOnly) {
    for (int id : {control::kBrowseItemFile, control::kBrowseResponseFile}) {
        const std::size_t before = picker.openRequests.size();
        dialog->Commands().MainDialogProc(id, 5);
        EXPECT_EQ(picker.openRequests.size(), before) << id;
        dialog->Commands().MainDialogProc(id, kAccelerator);
        EXPECT_EQ(picker.openRequests.size(), before + 1) << id;
    }
    dialog->Commands().MainDialogProc(control::kBrowseOutputFile, 5);
    EXPECT_TRUE(picker.saveRequests.empty());
    static_cast<QPushButton*>(dialog->Control(control::kBrowseOutputFile))->click();
    EXPECT_EQ(picker.saveRequests.size(), 1u);
}

TEST_F(DialogCommandsTest, TheRuleReadsTheButtonsNotTheModeLastRead) {
    Type(control::kResponseFile, "resp.dat");
    Type(control::kOutputFile, "out.csv");
    // Check mode 1 without its handler: the mode stays 2, the rule sees mode 1.
    dialog->Controls().SetChecked(1003, true);
    dialog->Commands().UpdateGoButton();
    EXPECT_EQ(dialog->Commands().CalibrationMode(), 2);
    EXPECT_FALSE(GoEnabled());
}

}  // namespace
}  // namespace tarvo::shell
