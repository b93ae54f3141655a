#pragma once

#include <QDialog>

#include "shell/options/dif_rows.h"
#include "shell/options/estimator_choice.h"

class QLabel;

// The main dialog's "Differential item functioning" dialog: the DIF screens
// of the Group field's groups, with either method. It shows the same
// settings as the marginal options dialog's DIF rows (the estimator's one
// GroupChoices); OK checks them with the request parser, keeping the dialog
// open with the parser's message while they are refused.
namespace tarvo::shell {

class DifDialog final : public QDialog {
  public:
    // estimator: the method and options a run would use, which decide
    // whether the IRT screen is offered; mode: the calibration mode.
    DifDialog(const EstimatorChoice& estimator, int mode, QWidget* owner = nullptr);

    // The estimator's group choices with the dialog's settings.
    GroupChoices Choices() const;
    const DifRows& Rows() const { return *rows_; }
    // The message of the last refused OK; empty when none was refused.
    QString Refusal() const;

    void accept() override;

  private:
    EstimatorChoice estimator_;
    int mode_;
    DifRows* rows_ = nullptr;
    QLabel* refusal_ = nullptr;
};

// Whether a run with this estimator may ask for the IRT screen: the
// marginal method with the groups calibrated together.
bool OffersIrtScreen(const EstimatorChoice& estimator);

}  // namespace tarvo::shell
