#pragma once

#include <QDialog>
#include <map>

#include "shell/options/estimator_choice.h"

class QCheckBox;
class QComboBox;
class QGridLayout;
class QLabel;
class QLineEdit;

// The marginal estimator's options: model, priors, quadrature, scoring,
// fixed items and the EM limits. OK keeps the dialog open while a number is
// refused, with the message shown and the field focused.
namespace tarvo::shell {

class MarginalOptionsDialog final : public QDialog {
  public:
    // mode: the dialog's calibration mode, which names the model that
    // "As the mode" stands for.
    MarginalOptionsDialog(const MarginalOptionsForm& form, int mode, QWidget* owner = nullptr);

    MarginalOptionsForm Form() const;
    // The message of the last refused OK; empty when none was refused.
    QString Refusal() const;

    QLineEdit* Field(OptionField field) const;
    QComboBox* ModelBox() const { return model_; }
    QComboBox* ScoringBox() const { return scoring_; }
    QCheckBox* PriorSwitch(char parameter) const;  // 'a', 'b' or 'c'
    QCheckBox* FixItemsBox() const { return fixItems_; }

    void accept() override;

  private:
    void AddPrior(QGridLayout* grid, int row, char parameter, const QString& caption,
                  const PriorEntry& entry, OptionField first, OptionField second);
    QLineEdit* AddField(OptionField field, const std::string& text);

    int mode_;
    QComboBox* model_ = nullptr;
    QComboBox* scoring_ = nullptr;
    QCheckBox* fixItems_ = nullptr;
    std::map<char, QCheckBox*> priorSwitches_;
    std::map<OptionField, QLineEdit*> fields_;
    QLabel* refusal_ = nullptr;
};

}  // namespace tarvo::shell
