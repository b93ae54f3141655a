#pragma once

#include <QDialog>
#include <vector>

#include "shell/form/dialog_controls.h"
#include "shell/preview/preview_model.h"

class QComboBox;
class QLabel;
class QPlainTextEdit;
class QStackedWidget;
class QTableWidget;

// The Preview window of the Response Input frame: the response file's first
// lines in a fixed-width font under a column ruler, the fields of the
// dialog's current settings coloured (ID, theta, responses) and the key
// record marked; for a delimited file a table with its columns named.
// Dragging on the ruler (or selecting table columns) sets the chosen field's
// start and length in the dialog; Detect writes a proposed layout into the
// dialog's boxes. Nothing runs from here: the user still presses Go.
namespace tarvo::shell {

class ColumnRuler;

class PreviewWindow final : public QDialog {
  public:
    PreviewWindow(DialogControls& controls, QWidget* owner);

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

  private:
    void ShowLines();
    void ShowTable();

    DialogControls& controls_;
    PreviewData data_;
    QPlainTextEdit* lines_ = nullptr;
    ColumnRuler* ruler_ = nullptr;
    QTableWidget* table_ = nullptr;
    QStackedWidget* views_ = nullptr;
    QLabel* hint_ = nullptr;
    QComboBox* field_ = nullptr;
    QLabel* notes_ = nullptr;
    bool showing_ = false;  // the table is being filled: its selection is no user's
};

// The colours of the fields, the key record's responses and their legend.
QColor FieldColour(PreviewField field);
QColor KeyRecordColour();

}  // namespace tarvo::shell
