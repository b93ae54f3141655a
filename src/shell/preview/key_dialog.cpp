#include "shell/preview/key_dialog.h"

#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include "input/format/key_file.h"
#include "input/text/number_text.h"

namespace tarvo::shell {

std::string KeyCountText(std::string_view key, std::size_t itemCount) {
    if (TrimBlanks(key).empty()) {
        return "No key typed: the file's key record gives the key, or every response is scored "
               "against 1.";
    }
    const std::optional<std::string> characters = KeyCharacters(key, ',');
    if (!characters) return "A cell holds more than one character: one key character per item.";
    std::string text = std::to_string(characters->size()) + " key characters";
    if (itemCount != 0) {
        text += characters->size() == itemCount
                    ? ", one for each item."
                    : " for " + std::to_string(itemCount) + " items: the run refuses it.";
    }
    return text;
}

KeyDialog::KeyDialog(const std::string& key, std::size_t itemCount, QWidget* owner)
    : QDialog(owner) {
    setWindowTitle(QStringLiteral("Answer key"));
    auto* layout = new QVBoxLayout(this);
    auto* hint = new QLabel(
        QStringLiteral("The correct response to each item, in item order: one character per "
                       "item (ACDB...), or cells split by commas (A,C,D,B,...). It is used "
                       "instead of a key record; leave it empty to keep the file's key."),
        this);
    hint->setWordWrap(true);
    layout->addWidget(hint);
    edit_ = new QLineEdit(QString::fromStdString(key), this);
    edit_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    layout->addWidget(edit_);
    count_ = new QLabel(this);
    count_->setTextFormat(Qt::PlainText);
    layout->addWidget(count_);
    const auto showCount = [this, itemCount] {
        count_->setText(QString::fromStdString(KeyCountText(Key(), itemCount)));
    };
    connect(edit_, &QLineEdit::textChanged, this, showCount);
    showCount();
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    resize(520, sizeHint().height());
}

std::string KeyDialog::Key() const { return edit_->text().toStdString(); }

}  // namespace tarvo::shell
