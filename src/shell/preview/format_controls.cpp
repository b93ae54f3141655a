#include "shell/preview/format_controls.h"

#include <QPushButton>

#include "input/layout_detection.h"
#include "shell/form/choice_row.h"

namespace tarvo::shell {

FormatControls BuildFormatControls(QWidget* dialog, const DialogUnits& units) {
    const ChoiceRow row = BuildChoiceRow(
        dialog, units,
        {"Format", kFormatLabelRect, kFormatEntries, kFormatBoxRect,
         "Fixed columns: the boxes give character columns. CSV and TSV: one row per examinee; "
         "the start boxes give cell numbers (Examinee ID, theta, first item) and the item "
         "responses length the number of item columns (empty: to the last).",
         "Preview...", kPreviewButtonRect});
    row.button->setEnabled(false);
    return {row.label, row.choice, row.button};
}

}  // namespace tarvo::shell
