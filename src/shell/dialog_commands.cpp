#include "shell/dialog_commands.h"

#include <array>

#include "platform/control_ids.h"
#include "shell/form/mode_rules.h"
#include "shell/program_folder.h"

namespace tarvo::shell {
namespace {

namespace id = tarvo::control;

bool IsClickOrAccelerator(int notification) {
    return notification == kClicked || notification == kAccelerator;
}

}  // namespace

DialogCommands::DialogCommands(DialogControls& controls, FilePicker& picker,
                               DesktopServices& desktop, Actions actions)
    : controls_(controls), picker_(picker), desktop_(desktop), actions_(std::move(actions)) {}

void DialogCommands::MainDialogProc(int controlId, int notification) {
    switch (controlId) {
        case id::kGo:
            ReadCalibrationMode();
            if (actions_.startRun) actions_.startRun(calibrationMode_);
            return;
        case id::kBrowseItemFile:
            if (!IsClickOrAccelerator(notification)) return;
            SelectItemParameterFile(controls_, picker_);
            UpdateGoButton();  // chosen or cancelled
            return;
        case id::kBrowseOutputFile:
            if (!IsClickOrAccelerator(notification)) return;
            SelectOutputFile(controls_, picker_);
            UpdateGoButton();
            return;
        case id::kBrowseResponseFile:
            if (!IsClickOrAccelerator(notification)) return;
            SelectResponseFile(controls_, picker_);
            UpdateGoButton();
            return;
        case id::kHelp:
            // Once a response file was chosen elsewhere the current directory
            // is that file's folder; the program's copy is then the one to open.
            // Where it is missing or nothing opens its type, the help shows in
            // the program's own window.
            if (!desktop_.OpenDocumentIfHandled(HelpDocumentToOpen(programFolder_)) &&
                actions_.showHelp) {
                actions_.showHelp();
            }
            return;
        case id::kExit:
            if (IsClickOrAccelerator(notification) && actions_.endDialog) actions_.endDialog();
            return;
        default:
            return;
    }
}

void DialogCommands::ApplyModeLabels() {
    ReadCalibrationMode();
    const auto& words = StatusWordsForMode(calibrationMode_);
    for (std::size_t i = 0; i < kStatusLabelIds.size(); ++i) {
        controls_.SetText(kStatusLabelIds[i], std::string(words[i]));
    }
    UpdateGoButton();
}

void DialogCommands::ReadCalibrationMode() {
    std::array<bool, 7> checked{};
    for (std::size_t k = 0; k < checked.size(); ++k) {
        checked[k] = controls_.IsChecked(id::kModeFirst + static_cast<int>(k));
    }
    calibrationMode_ = ModeFromCheckedButtons(checked);
}

void DialogCommands::UpdateGoButton() {
    // The rule looks at the buttons themselves, not at the mode last read.
    bool needsNoItemFile = false;
    for (int button : kButtonsWithoutItemFile) needsNoItemFile |= controls_.IsChecked(button);
    const bool allowed =
        GoAllowed(needsNoItemFile, controls_.Text(id::kOutputFile),
                  controls_.Text(id::kResponseFile), controls_.Text(id::kItemParameterFile));
    controls_.SetEnabled(id::kGo, allowed);
}

}  // namespace tarvo::shell
