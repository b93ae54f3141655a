#pragma once

#include <QDialog>
#include <map>

#include "request/request_parser.h"
#include "shell/options/dif_rows.h"
#include "shell/options/estimator_choice.h"

class QCheckBox;
class QComboBox;
class QGridLayout;
class QLabel;
class QLineEdit;

// The marginal estimator's options: model, the models of a test with items
// scored in more than two categories and their priors, priors, quadrature,
// scoring, the items' standard errors, held items (or every item held, scoring only), the
// population, the EM limits and the groups of the group field (calibrated together, DIF
// screens, the reference and focal groups); every option the runner's --method mml takes. The
// options of polytomous items are enabled only with such items. OK keeps the dialog open while a
// text is refused (by the request parser, with the runner's message), with the message shown and
// the field focused.
namespace tarvo::shell {

class MarginalOptionsDialog final : public QDialog {
  public:
    // mode: the dialog's calibration mode, which names the model that
    // "As the mode" stands for.
    MarginalOptionsDialog(const MarginalOptionsForm& form, int mode, QWidget* owner = nullptr);

    MarginalOptionsForm Form() const;
    // The message of the last refused OK; empty when none was refused.
    QString Refusal() const;

    QLineEdit* Field(request::RequestField field) const;
    QComboBox* ModelBox() const { return model_; }
    // The model of items with more than two categories (its first entry:
    // none, every item right/wrong), that of the right/wrong items beside
    // them, and the merging of unused middle categories.
    QComboBox* PolytomousBox() const { return polytomous_; }
    QComboBox* BinaryModelBox() const { return binaryModel_; }
    QCheckBox* CollapseEmptyBox() const { return collapseEmpty_; }
    // The polytomous items' priors, 'a' (on the slope) or 'b' (on the
    // thresholds); their numbers are Field(PolytomousPriorAMean) and so on.
    QCheckBox* PolytomousPriorBox(char parameter) const;
    QComboBox* ScoringBox() const { return scoring_; }
    QComboBox* PriorChoiceBox(char parameter) const;  // 'a', 'b', 'c' or 'u'
    // In the order of StandardErrorMethod.
    QComboBox* StandardErrorsBox() const { return standardErrors_; }
    QCheckBox* FixItemsBox() const { return fixItems_; }
    QCheckBox* ScoringOnlyBox() const { return scoringOnly_; }
    QCheckBox* PopulationBox() const { return population_; }
    QCheckBox* GroupsTogetherBox() const { return groupsTogether_; }
    // 'm' (Mantel-Haenszel), 's' (standardization), 'l' (logistic
    // regression) or 'i' (IRT, enabled while the groups are calibrated
    // together); the matching score's box: total, then rest.
    QCheckBox* DifBox(char screen) const;
    QComboBox* DifMatchBox() const;
    QLineEdit* ReferenceGroupField() const;
    QLineEdit* FocalGroupsField() const;
    QLineEdit* FreeItemsField() const { return freeItems_; }
    QCheckBox* FreeDifBox() const { return freeDif_; }
    QLineEdit* AnchorsField() const;

    void accept() override;

  private:
    void AddPrior(QGridLayout* grid, int row, char parameter, const QString& caption,
                  const PriorEntry& entry, request::RequestField first,
                  request::RequestField second);
    QLineEdit* AddField(request::RequestField field, const std::string& text);
    int AddPolytomousRows(QGridLayout* grid, int row, const MarginalOptionsForm& form);
    void AddPolytomousPrior(QGridLayout* grid, int row, char parameter, const QString& caption,
                            const SwitchedPrior& entry, request::RequestField mean,
                            request::RequestField sd);
    int AddGroupRows(QGridLayout* grid, int row, const GroupChoices& choices);
    void FollowChoices();
    bool AnyPolytomousItems() const;

    int mode_;
    QComboBox* model_ = nullptr;
    QComboBox* polytomous_ = nullptr;
    QComboBox* binaryModel_ = nullptr;
    QCheckBox* collapseEmpty_ = nullptr;
    QComboBox* scoring_ = nullptr;
    QComboBox* standardErrors_ = nullptr;
    QCheckBox* fixItems_ = nullptr;
    QCheckBox* scoringOnly_ = nullptr;
    QCheckBox* population_ = nullptr;
    QCheckBox* groupsTogether_ = nullptr;
    DifRows* dif_ = nullptr;  // the screens and the groups to compare
    QLineEdit* freeItems_ = nullptr;
    QCheckBox* freeDif_ = nullptr;
    std::map<char, QComboBox*> priorChoices_;
    std::map<char, QCheckBox*> polytomousPriors_;
    std::map<request::RequestField, QLineEdit*> fields_;
    QLabel* refusal_ = nullptr;
};

// The marginal settings the form stands for in a mode, or the parser's
// refusal: what OK checks. The group field is the main dialog's, so the
// form's group options are checked here over a stand-in field; the field
// itself is checked at "Go".
request::RequestCheck CheckMarginalForm(const MarginalOptionsForm& form, int mode);

}  // namespace tarvo::shell
