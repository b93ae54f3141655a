// The dialog's Group field: its place in the Response Input frame, the
// request it gives, its colour in the Preview, and a job file that carries
// the groups from one dialog to another.
#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QValidator>
#include <memory>

#include "platform/control_ids.h"
#include "shell/form/dialog_layout.h"
#include "shell/form/group_controls.h"
#include "shell/form/method_controls.h"
#include "shell/main_dialog.h"
#include "shell/preview/format_controls.h"
#include "shell/preview/preview_window.h"
#include "shell_test_support.h"

namespace tarvo::shell {
namespace {

namespace id = control;
using test_support::EnsureApplication;

const std::string kPublic = std::string(TARVO_SOURCE_DIR) + "/tests/data/polytomous/spi.dat";

bool Overlap(const DialogRect& p, const DialogRect& q) {
    return p.x < q.x + q.w && q.x < p.x + p.w && p.y < q.y + q.h && q.y < p.y + p.h;
}

class GroupFieldTest : public ::testing::Test {
  protected:
    void SetUp() override {
        EnsureApplication();
        dialog = std::make_unique<MainDialog>(nullptr, &picker, &desktop);
    }

    // The public file's layout: ID 1-8, the group in 10, 135 items from 20.
    void SetPublicLayout(MainDialog& into, const std::string& group) {
        const std::pair<int, std::string> texts[] = {
            {id::kResponseFile, kPublic}, {id::kOutputFile, work.filePath("o.csv").toStdString()},
            {id::kExamineeIdStart, "1"},  {id::kExamineeIdLength, "8"},
            {id::kResponseStart, "20"},   {id::kItemCount, "135"},
            {id::kGroupStart, group},     {id::kGroupLength, group.empty() ? "" : "1"}};
        for (const auto& [control, text] : texts) into.Controls().SetText(control, text);
    }

    test_support::ScriptedPicker picker;
    test_support::RecordingDesktop desktop;
    std::unique_ptr<MainDialog> dialog;
    QTemporaryDir work;
};

TEST_F(GroupFieldTest, SitsInTheResponseInputFrameBesideNoOtherControl) {
    const GroupControls& group = dialog->GroupField();
    const DialogUnits& units = dialog->Units();
    const DialogRect frame{5, 55, 180, 105};
    const std::vector<std::pair<QWidget*, DialogRect>> placed = {{group.label, kGroupLabelRect},
                                                                 {group.start, kGroupStartRect},
                                                                 {group.length, kGroupLengthRect},
                                                                 {group.dif, kDifButtonRect}};
    const DialogRect added[] = {kFormatLabelRect,   kFormatBoxRect,    kKeyButtonRect,
                                kPreviewButtonRect, kMethodLabelRect,  kMethodBoxRect,
                                kMethodOptionsRect, kSaveSettingsRect, kLoadSettingsRect};
    for (const auto& [widget, place] : placed) {
        EXPECT_EQ(widget->geometry(), units.Rect(place.x, place.y, place.w, place.h));
        EXPECT_TRUE(place.x > frame.x && place.y > frame.y &&
                    place.x + place.w < frame.x + frame.w && place.y + place.h < frame.y + frame.h);
        for (const ControlLayout& row : MainDialogControls()) {
            if (row.id == 1108) continue;  // the frame around it
            EXPECT_FALSE(Overlap(place, {row.x, row.y, row.w, row.h})) << "overlaps " << row.id;
        }
        for (const DialogRect& other : added) EXPECT_FALSE(Overlap(place, other));
    }
    // The boxes are reached by their identifiers and take digits only.
    EXPECT_EQ(dialog->Control(id::kGroupStart), group.start);
    EXPECT_EQ(dialog->Control(id::kGroupLength), group.length);
    ASSERT_NE(group.start->validator(), nullptr);
    QString typed = QStringLiteral("1x");
    int at = 0;
    EXPECT_EQ(group.start->validator()->validate(typed, at), QValidator::Invalid);
}

TEST_F(GroupFieldTest, GivesTheRequestItsGroupFieldOrRefusesAnOverlap) {
    SetPublicLayout(*dialog, "");
    request::RequestCheck check = dialog->RequestFor(1);
    ASSERT_TRUE(check.request) << check.message;
    EXPECT_FALSE(check.request->groups.present());

    SetPublicLayout(*dialog, "10");
    check = dialog->RequestFor(1);
    ASSERT_TRUE(check.request) << check.message;
    EXPECT_EQ(check.request->groups.start, 10);
    EXPECT_EQ(check.request->groups.length, 1);

    SetPublicLayout(*dialog, "8");  // the ID's last column
    check = dialog->RequestFor(1);
    EXPECT_FALSE(check.request);
    EXPECT_NE(check.message.find("overlaps the examinee ID (columns 1-8)"), std::string::npos)
        << check.message;
}

TEST_F(GroupFieldTest, ThePreviewColoursTheGroupField) {
    SetPublicLayout(*dialog, "10");
    PreviewWindow preview(dialog->Controls(), dialog.get());
    EXPECT_EQ(FieldSpan(dialog->Controls(), PreviewField::Group, preview.Data()),
              (ColumnSpan{9, 1}));
    std::size_t grouped = 0;
    for (const auto& selection : preview.Lines()->extraSelections()) {
        if (selection.format.background().color() != FieldColour(PreviewField::Group)) continue;
        ++grouped;
        EXPECT_EQ(selection.cursor.selectedText().size(), 1);
    }
    EXPECT_EQ(grouped, kPreviewLines);  // on every line, a blank group too
    // An empty length box is one column, as the run reads it.
    dialog->Controls().SetText(id::kGroupLength, "");
    EXPECT_EQ(FieldSpan(dialog->Controls(), PreviewField::Group, preview.Data()),
              (ColumnSpan{9, 1}));
}

TEST_F(GroupFieldTest, AJobFileCarriesTheGroupsToAnotherDialog) {
    SetPublicLayout(*dialog, "10");
    const std::string job = work.filePath("job.json").toStdString();
    picker.saveAnswers.push_back(job);
    dialog->SaveSettings();
    ASSERT_TRUE(desktop.messages.empty()) << desktop.messages[0];

    MainDialog fresh(nullptr, &picker, &desktop);
    picker.openAnswers.push_back(job);
    fresh.LoadSettings();
    ASSERT_TRUE(desktop.messages.empty()) << desktop.messages[0];
    EXPECT_EQ(fresh.Controls().Text(id::kGroupStart), "10");
    EXPECT_EQ(fresh.Controls().Text(id::kGroupLength), "1");

    // A runner's job with a group column and the groups to compare: the
    // dialog keeps what it has no box for and runs it again the same.
    const std::string csv = work.filePath("csv.json").toStdString();
    test_support::WriteFileBytes(
        csv,
        "{\"tarvo_job\": 1, \"options\": {\"mode\": \"1\", \"response-file\": \"r.csv\", "
        "\"output-file\": \"o.csv\", \"group-column\": \"sex\", \"reference-group\": \"F\", "
        "\"focal-groups\": \"M\"}, \"format\": {\"format\": \"csv\"}}");
    picker.openAnswers.push_back(csv);
    fresh.LoadSettings();
    ASSERT_TRUE(desktop.messages.empty()) << desktop.messages[0];
    const request::RequestCheck check = fresh.RequestFor(1);
    ASSERT_TRUE(check.request) << check.message;
    EXPECT_EQ(check.request->groups.column, "sex");
    EXPECT_EQ(check.request->groups.reference, "F");
    EXPECT_EQ(check.request->groups.focal, std::vector<std::string>{"M"});
}

}  // namespace
}  // namespace tarvo::shell
