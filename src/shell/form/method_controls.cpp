#include "shell/form/method_controls.h"

#include <QPushButton>

#include "shell/form/caption_fit.h"
#include "shell/form/choice_row.h"
#include "shell/form/dialog_units.h"

namespace tarvo::shell {

MethodControls BuildMethodControls(QWidget* dialog, const DialogUnits& units) {
    const ChoiceRow row = BuildChoiceRow(
        dialog, units,
        {"Method", kMethodLabelRect, kMethodEntries, kMethodBoxRect,
         "Classic: joint maximum likelihood of the chosen mode. Marginal: items by marginal "
         "maximum likelihood (EM) over an ability distribution, then scores of every examinee.",
         "Options...", kMethodOptionsRect});
    row.button->setEnabled(false);
    MethodControls controls;
    controls.label = row.label;
    controls.method = row.choice;
    controls.options = row.button;

    controls.saveSettings = new QPushButton(QStringLiteral("Save settings..."), dialog);
    controls.saveSettings->setAutoDefault(false);
    controls.saveSettings->setGeometry(units.Rect(kSaveSettingsRect.x, kSaveSettingsRect.y,
                                                  kSaveSettingsRect.w, kSaveSettingsRect.h));
    controls.saveSettings->setToolTip(
        QStringLiteral("Write every setting of the dialog to a job file, which tarvo-run "
                       "--job runs and Load settings reads back."));
    controls.loadSettings = new QPushButton(QStringLiteral("Load settings..."), dialog);
    controls.loadSettings->setAutoDefault(false);
    controls.loadSettings->setGeometry(units.Rect(kLoadSettingsRect.x, kLoadSettingsRect.y,
                                                  kLoadSettingsRect.w, kLoadSettingsRect.h));
    for (QPushButton* button : {controls.saveSettings, controls.loadSettings}) {
        button->setPalette(PlatformPaletteOnSurface());
        FitCaption(button);
    }
    return controls;
}

}  // namespace tarvo::shell
