#pragma once

#include <QObject>
#include <QString>
#include <map>

#include "request/request_parser.h"
#include "shell/options/estimator_choice.h"

class QCheckBox;
class QComboBox;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QWidget;

// The DIF screens' controls, which the marginal options dialog and the main
// dialog's "DIF..." dialog both show over the one GroupChoices: the screens
// (MH, STD, LR, IRT), the matching score, the IRT screen's anchors and the
// reference and focal groups. Each dialog places the rows its own way; the
// controls, their captions and tooltips, which control follows which, and
// the reading back are here.
namespace tarvo::shell {

class DifRows final : public QObject {
  public:
    // The controls are the owner's children, filled from choices.
    DifRows(const GroupChoices& choices, QWidget* owner);

    // 'm' (Mantel-Haenszel), 's' (standardization), 'l' (logistic
    // regression) or 'i' (IRT); nothing for another character.
    QCheckBox* Box(char screen) const;
    // The matching score: total, then rest.
    QComboBox* Match() const { return match_; }
    QLineEdit* Anchors() const { return anchors_; }
    QLineEdit* Reference() const { return reference_; }
    QLineEdit* Focal() const { return focal_; }

    // The screens' boxes and the matching score; the anchors with their
    // label; the reference and focal groups with their labels.
    void AddScreens(QHBoxLayout* row) const;
    void AddAnchors(QHBoxLayout* row) const;
    void AddGroups(QHBoxLayout* row) const;

    // The IRT screen compares fits of the groups calibrated together, which
    // the parser refuses otherwise: without them its box is off and
    // disabled, and why says so in its tooltip. Its check comes back when
    // the screen is available again.
    void SetIrtAvailable(bool available, const QString& why);

    // The controls' settings into choices; what the rows do not show (the
    // items free across the groups) is left as it is.
    void PutInto(GroupChoices& choices) const;

  private:
    void Follow();

    std::map<char, QCheckBox*> boxes_;
    QComboBox* match_ = nullptr;
    QLabel* anchorsLabel_ = nullptr;
    QLineEdit* anchors_ = nullptr;
    QLabel* referenceLabel_ = nullptr;
    QLineEdit* reference_ = nullptr;
    QLabel* focalLabel_ = nullptr;
    QLineEdit* focal_ = nullptr;
    bool irtAvailable_ = true;
    bool irtWanted_ = false;  // the IRT box's check while it is unavailable
};

// The parser's check of texts that hold the group choices: the main
// dialog's group field is stood in for where the choices need one (the
// field itself is checked at "Go").
request::RequestCheck CheckGroupChoices(request::RequestTexts texts);

}  // namespace tarvo::shell
