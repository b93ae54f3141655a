#include "shell/method_controls.h"

#include <QPushButton>

#include "shell/choice_row.h"

namespace tarvo::shell {

MethodControls BuildMethodControls(QWidget* dialog, const DialogUnits& units) {
    const ChoiceRow row = BuildChoiceRow(
        dialog, units,
        {"Method", kMethodLabelRect, kMethodEntries, kMethodBoxRect,
         "Classic: joint maximum likelihood of the chosen mode. Marginal: items by marginal "
         "maximum likelihood (EM) over an ability distribution, then scores of every examinee.",
         "Options...", kMethodOptionsRect});
    row.button->setEnabled(false);
    return {row.label, row.choice, row.button};
}

}  // namespace tarvo::shell
