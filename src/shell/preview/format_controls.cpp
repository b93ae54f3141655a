#include "shell/preview/format_controls.h"

#include <QPushButton>

#include "input/format/layout_detection.h"
#include "shell/form/caption_fit.h"
#include "shell/form/choice_row.h"
#include "shell/form/dialog_units.h"

namespace tarvo::shell {

FormatControls BuildFormatControls(QWidget* dialog, const DialogUnits& units) {
    const ChoiceRow row = BuildChoiceRow(
        dialog, units,
        {"Format", kFormatLabelRect, kFormatEntries, kFormatBoxRect,
         "Fixed columns: the boxes give character columns. CSV and TSV: one row per examinee, "
         "cells split by commas, by semicolons (;), by bars (|) or by tabs; "
         "the start boxes give cell numbers (Examinee ID, theta, first item) and the item "
         "responses length the number of item columns (empty: to the last).",
         "Preview...", kPreviewButtonRect});
    row.button->setEnabled(false);
    auto* key = new QPushButton(QStringLiteral("Key..."), dialog);
    key->setAutoDefault(false);
    key->setCheckable(true);
    key->setGeometry(
        units.Rect(kKeyButtonRect.x, kKeyButtonRect.y, kKeyButtonRect.w, kKeyButtonRect.h));
    key->setPalette(PlatformPaletteOnSurface());
    key->setToolTip(QStringLiteral("Type the answer key when the file has no key record"));
    FitCaption(key);
    return {row.label, row.choice, row.button, key};
}

}  // namespace tarvo::shell
