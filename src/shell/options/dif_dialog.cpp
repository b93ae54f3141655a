#include "shell/options/dif_dialog.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include "shell/options/refusal_footer.h"

namespace tarvo::shell {

bool OffersIrtScreen(const EstimatorChoice& estimator) {
    return estimator.Method() == EstimatorMethod::Marginal && estimator.Options().groupsTogether;
}

DifDialog::DifDialog(const EstimatorChoice& estimator, int mode, QWidget* owner)
    : QDialog(owner), estimator_(estimator), mode_(mode) {
    setWindowTitle(QStringLiteral("Differential item functioning"));
    auto* note = new QLabel(
        QStringLiteral("Screens of each focal group against the reference group, over the "
                       "Group field's groups, after the run; the results window shows them in "
                       "its DIF tab."),
        this);
    note->setWordWrap(true);

    rows_ = new DifRows(estimator.Options().groups, this);
    rows_->SetIrtAvailable(
        OffersIrtScreen(estimator),
        QStringLiteral("It needs the marginal method (Method) with \"Calibrate the groups "
                       "together\" checked in its Options..."));
    auto* screens = new QHBoxLayout;
    rows_->AddScreens(screens);
    screens->addStretch();
    auto* anchors = new QHBoxLayout;
    rows_->AddAnchors(anchors);
    auto* groups = new QHBoxLayout;
    rows_->AddGroups(groups);

    auto* column = new QVBoxLayout(this);
    column->addWidget(note);
    column->addLayout(screens);
    column->addLayout(anchors);
    column->addLayout(groups);
    refusal_ = AddRefusalFooter(*this, *column);
}

GroupChoices DifDialog::Choices() const {
    GroupChoices choices = estimator_.Options().groups;
    rows_->PutInto(choices);
    return choices;
}

QString DifDialog::Refusal() const { return refusal_->text(); }

void DifDialog::accept() {
    // The run's own texts with these choices, as "Go" would give them.
    EstimatorChoice edited = estimator_;
    MarginalOptionsForm options = edited.Options();
    options.groups = Choices();
    edited.SetOptions(std::move(options));
    request::RequestTexts texts;
    texts.mode = std::to_string(mode_);
    edited.PutInto(texts);
    const request::RequestCheck check = CheckGroupChoices(std::move(texts));
    if (!check.request) {
        refusal_->setText(QString::fromStdString(check.message));
        refusal_->show();
        if (check.field == request::RequestField::Groups) {
            rows_->Focal()->setFocus();  // a reference group among the focal ones
        } else {
            rows_->Box('m')->setFocus();
        }
        return;
    }
    refusal_->clear();
    refusal_->hide();
    QDialog::accept();
}

}  // namespace tarvo::shell
