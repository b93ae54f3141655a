#include "shell/linking/link_form_box.h"

#include <QComboBox>
#include <QGridLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "input/text_rules.h"
#include "shell/files/file_selection.h"

namespace tarvo::shell {
namespace {

constexpr const char* kFieldNames[] = {"Item ID", "a", "b", "c"};
// The entries of the model box; the first follows the file.
constexpr const char* kModelEntries[] = {"From the file", "3PL", "2PL", "1PL"};

FieldSpec FieldFrom(const QLineEdit* start, const QLineEdit* length) {
    return FieldSpec{DialogNumber(start->text().toStdString()),
                     DialogNumber(length->text().toStdString())};
}

}  // namespace

LinkFormBox::LinkFormBox(const QString& title, FilePicker& picker, QWidget* parent)
    : QGroupBox(title, parent), picker_(picker) {
    auto* grid = new QGridLayout(this);
    grid->addWidget(new QLabel(QStringLiteral("Item file:"), this), 0, 0);
    file_ = new QLineEdit(this);
    file_->setToolTip(QStringLiteral("An item parameter file, or a result file of this program"));
    grid->addWidget(file_, 0, 1, 1, 3);
    browse_ = new QPushButton(QStringLiteral("Browse"), this);
    browse_->setAutoDefault(false);
    grid->addWidget(browse_, 0, 4);
    connect(browse_, &QPushButton::clicked, this, [this] { Browse(); });

    grid->addWidget(new QLabel(QStringLiteral("Start column"), this), 1, 1);
    grid->addWidget(new QLabel(QStringLiteral("Length"), this), 1, 2);
    const linking::ItemColumns defaults;
    const FieldSpec fields[] = {defaults.id, defaults.a, defaults.b, defaults.c};
    for (int f = 0; f < 4; ++f) {
        grid->addWidget(new QLabel(QString::fromUtf8(kFieldNames[f]), this), 2 + f, 0);
        for (int half = 0; half < 2; ++half) {
            auto* box = new QLineEdit(
                QString::number(half == 0 ? fields[f].start : fields[f].length), this);
            box->setValidator(new QIntValidator(0, 65535, box));
            box->setAlignment(Qt::AlignRight);
            grid->addWidget(box, 2 + f, 1 + half);
            columns_[f][half] = box;
        }
    }
    grid->addWidget(new QLabel(QStringLiteral("Model"), this), 6, 0);
    model_ = new QComboBox(this);
    for (const char* entry : kModelEntries) model_->addItem(QString::fromUtf8(entry));
    grid->addWidget(model_, 6, 1, 1, 2);
}

std::string LinkFormBox::File() const { return TrimSpaces(file_->text().toStdString()); }

linking::ItemColumns LinkFormBox::Columns() const {
    linking::ItemColumns columns;
    columns.id = FieldFrom(columns_[0][0], columns_[0][1]);
    columns.a = FieldFrom(columns_[1][0], columns_[1][1]);
    columns.b = FieldFrom(columns_[2][0], columns_[2][1]);
    columns.c = FieldFrom(columns_[3][0], columns_[3][1]);
    return columns;
}

std::optional<linking::FormModel> LinkFormBox::Model() const {
    switch (model_->currentIndex()) {
        case 1:
            return linking::FormModel::ThreePL;
        case 2:
            return linking::FormModel::TwoPL;
        case 3:
            return linking::FormModel::OnePL;
        default:
            return std::nullopt;
    }
}

void LinkFormBox::Browse() {
    const PickerArguments arguments = ItemParameterPicker();
    if (const auto chosen = PickOpenFile(picker_, arguments)) {
        file_->setText(QString::fromStdString(*chosen));
    }
}

}  // namespace tarvo::shell
