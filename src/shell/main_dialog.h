#pragma once

#include <QButtonGroup>
#include <QPointer>
#include <QWidget>
#include <functional>
#include <memory>

#include "request/request_parser.h"
#include "shell/desktop/desktop_services.h"
#include "shell/desktop/results_viewer.h"
#include "shell/dialog_commands.h"
#include "shell/files/file_selection.h"
#include "shell/form/control_registry.h"
#include "shell/form/dialog_units.h"
#include "shell/form/group_controls.h"
#include "shell/form/method_controls.h"
#include "shell/options/estimator_choice.h"
#include "shell/preview/format_controls.h"
#include "shell/run_controller.h"

class QCloseEvent;
class QPushButton;

// The main dialog: a thin window over the control registry, the commands and
// the run controller. Exit and the close box end it alike; while a run is in
// progress they ask whether to stop it, and the dialog ends once the stopped
// run's results have opened.
namespace tarvo::shell {

class MainDialog final : public QWidget {
  public:
    // Without a picker or desktop the real ones are used; the tests pass
    // their own to answer the pickers and the message boxes.
    // Without a results viewer a run's result goes to the desktop's
    // default application.
    explicit MainDialog(QWidget* owner = nullptr, FilePicker* picker = nullptr,
                        DesktopServices* desktop = nullptr, ResultsViewer* viewer = nullptr);
    ~MainDialog() override;

    ControlRegistry& Controls() { return controls_; }
    DialogCommands& Commands() { return *commands_; }
    RunController& Runs() { return *runs_; }
    QWidget* Control(int id) const { return controls_.Find(id); }
    const DialogUnits& Units() const { return units_; }
    // The estimator "Go" runs: the Method choice and the marginal options.
    EstimatorChoice& Estimator() { return estimator_; }
    const MethodControls& MethodChoice() const { return methodControls_; }
    // "Link..." calls open; without one it stays disabled.
    void SetLinkWindowOpener(std::function<void()> open);
    QPushButton* LinkButton() const { return linkButton_; }
    // The response file's Format choice and its Preview button.
    const FormatControls& FormatChoice() const { return formatControls_; }
    // The Group field and its "DIF..." button.
    const GroupControls& GroupField() const { return groupControls_; }
    // The answer key typed under "Key..." (empty: none); the run takes it
    // as the request's "key" entry.
    const std::string& TypedKey() const { return typedKey_; }
    void SetTypedKey(std::string key);
    // The run the dialog's settings ask for in a mode, or the refusal.
    request::RequestCheck RequestFor(int mode) const;
    // "Save settings..." and "Load settings...": a job file chosen in the
    // picker; a refusal or a failure is shown in a message box.
    void SaveSettings();
    void LoadSettings();
    // The help in the program's own window, raised if already open; the
    // window "Help" shows where the help document cannot be opened.
    void ShowHelpWindow();
    QWidget* HelpWindowShown() const { return helpWindow_; }

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void StartRun(int mode);
    void RunFinished();
    void MethodChanged(int index);
    void EditMarginalOptions();
    // "DIF..." follows the group field; it edits the estimator's group
    // choices, which the options dialog shows too.
    void FollowGroupField();
    void EditDif();
    void ShowPreview();
    void EditKey();

    DialogUnits units_;
    std::unique_ptr<FilePicker> ownPicker_;
    std::unique_ptr<DesktopServices> ownDesktop_;
    ControlRegistry controls_;
    QButtonGroup modeButtons_;
    DesktopServices* desktop_ = nullptr;
    EstimatorChoice estimator_;
    MethodControls methodControls_;
    QPushButton* linkButton_ = nullptr;
    std::function<void()> openLink_;
    FormatControls formatControls_;
    GroupControls groupControls_;
    request::RequestTexts keptGroups_;  // a loaded job's group column
    FilePicker* picker_ = nullptr;
    // The response file's layout entries of a loaded job file, kept.
    std::vector<std::pair<std::string, std::string>> format_;
    std::string typedKey_;
    QPointer<QWidget> helpWindow_;
    std::unique_ptr<DialogCommands> commands_;
    bool closeAfterRun_ = false;
    std::unique_ptr<RunController> runs_;  // last: ends before the controls go
};

// Makes the folder of the program's own file the current directory; a
// failure leaves the current directory as it was.
void MakeProgramFolderCurrent();

// The program's start-up: builds the dialog, makes the program's folder
// current, shows the dialog and returns when it has ended. Results of runs
// go to the viewer when there is one; "Link..." calls openLink with the
// dialog when given.
int BuildMainDialog(QWidget* owner, DesktopServices* desktop = nullptr,
                    ResultsViewer* viewer = nullptr, std::function<void(QWidget*)> openLink = {});

}  // namespace tarvo::shell
