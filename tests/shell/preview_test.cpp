// The Format choice and the Preview window: their place in the dialog, the
// fields of the current settings over the file's first lines, a drag on the
// ruler and Detect writing the dialog's boxes, on the samples and on files
// laid out otherwise. Nothing of it starts a run.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <memory>

#include "input/front_part.h"
#include "platform/control_ids.h"
#include "request/job_file.h"
#include "shell/desktop/window_fit.h"
#include "shell/form/dialog_layout.h"
#include "shell/main_dialog.h"
#include "shell/preview/column_ruler.h"
#include "shell/preview/format_controls.h"
#include "shell/preview/key_dialog.h"
#include "shell/preview/preview_window.h"
#include "shell_test_support.h"

namespace tarvo::shell {
namespace {

namespace id = control;
using test_support::EnsureApplication;

const std::string kSample = std::string(TARVO_SOURCE_DIR) + "/samples/testdata.dat";

bool Overlap(const DialogRect& p, const DialogRect& q) {
    return p.x < q.x + q.w && q.x < p.x + p.w && p.y < q.y + q.h && q.y < p.y + p.h;
}

class PreviewTest : public ::testing::Test {
  protected:
    void SetUp() override {
        EnsureApplication();
        dialog = std::make_unique<MainDialog>(nullptr, &picker, &desktop);
    }

    // The response file chosen with Browse, as a user would.
    void Choose(const std::string& file) {
        picker.openAnswers.push_back(file);
        dialog->Commands().MainDialogProc(id::kBrowseResponseFile, kClicked);
    }

    std::string Box(int control) { return dialog->Controls().Text(control); }

    // Presses on the ruler above column first (from 0) and releases above last.
    static void Drag(ColumnRuler* ruler, std::size_t first, std::size_t last) {
        const int half = ruler->ColumnWidth() / 2;
        const int y = ruler->height() / 2;
        QTest::mousePress(ruler, Qt::LeftButton, {}, QPoint(ruler->XOfColumn(first) + half, y));
        QTest::mouseMove(ruler, QPoint(ruler->XOfColumn(last) + half, y));
        QTest::mouseRelease(ruler, Qt::LeftButton, {}, QPoint(ruler->XOfColumn(last) + half, y));
    }

    test_support::CurrentDirectoryGuard directory;
    test_support::ScriptedPicker picker;
    test_support::RecordingDesktop desktop;
    std::unique_ptr<MainDialog> dialog;
    QTemporaryDir work;
};

TEST_F(PreviewTest, TheFormatChoiceSitsInTheFreeStripOfTheResponseInputFrame) {
    const FormatControls& format = dialog->FormatChoice();
    const DialogUnits& units = dialog->Units();
    const DialogRect frame{5, 55, 180, 105};
    for (const auto& [widget, place] :
         std::vector<std::pair<QWidget*, DialogRect>>{{format.label, kFormatLabelRect},
                                                      {format.format, kFormatBoxRect},
                                                      {format.preview, kPreviewButtonRect},
                                                      {format.key, kKeyButtonRect}}) {
        EXPECT_EQ(widget->geometry(), units.Rect(place.x, place.y, place.w, place.h));
        EXPECT_TRUE(place.x > frame.x && place.y > frame.y &&
                    place.x + place.w < frame.x + frame.w && place.y + place.h < frame.y + frame.h);
        for (const ControlLayout& row : MainDialogControls()) {
            if (row.id == 1108) continue;  // the frame around them
            EXPECT_FALSE(Overlap(place, {row.x, row.y, row.w, row.h})) << "overlaps " << row.id;
        }
    }
    // The run reads the choice as the Format box's text.
    EXPECT_EQ(Box(id::kResponseFormat), "Fixed columns");
    dialog->Controls().SetText(id::kResponseFormat, "TSV, no header");
    EXPECT_EQ(Box(id::kResponseFormat), "TSV, no header");
    // Preview needs a file name, chosen or typed.
    EXPECT_FALSE(format.preview->isEnabled());
    dialog->Controls().SetText(id::kResponseFile, "typed.dat");
    EXPECT_TRUE(format.preview->isEnabled());
}

TEST_F(PreviewTest, TheSampleShowsItsFieldsAndKeyRecordAndARulerDragSetsAField) {
    Choose(kSample);  // the sample preset fills the boxes
    PreviewWindow preview(dialog->Controls(), dialog.get());
    preview.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&preview));
    EXPECT_EQ(preview.Data().lines.size(), kPreviewLines);
    EXPECT_LE(preview.width(), AvailableArea(&preview).width());  // fits a small screen
    EXPECT_LE(preview.height(), AvailableArea(&preview).height());
    EXPECT_TRUE(preview.Lines()->toPlainText().startsWith(QStringLiteral("KEY  ")));
    EXPECT_EQ(KeyRecordLine(dialog->Controls(), preview.Data()), 0u);
    EXPECT_EQ(FieldSpan(dialog->Controls(), PreviewField::Responses, preview.Data()),
              (ColumnSpan{19, 45}));
    // Three fields on every line, the key record's blanks under theta too.
    const auto selections = preview.Lines()->extraSelections();
    EXPECT_EQ(selections.size(), 3 * 50);
    EXPECT_EQ(selections.back().format.background().color(), FieldColour(PreviewField::Responses));

    preview.FieldChoice()->setCurrentIndex(1);  // theta
    Drag(preview.Ruler(), 10, 17);
    EXPECT_EQ(Box(id::kThetaStart), "11");
    EXPECT_EQ(Box(id::kThetaLength), "8");
    preview.FieldChoice()->setCurrentIndex(2);  // item responses, dragged right to left
    Drag(preview.Ruler(), 43, 19);
    EXPECT_EQ(Box(id::kResponseStart), "20");
    EXPECT_EQ(Box(id::kItemCount), "25");
    EXPECT_FALSE(dialog->Runs().IsRunning());
}

TEST_F(PreviewTest, DetectFillsTheBoxesForFilesLaidOutOtherwise) {
    const std::string fixed = work.filePath(QStringLiteral("other.dat")).toStdString();
    test_support::WriteFileBytes(
        fixed, "1001 0110101  0.25\r\n1002 1110001 -1.50\r\n1003 0 10111  2.00\r\n");
    Choose(fixed);
    PreviewWindow preview(dialog->Controls(), dialog.get());
    preview.Detect();
    EXPECT_EQ(Box(id::kResponseFormat), "Fixed columns");
    EXPECT_EQ(Box(id::kExamineeIdStart), "1");
    EXPECT_EQ(Box(id::kExamineeIdLength), "4");
    EXPECT_EQ(Box(id::kResponseStart), "6");
    EXPECT_EQ(Box(id::kItemCount), "7");
    EXPECT_EQ(Box(id::kThetaStart), "14");
    EXPECT_EQ(Box(id::kThetaLength), "5");
    EXPECT_TRUE(preview.Notes()->text().startsWith(QStringLiteral("Proposed: --format fixed")));

    const std::string csv = work.filePath(QStringLiteral("other.csv")).toStdString();
    test_support::WriteFileBytes(csv, "person,q1,q2,q3\r\nKEY,A,B,C\r\np1,A,B,\r\np2,C,B,A\r\n");
    Choose(csv);
    preview.Detect();
    EXPECT_EQ(Box(id::kResponseFormat), "CSV with header");
    EXPECT_EQ(Box(id::kExamineeIdStart), "1");
    EXPECT_EQ(Box(id::kResponseStart), "2");
    EXPECT_EQ(Box(id::kItemCount), "3");
    EXPECT_EQ(preview.Table()->columnCount(), 4);
    EXPECT_EQ(preview.Table()->rowCount(), 3);
    EXPECT_EQ(preview.Table()->horizontalHeaderItem(1)->text(), QStringLiteral("2: q1"));
    EXPECT_EQ(KeyRecordLine(dialog->Controls(), preview.Data()), 1u);
    EXPECT_EQ(preview.Table()->item(0, 1)->background().color(), KeyRecordColour());
    EXPECT_EQ(preview.Table()->item(1, 0)->background().color(),
              FieldColour(PreviewField::ExamineeId));

    // Selecting table columns sets the chosen field in cells.
    preview.FieldChoice()->setCurrentIndex(2);
    preview.Table()->selectColumn(2);
    EXPECT_EQ(Box(id::kResponseStart), "3");
    EXPECT_EQ(Box(id::kItemCount), "1");
    EXPECT_FALSE(dialog->Runs().IsRunning());
}

// One numbering: the table numbers rows as the file does, as the notes and
// the findings name them (the key row below a header is row 2); with Auto
// the table shows the header, the delimiter and the format the run reads.
TEST_F(PreviewTest, RowsAreNumberedAsInTheFileAndAutoShowsWhatTheRunReads) {
    const std::string csv = work.filePath(QStringLiteral("keyed.csv")).toStdString();
    test_support::WriteFileBytes(csv, "person,q1,q2,q3\r\nKEY,A,B,C\r\np1,A,B,\r\np2,C,B,A\r\n");
    Choose(csv);
    PreviewWindow preview(dialog->Controls(), dialog.get());
    preview.Detect();
    EXPECT_NE(preview.Notes()->text().indexOf(QStringLiteral("key row: row 2")), -1)
        << preview.Notes()->text().toStdString();
    ASSERT_EQ(preview.Table()->rowCount(), 3);
    EXPECT_EQ(preview.Table()->verticalHeaderItem(0)->text(), QStringLiteral("2"));
    EXPECT_EQ(preview.Table()->item(0, 0)->text(), QStringLiteral("KEY"));
    EXPECT_EQ(preview.Table()->verticalHeaderItem(2)->text(), QStringLiteral("4"));

    // No header: the first row is row 1, and the columns have numbers only,
    // as the run reads the file.
    const std::string bare = work.filePath(QStringLiteral("bare.csv")).toStdString();
    test_support::WriteFileBytes(bare, "1,0,1\r\n0,0,1\r\n1,1,1\r\n");
    Choose(bare);
    dialog->Controls().SetText(id::kResponseFormat, "Auto");
    preview.Reload();
    EXPECT_FALSE(preview.Data().header);
    ASSERT_EQ(preview.Table()->rowCount(), 3);
    EXPECT_EQ(preview.Table()->verticalHeaderItem(0)->text(), QStringLiteral("1"));
    EXPECT_EQ(preview.Table()->horizontalHeaderItem(0)->text(), QStringLiteral("1"));

    // Semicolons: Auto and the Format entry split the cells alike.
    const std::string semi = work.filePath(QStringLiteral("semi.csv")).toStdString();
    test_support::WriteFileBytes(semi, "id;th;q1;q2\r\np1;0,5;1;0\r\np2;1,5;0;1\r\n");
    Choose(semi);
    dialog->Controls().SetText(id::kResponseFormat, "Auto");
    preview.Reload();
    EXPECT_EQ(preview.Data().delimiter, ';');
    EXPECT_TRUE(preview.Data().header);
    EXPECT_EQ(preview.Table()->columnCount(), 4);
    EXPECT_EQ(preview.Table()->horizontalHeaderItem(1)->text(), QStringLiteral("2: th"));
    EXPECT_EQ(preview.Table()->item(0, 1)->text(), QStringLiteral("0,5"));
    dialog->Controls().SetText(id::kResponseFormat, "CSV (;) with header");
    preview.Reload();
    EXPECT_EQ(preview.Table()->columnCount(), 4);
    preview.Detect();
    EXPECT_EQ(Box(id::kResponseFormat), "CSV (;) with header");
    EXPECT_NE(preview.Notes()->text().indexOf(QStringLiteral("--delimiter ';'")), -1);

    // A file Auto cannot read a layout from: its lines shown, and why.
    const std::string utf16 = work.filePath(QStringLiteral("utf16.txt")).toStdString();
    test_support::WriteFileBytes(utf16, std::string("\xFF\xFEp\0001\0", 6));
    Choose(utf16);
    dialog->Controls().SetText(id::kResponseFormat, "Auto");
    preview.Reload();
    EXPECT_EQ(preview.Data().lines.size(), 1u);
    EXPECT_EQ(preview.Data().error.rfind("The format could not be detected (Auto): ", 0), 0u)
        << preview.Data().error;
    EXPECT_NE(preview.Notes()->text().indexOf(QStringLiteral("UTF-16")), -1);
}

// The Format box's semicolon entry reaches the request as the runner's
// options, and a job file brings it back into the box.
TEST_F(PreviewTest, TheSemicolonEntryTravelsAsTheDelimiter) {
    dialog->Controls().SetText(id::kResponseFile, "r.csv");
    dialog->Controls().SetText(id::kOutputFile, "out.csv");
    dialog->Controls().SetText(id::kResponseFormat, "CSV (;), no header");
    const request::RequestCheck check = dialog->RequestFor(2);
    ASSERT_TRUE(check.request) << check.message;
    EXPECT_EQ(check.request->format.entries,
              (std::vector<std::pair<std::string, std::string>>{
                  {"format", "csv"}, {"header", "no"}, {"delimiter", ";"}}));
    const std::string job = work.filePath(QStringLiteral("semi.json")).toStdString();
    picker.saveAnswers.push_back(job);
    dialog->SaveSettings();
    ASSERT_TRUE(desktop.messages.empty()) << desktop.messages[0];
    MainDialog fresh(nullptr, &picker, &desktop);
    picker.openAnswers.push_back(job);
    fresh.LoadSettings();
    EXPECT_EQ(fresh.Controls().Text(id::kResponseFormat), "CSV (;), no header");
}

TEST_F(PreviewTest, TheFindingsAreTheRunsForTheSettingsOnScreen) {
    const std::string file = work.filePath(QStringLiteral("letters.dat")).toStdString();
    test_support::WriteFileBytes(file, "P1  ABCA\r\nP1  ABCD\r\nP3  DCBA\r\n");
    Choose(file);
    for (const auto& [control, text] : std::vector<std::pair<int, std::string>>{
             {id::kItemCount, "4"},
             {id::kResponseStart, "5"},
             {id::kExamineeIdStart, "1"},
             {id::kExamineeIdLength, "2"},
             {id::kOutputFile, work.filePath(QStringLiteral("out.csv")).toStdString()}}) {
        dialog->Controls().SetText(control, text);
    }
    const auto request = [this] { return dialog->RequestFor(2); };
    PreviewWindow preview(dialog->Controls(), dialog.get(), request);
    QTRY_VERIFY_WITH_TIMEOUT(!preview.Checking(), 10000);
    const InputCheckPreview run = CheckRequestInputs(*request().request);
    ASSERT_EQ(run.findings.size(), 2u);  // letters without a key, a duplicate ID
    ASSERT_EQ(preview.Findings()->count(), 2);
    for (int k = 0; k < 2; ++k) {
        EXPECT_EQ(preview.Findings()->item(k)->text().toStdString(),
                  "WARNING " + run.findings[static_cast<std::size_t>(k)].message);
    }

    // A typed key answers the first; the findings follow the settings.
    dialog->SetTypedKey("ABCD");
    preview.Reload();
    QTRY_VERIFY_WITH_TIMEOUT(!preview.Checking(), 10000);
    ASSERT_EQ(preview.Findings()->count(), 1);
    EXPECT_TRUE(preview.Findings()->item(0)->text().contains(QStringLiteral("an earlier examinee")))
        << preview.Findings()->item(0)->text().toStdString();
    dialog->Controls().SetText(id::kResponseFile,
                               work.filePath(QStringLiteral("gone.dat")).toStdString());
    preview.Reload();
    QTRY_VERIFY_WITH_TIMEOUT(!preview.Checking(), 10000);
    ASSERT_EQ(preview.Findings()->count(), 1);
    EXPECT_TRUE(preview.Findings()->item(0)->text().contains(QStringLiteral("does not exists")));
    EXPECT_FALSE(dialog->Runs().IsRunning());
}

TEST_F(PreviewTest, ATypedKeyReachesTheRequestAndTravelsInTheJobFile) {
    EXPECT_FALSE(dialog->FormatChoice().key->isChecked());
    dialog->SetTypedKey("   ");  // blanks are no key
    EXPECT_EQ(dialog->TypedKey(), "");
    dialog->SetTypedKey("A,B,C,D");
    EXPECT_TRUE(dialog->FormatChoice().key->isChecked());
    dialog->Controls().SetText(id::kResponseFile, "r.dat");
    dialog->Controls().SetText(id::kOutputFile, "out.csv");
    const request::RequestCheck check = dialog->RequestFor(2);
    ASSERT_TRUE(check.request) << check.message;
    EXPECT_EQ(check.request->format.entries,
              (std::vector<std::pair<std::string, std::string>>{{"key", "A,B,C,D"}}));

    const std::string job = work.filePath(QStringLiteral("job.json")).toStdString();
    picker.saveAnswers.push_back(job);
    dialog->SaveSettings();
    ASSERT_TRUE(desktop.messages.empty()) << desktop.messages[0];
    MainDialog fresh(nullptr, &picker, &desktop);
    picker.openAnswers.push_back(job);
    fresh.LoadSettings();
    EXPECT_EQ(fresh.TypedKey(), "A,B,C,D");
    EXPECT_TRUE(fresh.FormatChoice().key->isChecked());
    EXPECT_EQ(request::JobJson(*fresh.RequestFor(2).request), request::JobJson(*check.request));
}

// "Save settings..." never writes the job over a file the settings name.
TEST_F(PreviewTest, SettingsAreNotSavedOverAFileTheyName) {
    const std::string responses = work.filePath(QStringLiteral("r.dat")).toStdString();
    test_support::WriteFileBytes(responses, "P1      1010\r\n");
    dialog->Controls().SetText(id::kResponseFile, responses);
    dialog->Controls().SetText(id::kOutputFile,
                               work.filePath(QStringLiteral("out.csv")).toStdString());
    picker.saveAnswers.push_back(responses);
    dialog->SaveSettings();
    ASSERT_EQ(desktop.messages.size(), 1u);
    EXPECT_EQ(desktop.messages[0],
              "ERROR Job file " + responses + " cannot be written: it is the response file.");
    EXPECT_EQ(test_support::ReadFileBytes(responses), "P1      1010\r\n");
}

TEST(KeyDialog, SaysWhetherTheKeyFitsTheItemCount) {
    EnsureApplication();
    EXPECT_EQ(KeyCountText("ABCD", 4), "4 key characters, one for each item.");
    EXPECT_EQ(KeyCountText("A,B,C", 4), "3 key characters for 4 items: the run refuses it.");
    EXPECT_EQ(KeyCountText("AB,C", 0),
              "A cell holds more than one character: one key character per item.");
    EXPECT_EQ(KeyCountText("ABC", 0), "3 key characters");
    KeyDialog keyDialog("", 2, nullptr);
    EXPECT_TRUE(keyDialog.Count()->text().startsWith(QStringLiteral("No key typed")));
    QTest::keyClicks(keyDialog.Edit(), QStringLiteral("AB"));
    EXPECT_EQ(keyDialog.Key(), "AB");
    EXPECT_EQ(keyDialog.Count()->text(), QStringLiteral("2 key characters, one for each item."));
}

TEST(PreviewModel, TheRulerNumbersStandAboveTheirColumns) {
    EXPECT_EQ(RulerText(0), "");
    EXPECT_EQ(RulerText(12), "1        10 ");
    EXPECT_EQ(RulerText(21), "1        10        20");
    EXPECT_EQ(RulerText(22), "1        10        20 ");
}

}  // namespace
}  // namespace tarvo::shell
