#include "shell/form/method_controls.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QPalette>
#include <QPushButton>

#include "shell/form/caption_fit.h"
#include "shell/form/dialog_units.h"

namespace tarvo::shell {
namespace {

QRect Place(const DialogUnits& units, DialogRect rect) {
    return units.Rect(rect.x, rect.y, rect.w, rect.h);
}

// The system's colours, as the dialog's other labels, buttons and boxes
// have, on the dialog's surface where the control shows it. Every role is
// set explicitly: one left unset would be inherited from the dialog's
// green-on-yellow palette.
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

}  // namespace

MethodControls BuildMethodControls(QWidget* dialog, const DialogUnits& units) {
    MethodControls controls;
    controls.label = new QLabel(QStringLiteral("Method"), dialog);
    controls.label->setTextFormat(Qt::PlainText);
    controls.label->setGeometry(Place(units, kMethodLabelRect));

    controls.method = new QComboBox(dialog);
    for (const char* entry : kMethodEntries) controls.method->addItem(QString::fromUtf8(entry));
    controls.method->setCurrentIndex(0);
    controls.method->setGeometry(Place(units, kMethodBoxRect));
    controls.method->setToolTip(QStringLiteral(
        "Classic: joint maximum likelihood of the chosen mode. Marginal: items by marginal "
        "maximum likelihood (EM) over an ability distribution, then scores of every examinee."));

    controls.options = new QPushButton(QStringLiteral("Options..."), dialog);
    controls.options->setAutoDefault(false);
    controls.options->setGeometry(Place(units, kMethodOptionsRect));
    controls.options->setEnabled(false);

    controls.saveSettings = new QPushButton(QStringLiteral("Save settings..."), dialog);
    controls.saveSettings->setAutoDefault(false);
    controls.saveSettings->setGeometry(Place(units, kSaveSettingsRect));
    controls.saveSettings->setToolTip(
        QStringLiteral("Write every setting of the dialog to a job file, which tarvo-run "
                       "--job runs and Load settings reads back."));
    controls.loadSettings = new QPushButton(QStringLiteral("Load settings..."), dialog);
    controls.loadSettings->setAutoDefault(false);
    controls.loadSettings->setGeometry(Place(units, kLoadSettingsRect));

    for (QWidget* control :
         {static_cast<QWidget*>(controls.label), static_cast<QWidget*>(controls.method),
          static_cast<QWidget*>(controls.options), static_cast<QWidget*>(controls.saveSettings),
          static_cast<QWidget*>(controls.loadSettings)}) {
        control->setPalette(PlatformPaletteOnSurface());
        FitCaption(control);
    }
    return controls;
}

}  // namespace tarvo::shell
