#include "shell/preview/format_controls.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>

#include "input/layout_detection.h"
#include "shell/caption_fit.h"
#include "shell/dialog_units.h"
#include "shell/method_controls.h"

namespace tarvo::shell {

namespace {

QRect Place(const DialogUnits& units, DialogRect rect) {
    return units.Rect(rect.x, rect.y, rect.w, rect.h);
}

}  // namespace

FormatControls BuildFormatControls(QWidget* dialog, const DialogUnits& units) {
    FormatControls controls;
    controls.label = new QLabel(QStringLiteral("Format"), dialog);
    controls.label->setTextFormat(Qt::PlainText);
    controls.label->setGeometry(Place(units, kFormatLabelRect));

    controls.format = new QComboBox(dialog);
    for (const char* entry : kFormatEntries) controls.format->addItem(QString::fromUtf8(entry));
    controls.format->setCurrentIndex(0);
    controls.format->setGeometry(Place(units, kFormatBoxRect));
    controls.format->setToolTip(QStringLiteral(
        "Fixed columns: the boxes give character columns. CSV and TSV: one row per examinee; "
        "the start boxes give cell numbers (Examinee ID, theta, first item) and the item "
        "responses length the number of item columns (empty: to the last)."));

    controls.preview = new QPushButton(QStringLiteral("Preview..."), dialog);
    controls.preview->setAutoDefault(false);
    controls.preview->setGeometry(Place(units, kPreviewButtonRect));
    controls.preview->setEnabled(false);

    for (QWidget* control :
         {static_cast<QWidget*>(controls.label), static_cast<QWidget*>(controls.format),
          static_cast<QWidget*>(controls.preview)}) {
        control->setPalette(PlatformPaletteOnSurface());
        FitCaption(control);
    }
    return controls;
}

}  // namespace tarvo::shell
