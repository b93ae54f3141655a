#include "shell/options/refusal_footer.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QVBoxLayout>

namespace tarvo::shell {

QLabel* AddRefusalFooter(QDialog& dialog, QVBoxLayout& column) {
    auto* refusal = new QLabel(&dialog);
    refusal->setWordWrap(true);
    refusal->setStyleSheet(QStringLiteral("color: #b00000"));
    refusal->hide();
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    column.addWidget(refusal);
    column.addWidget(buttons);
    return refusal;
}

}  // namespace tarvo::shell
