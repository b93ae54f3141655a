#include "shell/form/group_controls.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>

#include "input/text/number_text.h"
#include "shell/desktop/fixed_colours.h"
#include "shell/form/caption_fit.h"
#include "shell/form/choice_row.h"
#include "shell/form/dialog_units.h"

namespace tarvo::shell {
namespace {

constexpr const char* kToolTip =
    "The examinees' group (for comparisons of groups): its start column and length; in a csv "
    "or tsv file the start is the group's column number. A blank field is an unknown group. "
    "The classic modes calibrate no groups; the DIF screens (DIF..., or --dif in a job file) "
    "compare them after any run.";

QLineEdit* NumberBox(QWidget* dialog, const DialogUnits& units, DialogRect rect) {
    auto* box = new QLineEdit(dialog);
    box->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    // Digits only as typed, as the dialog's other number boxes.
    box->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), box));
    box->setGeometry(units.Rect(rect.x, rect.y, rect.w, rect.h));
    box->setPalette(PlatformPaletteOnSurface());
    box->setToolTip(QString::fromUtf8(kToolTip));
    return box;
}

}  // namespace

GroupControls BuildGroupControls(QWidget* dialog, const DialogUnits& units) {
    GroupControls controls;
    controls.label = new QLabel(QStringLiteral("Group"), dialog);
    controls.label->setGeometry(
        units.Rect(kGroupLabelRect.x, kGroupLabelRect.y, kGroupLabelRect.w, kGroupLabelRect.h));
    // Drawn on the surface itself: dark text, as the dialog's own labels.
    QPalette palette = PlatformPaletteOnSurface();
    SetTextOnFixedBackground(palette);
    controls.label->setPalette(palette);
    controls.label->setToolTip(QString::fromUtf8(kToolTip));
    FitCaption(controls.label);
    controls.start = NumberBox(dialog, units, kGroupStartRect);
    controls.length = NumberBox(dialog, units, kGroupLengthRect);
    controls.dif = new QPushButton(QStringLiteral("DIF..."), dialog);
    controls.dif->setAutoDefault(false);
    controls.dif->setGeometry(
        units.Rect(kDifButtonRect.x, kDifButtonRect.y, kDifButtonRect.w, kDifButtonRect.h));
    controls.dif->setPalette(PlatformPaletteOnSurface());
    FitCaption(controls.dif);
    FollowGroupField(controls, false);
    return controls;
}

bool GroupFieldGiven(std::string_view start, std::string_view column) {
    start = TrimBlanks(start);
    return (!start.empty() && start != "0") || !TrimBlanks(column).empty();
}

void FollowGroupField(const GroupControls& controls, bool given) {
    controls.dif->setEnabled(given);
    controls.dif->setToolTip(
        given ? QStringLiteral("Differential item functioning: the DIF screens of the groups "
                               "(MH, STD, LR, IRT), their matching score and the reference and "
                               "focal groups")
              : QStringLiteral("Differential item functioning compares the examinees' groups: "
                               "give the Group field first (its start column; in a csv or tsv "
                               "file the group's column number)"));
}

}  // namespace tarvo::shell
