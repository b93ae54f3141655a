#include "shell/options/dif_rows.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <array>

#include "platform/control_ids.h"

namespace tarvo::shell {
namespace {

constexpr std::array<std::pair<char, const char*>, 4> kScreens{
    {{'m', "MH"}, {'s', "STD"}, {'l', "LR"}, {'i', "IRT"}}};

constexpr const char* kIrtToolTip =
    "Likelihood-ratio tests of the groups calibrated together, each item freed across the groups "
    "in turn";

QString Text(const std::string& text) { return QString::fromStdString(text); }

}  // namespace

DifRows::DifRows(const GroupChoices& choices, QWidget* owner) : QObject(owner) {
    const bool chosen[] = {choices.mantelHaenszel, choices.standardization, choices.logistic,
                           choices.irt};
    for (std::size_t k = 0; k < kScreens.size(); ++k) {
        auto* box = new QCheckBox(QString::fromUtf8(kScreens[k].second), owner);
        box->setChecked(chosen[k]);
        boxes_[kScreens[k].first] = box;
        connect(box, &QCheckBox::toggled, this, [this] { Follow(); });
    }
    boxes_.at('m')->setToolTip(QStringLiteral("Mantel-Haenszel"));
    boxes_.at('s')->setToolTip(QStringLiteral("Standardization"));
    boxes_.at('l')->setToolTip(QStringLiteral("Logistic regression"));
    boxes_.at('i')->setToolTip(QString::fromUtf8(kIrtToolTip));

    match_ = new QComboBox(owner);
    match_->addItem(QStringLiteral("matched on the total score"));
    match_->addItem(QStringLiteral("matched on the rest score"));
    match_->setCurrentIndex(choices.restScore ? 1 : 0);

    anchorsLabel_ = new QLabel(QStringLiteral("IRT anchors"), owner);
    anchors_ = new QLineEdit(Text(choices.anchors), owner);
    anchors_->setPlaceholderText(QStringLiteral("every other item"));
    anchors_->setToolTip(
        QStringLiteral("The items (names or numbers, by commas) held equal across the groups "
                       "in both fits of the IRT screen"));

    referenceLabel_ = new QLabel(QStringLiteral("Reference"), owner);
    reference_ = new QLineEdit(Text(choices.reference), owner);
    reference_->setPlaceholderText(QStringLiteral("the first"));
    reference_->setToolTip(
        QStringLiteral("The reference group's label; empty: the first group in the file"));
    reference_->setMaximumWidth(owner->fontMetrics().horizontalAdvance(QLatin1Char('0')) * 10);
    focalLabel_ = new QLabel(QStringLiteral("Focal"), owner);
    focal_ = new QLineEdit(Text(choices.focal), owner);
    focal_->setPlaceholderText(QStringLiteral("every other"));
    focal_->setToolTip(QStringLiteral(
        "The focal groups' labels, by commas, each compared with the reference group; empty: "
        "every other group"));
    Follow();
}

QCheckBox* DifRows::Box(char screen) const {
    const auto found = boxes_.find(screen);
    return found == boxes_.end() ? nullptr : found->second;
}

void DifRows::AddScreens(QHBoxLayout* row) const {
    for (const auto& [screen, caption] : kScreens) row->addWidget(boxes_.at(screen));
    row->addWidget(match_);
}

void DifRows::AddAnchors(QHBoxLayout* row) const {
    row->addWidget(anchorsLabel_);
    row->addWidget(anchors_);
}

void DifRows::AddGroups(QHBoxLayout* row) const {
    row->addWidget(referenceLabel_);
    row->addWidget(reference_);
    row->addWidget(focalLabel_);
    row->addWidget(focal_);
}

void DifRows::SetIrtAvailable(bool available, const QString& why) {
    QCheckBox* irt = boxes_.at('i');
    const QString what = QString::fromUtf8(kIrtToolTip);
    irt->setToolTip(available ? what : what + QStringLiteral(". ") + why);
    if (available == irtAvailable_) return;
    irtAvailable_ = available;
    if (available) {
        irt->setEnabled(true);
        irt->setChecked(irtWanted_);
    } else {
        irtWanted_ = irt->isChecked();
        irt->setChecked(false);
        irt->setEnabled(false);
    }
}

// The matching score is a setting of the counted screens, the anchors of
// the IRT screen: each is enabled with its screens.
void DifRows::Follow() {
    if (match_ == nullptr) return;  // still being built
    match_->setEnabled(boxes_.at('m')->isChecked() || boxes_.at('s')->isChecked() ||
                       boxes_.at('l')->isChecked());
    const bool irt = boxes_.at('i')->isChecked();
    anchors_->setEnabled(irt);
    anchorsLabel_->setEnabled(irt);
}

void DifRows::PutInto(GroupChoices& choices) const {
    choices.mantelHaenszel = boxes_.at('m')->isChecked();
    choices.standardization = boxes_.at('s')->isChecked();
    choices.logistic = boxes_.at('l')->isChecked();
    choices.irt = boxes_.at('i')->isChecked();
    choices.anchors = anchors_->text().toStdString();
    choices.restScore = match_->currentIndex() == 1;
    choices.reference = reference_->text().toStdString();
    choices.focal = focal_->text().toStdString();
}

request::RequestCheck CheckGroupChoices(request::RequestTexts texts) {
    if (texts.groups || texts.dif || texts.referenceGroup || texts.focalGroups)
        texts.controls.insert_or_assign(control::kGroupStart, std::string(1, '1'));
    return request::ParseRequest(texts);
}

}  // namespace tarvo::shell
