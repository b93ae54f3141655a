#pragma once

#include <QDialog>
#include <cstddef>
#include <string>
#include <string_view>

class QLabel;
class QLineEdit;

// "Key..." of the Response Input frame: the answer key typed by the user,
// one character per item (ACDB...) or cells split by commas, for a file
// without a key record. The run takes it as the request's "key" entry, as
// the runner's --key; empty leaves the key to the file.
namespace tarvo::shell {

// What the box under the key says about the text typed, against the item
// count of the dialog (0: not known).
std::string KeyCountText(std::string_view key, std::size_t itemCount);

class KeyDialog final : public QDialog {
  public:
    KeyDialog(const std::string& key, std::size_t itemCount, QWidget* owner);

    std::string Key() const;
    QLineEdit* Edit() const { return edit_; }
    QLabel* Count() const { return count_; }

  private:
    QLineEdit* edit_ = nullptr;
    QLabel* count_ = nullptr;
};

}  // namespace tarvo::shell
