#pragma once

#include <functional>
#include <string>

#include "shell/desktop/desktop_services.h"
#include "shell/files/file_selection.h"
#include "shell/form/dialog_controls.h"

// What the main dialog does with its commands: Go, the three Browse buttons,
// Help and Exit, the mode buttons' status labels, the calibration mode and
// the rule that enables "Go". It works on the controls by identifier only.
namespace tarvo::shell {

inline constexpr int kClicked = 0;      // notification code of a click
inline constexpr int kAccelerator = 1;  // notification code of an accelerator

inline constexpr const char* kHelpDocument = "aboutTARVO.rtf";

class DialogCommands {
  public:
    struct Actions {
        std::function<void(int mode)> startRun;  // "Go", with the mode just read
        std::function<void()> endDialog;         // "Exit"
        std::function<void()> showHelp;          // "Help" where the document cannot open
    };

    DialogCommands(DialogControls& controls, FilePicker& picker, DesktopServices& desktop,
                   Actions actions);

    // The dialog's command handler: control identifier and notification code.
    void MainDialogProc(int controlId, int notification);
    // The mode buttons' handler: reads the mode, writes its status labels,
    // re-applies the "Go" rule.
    void ApplyModeLabels();
    // Sets the calibration mode from the checked mode button.
    void ReadCalibrationMode();
    // Enables "Go" when the file names the checked mode needs are filled in.
    void UpdateGoButton();

    int CalibrationMode() const { return calibrationMode_; }

    // The folder whose help document "Help" falls back on when the current
    // directory has none; empty: no fall-back.
    void SetProgramFolder(std::string folder) { programFolder_ = std::move(folder); }
    const std::string& ProgramFolder() const { return programFolder_; }

  private:
    DialogControls& controls_;
    FilePicker& picker_;
    DesktopServices& desktop_;
    Actions actions_;
    int calibrationMode_ = 2;
    std::string programFolder_;
};

}  // namespace tarvo::shell
