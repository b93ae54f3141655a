#pragma once

#include <QGroupBox>
#include <optional>

#include "linking/form_reader.h"

class QComboBox;
class QLineEdit;
class QPushButton;

// One form of the Link window: its file (an item parameter file or a
// result file), the columns of an item parameter file (the samples' layout
// at start) and its model.
namespace tarvo::shell {

class FilePicker;

class LinkFormBox final : public QGroupBox {
  public:
    LinkFormBox(const QString& title, FilePicker& picker, QWidget* parent = nullptr);

    QLineEdit* FileBox() const { return file_; }
    QPushButton* BrowseButton() const { return browse_; }
    QComboBox* ModelBox() const { return model_; }
    // The column boxes in the order item ID, a, b, c: start, then length.
    QLineEdit* ColumnBox(int field, bool length) const { return columns_[field][length ? 1 : 0]; }

    std::string File() const;
    linking::ItemColumns Columns() const;
    // Empty: as the file says (a result file's own model, otherwise 3PL).
    std::optional<linking::FormModel> Model() const;

  private:
    void Browse();

    FilePicker& picker_;
    QLineEdit* file_;
    QPushButton* browse_;
    QComboBox* model_;
    QLineEdit* columns_[4][2];
};

}  // namespace tarvo::shell
