// The main dialog's "DIF..." button and its dialog: the button follows the
// group field; the screens set there reach the run's request and job file
// and show in the options dialog, which edits the same settings; a job's
// screens show in the dialog and OK keeps them; the IRT screen is offered
// only where the run can refit the groups calibrated together.
#include "shell/options/dif_dialog.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <functional>
#include <memory>

#include "platform/control_ids.h"
#include "sample_layout.h"
#include "shell/main_dialog.h"
#include "shell/options/marginal_options_dialog.h"
#include "shell_test_support.h"

namespace tarvo::shell {
namespace {

namespace id = control;

// Clicks "DIF..." and lets answer set its dialog while it is up; a dialog
// the answer left open is cancelled. Returns whether the dialog opened (a
// disabled button opens none).
bool AnswerDifDialog(MainDialog& dialog, const std::function<void(DifDialog&)>& answer) {
    QPushButton* button = dialog.GroupField().dif;
    if (!button->isEnabled()) return false;
    bool opened = false;
    QTimer::singleShot(0, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (auto* dif = dynamic_cast<DifDialog*>(modal)) {
            opened = true;
            answer(*dif);
        }
        if (auto* other = qobject_cast<QDialog*>(modal); other != nullptr && other->isVisible())
            other->reject();
    });
    button->click();
    return opened;
}

bool Contains(const QString& text, const char* part) {
    return text.contains(QString::fromUtf8(part));
}

class DifButtonTest : public ::testing::Test {
  protected:
    void SetUp() override {
        test_support::EnsureApplication();
        ASSERT_TRUE(folder.isValid());
        dialog = std::make_unique<MainDialog>(nullptr, &picker, &desktop);
    }

    std::string Path(const std::string& name) const {
        return folder.filePath(QString::fromStdString(name)).toStdString();
    }

    // The sample layout with the group in column 10.
    void FillBoxes(MainDialog& into) {
        auto texts = sim::SampleControlTexts(40, Path("r.dat"), "", Path("out.csv"));
        texts[id::kGroupStart] = "10";
        texts[id::kGroupLength] = "1";
        for (const auto& [control, text] : texts) into.Controls().SetText(control, text);
    }

    std::string SavedJob(MainDialog& from, const std::string& name) {
        picker.saveAnswers.push_back(Path(name));
        from.SaveSettings();
        EXPECT_TRUE(desktop.messages.empty()) << desktop.messages[0];
        return test_support::ReadFileBytes(Path(name));
    }

    void Load(MainDialog& into, const std::string& name) {
        picker.openAnswers.push_back(Path(name));
        into.LoadSettings();
        ASSERT_TRUE(desktop.messages.empty()) << desktop.messages[0];
    }

    QTemporaryDir folder;
    test_support::ScriptedPicker picker;
    test_support::RecordingDesktop desktop;
    std::unique_ptr<MainDialog> dialog;
};

TEST_F(DifButtonTest, IsEnabledWhileTheRunReadsAGroupField) {
    QPushButton* button = dialog->GroupField().dif;
    EXPECT_FALSE(button->isEnabled());
    EXPECT_TRUE(Contains(button->toolTip(), "give the Group field first"))
        << button->toolTip().toStdString();
    ControlRegistry& boxes = dialog->Controls();
    boxes.SetText(id::kGroupStart, "10");
    EXPECT_TRUE(button->isEnabled());
    EXPECT_TRUE(Contains(button->toolTip(), "MH, STD, LR, IRT")) << button->toolTip().toStdString();
    // An empty length is one column, as the run reads it.
    boxes.SetText(id::kGroupLength, "");
    EXPECT_TRUE(button->isEnabled());
    // Start 0 is a field not read; a length alone is refused.
    boxes.SetText(id::kGroupStart, " 0 ");
    EXPECT_FALSE(button->isEnabled());
    boxes.SetText(id::kGroupStart, "");
    boxes.SetText(id::kGroupLength, "2");
    EXPECT_FALSE(button->isEnabled());

    // A csv job's group column, which has no box, is a group field; a job
    // without one takes it away again.
    test_support::WriteFileBytes(
        Path("csv.json"),
        "{\"tarvo_job\": 1, \"options\": {\"mode\": \"1\", \"response-file\": \"r.csv\", "
        "\"output-file\": \"o.csv\", \"group-column\": \"sex\"}, \"format\": {\"format\": "
        "\"csv\"}}");
    Load(*dialog, "csv.json");
    EXPECT_EQ(boxes.Text(id::kGroupStart), "");
    EXPECT_TRUE(button->isEnabled());
    test_support::WriteFileBytes(
        Path("plain.json"),
        "{\"tarvo_job\": 1, \"options\": {\"mode\": \"1\", \"response-file\": \"r.csv\", "
        "\"output-file\": \"o.csv\"}, \"format\": {\"format\": \"csv\"}}");
    Load(*dialog, "plain.json");
    EXPECT_FALSE(button->isEnabled());
}

TEST_F(DifButtonTest, ItsScreensReachTheRunAndTheJobFileAndShowInTheOptionsDialog) {
    FillBoxes(*dialog);
    // A classic run: every screen but IRT, which says why it is not offered.
    ASSERT_TRUE(AnswerDifDialog(*dialog, [](DifDialog& dif) {
        const DifRows& rows = dif.Rows();
        EXPECT_EQ(dif.windowTitle(), QStringLiteral("Differential item functioning"));
        EXPECT_FALSE(rows.Box('i')->isEnabled());
        EXPECT_TRUE(Contains(rows.Box('i')->toolTip(), "needs the marginal method"))
            << rows.Box('i')->toolTip().toStdString();
        EXPECT_FALSE(rows.Match()->isEnabled());
        rows.Box('m')->setChecked(true);
        rows.Box('s')->setChecked(true);
        EXPECT_TRUE(rows.Match()->isEnabled());
        rows.Match()->setCurrentIndex(1);
        rows.Reference()->setText(QStringLiteral("F"));
        rows.Focal()->setText(QStringLiteral("M"));
        dif.accept();
        EXPECT_EQ(dif.result(), QDialog::Accepted) << dif.Refusal().toStdString();
    }));
    const request::RequestCheck check = dialog->RequestFor(3);
    ASSERT_TRUE(check.request) << check.message;
    const DifRequest& screens = check.request->dif;
    EXPECT_TRUE(screens.mantelHaenszel && screens.standardization && screens.restScore);
    EXPECT_FALSE(screens.logistic || screens.irt);
    EXPECT_EQ(check.request->groups.reference, "F");
    EXPECT_EQ(check.request->groups.focal, std::vector<std::string>{"M"});
    const std::string job = SavedJob(*dialog, "classic.json");
    for (const char* words : {"\"dif\": \"mh,std\"", "\"dif-match\": \"rest\"",
                              "\"reference-group\": \"F\"", "\"focal-groups\": \"M\""}) {
        EXPECT_NE(job.find(words), std::string::npos) << words << " in " << job;
    }

    // The options dialog shows the same settings, and what it sets shows in
    // the DIF dialog: the groups calibrated together bring the IRT screen.
    dialog->MethodChoice().method->setCurrentIndex(1);
    bool shown = false;
    QTimer::singleShot(0, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        auto* options = dynamic_cast<MarginalOptionsDialog*>(modal);
        if (options == nullptr) {
            if (auto* other = qobject_cast<QDialog*>(modal)) other->reject();
            return;
        }
        shown = options->DifBox('m')->isChecked() && options->DifBox('s')->isChecked() &&
                !options->DifBox('l')->isChecked() && options->DifMatchBox()->currentIndex() == 1 &&
                options->ReferenceGroupField()->text() == QStringLiteral("F") &&
                options->FocalGroupsField()->text() == QStringLiteral("M");
        EXPECT_FALSE(options->DifBox('i')->isEnabled());
        options->GroupsTogetherBox()->setChecked(true);
        options->DifBox('i')->setChecked(true);
        options->AnchorsField()->setText(QStringLiteral("1,2"));
        options->accept();
    });
    dialog->MethodChoice().options->click();
    EXPECT_TRUE(shown);
    ASSERT_TRUE(dialog->Estimator().Options().groups.irt);
    ASSERT_TRUE(AnswerDifDialog(*dialog, [](DifDialog& dif) {
        const DifRows& rows = dif.Rows();
        EXPECT_TRUE(rows.Box('i')->isEnabled());
        EXPECT_TRUE(rows.Box('i')->isChecked());
        EXPECT_TRUE(rows.Anchors()->isEnabled());
        EXPECT_EQ(rows.Anchors()->text(), QStringLiteral("1,2"));
        // Cancel leaves every setting as it was.
        rows.Box('m')->setChecked(false);
        rows.Box('i')->setChecked(false);
        dif.reject();
    }));
    const GroupChoices& kept = dialog->Estimator().Options().groups;
    EXPECT_TRUE(kept.mantelHaenszel && kept.irt);
    const request::RequestCheck marginal = dialog->RequestFor(3);
    ASSERT_TRUE(marginal.request) << marginal.message;
    EXPECT_TRUE(marginal.request->dif.irt);
    EXPECT_EQ(marginal.request->dif.anchors, (std::vector<std::string>{"1", "2"}));
}

TEST_F(DifButtonTest, AJobsScreensShowInTheDialogAndOkKeepsThem) {
    FillBoxes(*dialog);
    dialog->MethodChoice().method->setCurrentIndex(1);
    MarginalOptionsForm form = DefaultMarginalOptions();
    form.groupsTogether = true;
    form.groups = {.mantelHaenszel = true,
                   .standardization = true,
                   .logistic = true,
                   .irt = true,
                   .anchors = "1,2",
                   .restScore = true,
                   .freeItems = "3",
                   .freeDif = true,
                   .reference = "F",
                   .focal = "M,X"};
    dialog->Estimator().SetOptions(form);
    const std::string job = SavedJob(*dialog, "job.json");

    MainDialog fresh(nullptr, &picker, &desktop);
    Load(fresh, "job.json");
    ASSERT_TRUE(AnswerDifDialog(fresh, [](DifDialog& dif) {
        const DifRows& rows = dif.Rows();
        for (const char screen : {'m', 's', 'l', 'i'}) {
            EXPECT_TRUE(rows.Box(screen)->isChecked()) << screen;
            EXPECT_TRUE(rows.Box(screen)->isEnabled()) << screen;
        }
        EXPECT_EQ(rows.Match()->currentIndex(), 1);
        EXPECT_EQ(rows.Anchors()->text(), QStringLiteral("1,2"));
        EXPECT_EQ(rows.Reference()->text(), QStringLiteral("F"));
        EXPECT_EQ(rows.Focal()->text(), QStringLiteral("M,X"));
        dif.accept();
        EXPECT_EQ(dif.result(), QDialog::Accepted) << dif.Refusal().toStdString();
    }));
    // The items free across the groups are not the DIF dialog's, and stay.
    EXPECT_EQ(SavedJob(fresh, "again.json"), job);

    // The classic method calibrates no groups: it leaves out the items free
    // across them, but the kept IRT screen would refuse the run, so the
    // dialog shows it off and OK drops it (with its anchors); the counted
    // screens stay.
    fresh.MethodChoice().method->setCurrentIndex(0);
    const request::RequestCheck refused = fresh.RequestFor(3);
    ASSERT_FALSE(refused.request);
    EXPECT_NE(refused.message.find("--dif irt"), std::string::npos) << refused.message;
    ASSERT_TRUE(AnswerDifDialog(fresh, [](DifDialog& dif) {
        EXPECT_FALSE(dif.Rows().Box('i')->isChecked());
        EXPECT_FALSE(dif.Rows().Box('i')->isEnabled());
        EXPECT_FALSE(dif.Rows().Anchors()->isEnabled());
        dif.accept();
        EXPECT_EQ(dif.result(), QDialog::Accepted) << dif.Refusal().toStdString();
    }));
    const request::RequestCheck classic = fresh.RequestFor(3);
    ASSERT_TRUE(classic.request) << classic.message;
    EXPECT_TRUE(classic.request->dif.mantelHaenszel && classic.request->dif.logistic);
    EXPECT_FALSE(classic.request->dif.irt);
    EXPECT_TRUE(classic.request->dif.anchors.empty());
}

// What the runner refuses keeps the dialog open with its message.
TEST(DifDialog, ShowsTheRunnersRefusalAndStaysOpen) {
    test_support::EnsureApplication();
    DifDialog dif(EstimatorChoice(), 3);
    dif.Rows().Box('l')->setChecked(true);
    dif.Rows().Reference()->setText(QStringLiteral("F"));
    dif.Rows().Focal()->setText(QStringLiteral("M, F"));
    dif.accept();
    EXPECT_NE(dif.result(), QDialog::Accepted);
    EXPECT_TRUE(Contains(dif.Refusal(), "also among the focal groups"))
        << dif.Refusal().toStdString();
}

}  // namespace
}  // namespace tarvo::shell
