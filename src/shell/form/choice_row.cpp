#include "shell/form/choice_row.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QPalette>
#include <QPushButton>

#include "shell/desktop/fixed_colours.h"
#include "shell/form/caption_fit.h"
#include "shell/form/dialog_units.h"

namespace tarvo::shell {
namespace {

QRect Place(const DialogUnits& units, DialogRect rect) {
    return units.Rect(rect.x, rect.y, rect.w, rect.h);
}

}  // namespace

// Every role is set explicitly: one left unset would be inherited from the
// dialog's green-on-yellow palette.
QPalette PlatformPaletteOnSurface() {
    const QPalette platform = QApplication::palette();
    QPalette palette = platform;
    const QColor surface(kSurfaceColour.r, kSurfaceColour.g, kSurfaceColour.b);
    for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        for (auto role : {QPalette::WindowText, QPalette::Base, QPalette::Text, QPalette::Button,
                          QPalette::ButtonText}) {
            palette.setColor(group, role, platform.color(group, role));
        }
        palette.setColor(group, QPalette::Window, surface);
    }
    return palette;
}

ChoiceRow BuildChoiceRow(QWidget* dialog, const DialogUnits& units, const ChoiceRowLayout& layout) {
    ChoiceRow row;
    row.label = new QLabel(QString::fromUtf8(layout.label), dialog);
    row.label->setTextFormat(Qt::PlainText);
    row.label->setGeometry(Place(units, layout.labelRect));

    row.choice = new QComboBox(dialog);
    for (const char* entry : layout.entries) row.choice->addItem(QString::fromUtf8(entry));
    row.choice->setCurrentIndex(0);
    row.choice->setGeometry(Place(units, layout.choiceRect));
    row.choice->setToolTip(QString::fromUtf8(layout.toolTip));

    row.button = new QPushButton(QString::fromUtf8(layout.button), dialog);
    row.button->setAutoDefault(false);
    row.button->setGeometry(Place(units, layout.buttonRect));

    for (QWidget* control : {static_cast<QWidget*>(row.label), static_cast<QWidget*>(row.choice),
                             static_cast<QWidget*>(row.button)}) {
        control->setPalette(PlatformPaletteOnSurface());
        FitCaption(control);
    }
    // The label is drawn on the surface itself: dark text, as the dialog's own.
    QPalette labelPalette = PlatformPaletteOnSurface();
    SetTextOnFixedBackground(labelPalette);
    row.label->setPalette(labelPalette);
    return row;
}

}  // namespace tarvo::shell
