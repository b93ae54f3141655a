#pragma once

#include <QDialog>
#include <functional>
#include <vector>

#include "request/request_parser.h"
#include "shell/form/dialog_controls.h"
#include "shell/preview/preview_model.h"

class QComboBox;
class QLabel;
class QListWidget;
class QPlainTextEdit;
class QStackedWidget;
class QTableWidget;

// The Preview window of the Response Input frame: the response file's first
// lines in a fixed-width font under a column ruler, the fields of the
// dialog's current settings coloured (ID, theta, responses) and the key
// record marked; for a delimited file a table with its columns named.
// Dragging on the ruler (or selecting table columns) sets the chosen field's
// start and length in the dialog; Detect writes a proposed layout into the
// dialog's boxes. Below, the input check's findings for the file and the
// settings on screen, as the run would give them, found on a thread of
// their own (the check reads the whole file). Nothing runs from here: the
// user still presses Go.
namespace tarvo::shell {

class ColumnRuler;

class PreviewWindow final : public QDialog {
  public:
    // request: the run the dialog's settings ask for, whose inputs the
    // findings are of; without it no findings are shown.
    using RequestSource = std::function<request::RequestCheck()>;
    PreviewWindow(DialogControls& controls, QWidget* owner, RequestSource request = {});

    // Reads the file named in the dialog again and shows it by the current settings.
    void Reload();
    // What a drag over the ruler does: the field chosen beside it gets the columns.
    void MarkColumns(ColumnSpan span);
    // The Detect button.
    void Detect();

    const PreviewData& Data() const { return data_; }
    QPlainTextEdit* Lines() const { return lines_; }
    QTableWidget* Table() const { return table_; }
    ColumnRuler* Ruler() const { return ruler_; }
    QComboBox* FieldChoice() const { return field_; }
    QLabel* Notes() const { return notes_; }
    // One line per finding ("WARNING ..."), or a line that says there is none
    // or why none could be found; "Checking the inputs ..." while the check runs.
    QListWidget* Findings() const { return findings_; }
    bool Checking() const { return checking_ != 0; }

  private:
    void ShowLines();
    void ShowTable();
    void CheckInputs();

    DialogControls& controls_;
    PreviewData data_;
    QPlainTextEdit* lines_ = nullptr;
    ColumnRuler* ruler_ = nullptr;
    QTableWidget* table_ = nullptr;
    QStackedWidget* views_ = nullptr;
    QLabel* hint_ = nullptr;
    QComboBox* field_ = nullptr;
    QLabel* notes_ = nullptr;
    QListWidget* findings_ = nullptr;
    RequestSource request_;
    unsigned checks_ = 0;    // checks started; a result of an earlier one is not shown
    unsigned checking_ = 0;  // the check whose result is awaited, 0: none
    bool showing_ = false;   // the table is being filled: its selection is no user's
};

// The colours of the fields, the key record's responses and their legend.
QColor FieldColour(PreviewField field);
QColor KeyRecordColour();

}  // namespace tarvo::shell
