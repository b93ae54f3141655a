// Whole calibration runs started with "Go": the run works on its own thread
// while the dialog serves it; the viewer launch is recorded, not performed.
#include <gtest/gtest.h>

#include <QApplication>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>

#include "platform/control_ids.h"
#include "shell/main_dialog.h"
#include "shell/progress/progress_window.h"
#include "shell_test_support.h"

namespace tarvo::shell {
namespace {

namespace id = tarvo::control;
using test_support::CrLfLines;
using test_support::ReadFileBytes;

constexpr int kItems = 45;  // the sample layout's item count
constexpr int kPersons = 200;

ProgressWindow* ProgressWindowOnScreen() {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* window = dynamic_cast<ProgressWindow*>(widget)) return window;
    }
    return nullptr;
}

class RunFromDialogTest : public ::testing::Test {
  protected:
    void SetUp() override {
        test_support::EnsureApplication();
        ASSERT_TRUE(folder.isValid());
        dialog = std::make_unique<MainDialog>(nullptr, &picker, &desktop);
        dialog->show();

        // Chosen through Browse, as a user would: the sample name brings the
        // column presets with it.
        responseFile = folder.path().toStdString() + "/testdata.dat";
        test_support::WriteSampleResponses(responseFile, kPersons, kItems, 20240611);
        picker.openAnswers = {responseFile};
        Browse(id::kBrowseResponseFile);
    }

    void TearDown() override {
        if (dialog) {
            ASSERT_TRUE(test_support::WaitUntil([&] { return !dialog->Runs().IsRunning(); }));
        }
    }

    void Browse(int button) { static_cast<QPushButton*>(dialog->Control(button))->click(); }

    void ChooseOutput(const std::string& bareName) {
        outputFile = folder.path().toStdString() + "/" + bareName;
        picker.saveAnswers = {outputFile};
        Browse(id::kBrowseOutputFile);
    }

    void ClickMode(int mode) { static_cast<QRadioButton*>(dialog->Control(1002 + mode))->click(); }

    // Presses "Go" and waits for the run's end.
    std::optional<RunEnd> Go() {
        auto* go = static_cast<QPushButton*>(dialog->Control(id::kGo));
        EXPECT_TRUE(go->isEnabled());
        go->click();
        EXPECT_TRUE(dialog->Runs().IsRunning());
        EXPECT_TRUE(test_support::WaitUntil([&] { return !dialog->Runs().IsRunning(); }));
        return dialog->Runs().LastOutcome();
    }

    std::vector<std::string> ResultLines() const { return CrLfLines(ReadFileBytes(outputFile)); }

    test_support::CurrentDirectoryGuard restoreCurrentDirectory;
    QTemporaryDir folder;
    test_support::ScriptedPicker picker;
    test_support::RecordingDesktop desktop;
    std::unique_ptr<MainDialog> dialog;
    std::string responseFile;
    std::string outputFile;
};

TEST_F(RunFromDialogTest, JointModeThreeWritesItemsAndPersons) {
    ChooseOutput("joint.txt");  // the joint modes write CSV whatever the name
    ClickMode(3);

    int updates = 0;
    bool dialogWasDisabled = true;
    dialog->Runs().SetProgressListener([&](int, const std::string&) {
        ++updates;
        dialogWasDisabled = dialogWasDisabled && !dialog->isEnabled();
    });
    EXPECT_EQ(Go(), RunEnd::Finished);

    ASSERT_EQ(desktop.questions.size(), 1u);
    EXPECT_EQ(desktop.questions[0].first, "Do you want to standardize theta?");
    EXPECT_EQ(desktop.questions[0].second, "Tarvo");
    EXPECT_TRUE(desktop.messages.empty());
    EXPECT_GE(updates, 5);  // at least five passes are announced
    EXPECT_TRUE(dialogWasDisabled);
    EXPECT_TRUE(dialog->isEnabled());
    EXPECT_EQ(ProgressWindowOnScreen(), nullptr);

    const auto lines = ResultLines();
    ASSERT_EQ(lines.size(), static_cast<std::size_t>(1 + kItems + 1 + 1 + kPersons));
    EXPECT_EQ(lines[0], "SeqItem,AccNo, Nobs, a_calib, b_calib,c_calib, seea, seeb, seec");
    EXPECT_EQ(lines[1 + kItems], "");
    EXPECT_EQ(lines[2 + kItems], " SeqID,    ExaminID,Nvalid,   theta, seetheta");
    EXPECT_NE(lines[3 + kItems].find("P0000001"), std::string::npos);
    EXPECT_EQ(desktop.openedDocuments, std::vector<std::string>{outputFile});
}

TEST_F(RunFromDialogTest, ItemsOnlyModeTwoUsesTheGivenAbilities) {
    ChooseOutput("items.csv");
    EXPECT_EQ(dialog->Controls().Text(id::kThetaStart), "12");  // from the sample presets
    EXPECT_EQ(Go(), RunEnd::Finished);

    EXPECT_TRUE(desktop.questions.empty());
    const auto lines = ResultLines();
    ASSERT_EQ(lines.size(), static_cast<std::size_t>(1 + kItems));
    EXPECT_EQ(lines[0], "SeqItem,AccNo, Nobs, a_calib, b_calib, c_calib, seea, seeb, seec");
    EXPECT_EQ(lines[1].rfind("   1, ,  200,", 0), 0u) << lines[1];  // no item file: empty AccNo
    EXPECT_EQ(desktop.openedDocuments, std::vector<std::string>{outputFile});
}

TEST_F(RunFromDialogTest, StopKeepsTheRowsWrittenSoFar) {
    ChooseOutput("stopped.csv");
    dialog->Runs().SetProgressListener([&](int, const std::string& text) {
        // Pressed while item 4 is announced: items 1 to 3 are done.
        if (text == "Item 4 of 45.") {
            ProgressWindow* window = ProgressWindowOnScreen();
            ASSERT_NE(window, nullptr);
            static_cast<QPushButton*>(window->Control(ProgressWindow::kStopButton))->click();
        }
    });
    EXPECT_EQ(Go(), RunEnd::Stopped);

    const auto lines = ResultLines();
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[3].rfind("   3, ", 0), 0u) << lines[3];
    EXPECT_EQ(desktop.openedDocuments.size(), 1u);  // a stopped run is still shown
    EXPECT_TRUE(dialog->isEnabled());
}

TEST_F(RunFromDialogTest, GoDuringARunStartsNothingAndACloseNotConfirmedLetsTheRunGoOn) {
    ChooseOutput("once.csv");
    desktop.yesAnswer = false;  // "Stop it and close?" No
    bool closedDuringRun = true;
    bool secondStartRefused = false;
    dialog->Runs().SetProgressListener([&](int, const std::string& text) {
        if (text != "Item 2 of 45.") return;
        dialog->Commands().MainDialogProc(id::kGo, kClicked);  // ignored: a run is going
        secondStartRefused = !dialog->Runs().Start(RunRequest{});
        closedDuringRun = dialog->close();
    });
    EXPECT_EQ(Go(), RunEnd::Finished);

    EXPECT_TRUE(secondStartRefused);
    EXPECT_FALSE(closedDuringRun);
    ASSERT_EQ(desktop.questions.size(), 1u);
    EXPECT_NE(desktop.questions[0].first.find("Stop it and close"), std::string::npos);
    EXPECT_TRUE(dialog->isVisible());  // the run went on and the dialog stays
    EXPECT_EQ(desktop.openedDocuments.size(), 1u);
    EXPECT_EQ(ResultLines().size(), static_cast<std::size_t>(1 + kItems));
}

TEST_F(RunFromDialogTest, ACloseConfirmedDuringARunStopsItShowsItAndThenCloses) {
    ChooseOutput("closed.csv");
    bool closedDuringRun = true;
    dialog->Runs().SetProgressListener([&](int, const std::string& text) {
        if (text == "Item 4 of 45.") closedDuringRun = dialog->close();
    });
    EXPECT_EQ(Go(), RunEnd::Stopped);

    EXPECT_FALSE(closedDuringRun);
    EXPECT_EQ(desktop.questions.size(), 1u);
    EXPECT_EQ(ResultLines().size(), 4u);            // items 1 to 3
    EXPECT_EQ(desktop.openedDocuments.size(), 1u);  // the stopped run is shown
    EXPECT_FALSE(dialog->isVisible());              // and then the dialog ends
}

TEST_F(RunFromDialogTest, MissingResponseFileIsReportedAndNothingIsWritten) {
    ChooseOutput("never.csv");
    dialog->Controls().SetText(id::kResponseFile, responseFile + ".missing");
    EXPECT_EQ(Go(), RunEnd::EndedAtCheck);

    EXPECT_EQ(desktop.messages, std::vector<std::string>{"ERROR Response file " + responseFile +
                                                         ".missing does not exists."});
    EXPECT_TRUE(desktop.openedDocuments.empty());
    EXPECT_TRUE(ReadFileBytes(outputFile).empty());
    EXPECT_TRUE(dialog->isEnabled());
}

// A CSV file run with the Format left at fixed columns: before the run goes
// on, one box shows the input check's serious findings; Cancel (its default)
// ends the run at the check without a result, "Run anyway" runs.
TEST_F(RunFromDialogTest, SeriousFindingsAreAskedAboutBeforeTheRun) {
    std::string csv = "id,theta";
    for (int i = 1; i <= kItems; ++i) csv += ",i" + std::to_string(i);
    csv += "\r\n";
    for (int j = 1; j <= 20; ++j) {
        csv += "P" + std::to_string(1000 + j) + ",0.5";
        for (int i = 1; i <= kItems; ++i) csv += (i + j) % 3 == 0 ? ",0" : ",1";
        csv += "\r\n";
    }
    test_support::WriteFileBytes(responseFile, csv);
    ChooseOutput("cancelled.csv");
    desktop.runAnyway = false;
    EXPECT_EQ(Go(), RunEnd::EndedAtCheck);
    ASSERT_EQ(desktop.runAnywayQuestions.size(), 1u);
    EXPECT_NE(desktop.runAnywayQuestions[0].find("every record holds ',' (comma) 46 times"),
              std::string::npos)
        << desktop.runAnywayQuestions[0];
    EXPECT_TRUE(desktop.messages.empty()) << desktop.messages[0];
    EXPECT_TRUE(desktop.openedDocuments.empty());
    EXPECT_TRUE(ReadFileBytes(outputFile).empty());
    EXPECT_TRUE(dialog->isEnabled());

    desktop.runAnyway = true;
    EXPECT_EQ(Go(), RunEnd::Finished);
    EXPECT_EQ(desktop.runAnywayQuestions.size(), 2u);
    EXPECT_FALSE(ReadFileBytes(outputFile).empty());

    // The sample asks nothing.
    test_support::WriteSampleResponses(responseFile, kPersons, kItems, 20240611);
    EXPECT_EQ(Go(), RunEnd::Finished);
    EXPECT_EQ(desktop.runAnywayQuestions.size(), 2u);
}

}  // namespace
}  // namespace tarvo::shell
