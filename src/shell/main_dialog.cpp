#include "shell/main_dialog.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QPushButton>
#include <QRadioButton>

#include "platform/control_ids.h"
#include "request/job_file.h"
#include "shell/desktop/program_icon.h"
#include "shell/files/qt_file_picker.h"
#include "shell/form/dialog_builder.h"
#include "shell/form/dialog_fonts.h"
#include "shell/form/dialog_layout.h"
#include "shell/options/dialog_request.h"
#include "shell/options/marginal_options_dialog.h"
#include "shell/program_folder.h"

namespace tarvo::shell {
namespace {

constexpr Qt::WindowFlags kDialogFlags = Qt::Window | Qt::CustomizeWindowHint |
                                         Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                                         Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint;

}  // namespace

MainDialog::MainDialog(QWidget* owner, FilePicker* picker, DesktopServices* desktop,
                       ResultsViewer* viewer)
    : QWidget(owner, kDialogFlags), units_(DialogUnits::ForFont(DialogFont())) {
    if (picker == nullptr) {
        ownPicker_ = std::make_unique<QtFilePicker>(this);
        picker = ownPicker_.get();
    }
    if (desktop == nullptr) {
        ownDesktop_ = std::make_unique<QtDesktopServices>();
        desktop = ownDesktop_.get();
    }

    setWindowTitle(
        QString::fromUtf8(kDialogTitle.data(), static_cast<qsizetype>(kDialogTitle.size())));
    setWindowIcon(ProgramIcon());
    setFont(DialogFont());
    ApplySurfaceColours(this);
    BuildDialogControls(this, units_, controls_, modeButtons_);
    desktop_ = desktop;
    methodControls_ = BuildMethodControls(this, units_);
    connect(methodControls_.method, &QComboBox::currentIndexChanged, this,
            [this](int index) { MethodChanged(index); });
    connect(methodControls_.options, &QPushButton::clicked, this,
            [this] { EditMarginalOptions(); });
    connect(methodControls_.saveSettings, &QPushButton::clicked, this, [this] { SaveSettings(); });
    connect(methodControls_.loadSettings, &QPushButton::clicked, this, [this] { LoadSettings(); });
    picker_ = picker;

    commands_ = std::make_unique<DialogCommands>(
        controls_, *picker, *desktop,
        DialogCommands::Actions{[this](int mode) { StartRun(mode); }, [this] { close(); }});
    commands_->SetProgramFolder(ProgramFolder());
    runs_ = std::make_unique<RunController>(this, *desktop, viewer);
    runs_->SetFinishedListener([this](std::optional<RunEnd>) { RunFinished(); });

    for (const ControlLayout& row : MainDialogControls()) {
        QWidget* control = controls_.Find(row.id);
        if (row.kind == ControlKind::PushButton) {
            const int id = row.id;
            connect(static_cast<QPushButton*>(control), &QPushButton::clicked, this,
                    [this, id] { commands_->MainDialogProc(id, kClicked); });
        } else if (row.kind == ControlKind::RadioButton) {
            // Every click reports, the already checked button's included.
            connect(static_cast<QRadioButton*>(control), &QRadioButton::clicked, this,
                    [this] { commands_->ApplyModeLabels(); });
        }
    }

    controls_.SetEnabled(tarvo::control::kGo, false);
    commands_->ReadCalibrationMode();

    setFixedSize(units_.Size(kDialogRect.w, kDialogRect.h));
    move(units_.Point(kDialogRect.x, kDialogRect.y));
}

MainDialog::~MainDialog() = default;

request::RequestCheck MainDialog::RequestFor(int mode) const {
    return request::ParseRequest(DialogTexts(controls_, mode, estimator_, format_));
}

void MainDialog::StartRun(int mode) {
    // A second "Go" while a run is going is ignored: one run at a time.
    if (runs_->IsRunning()) return;
    // The settings are read here, once, as "Go" finds them.
    request::RequestCheck check = RequestFor(mode);
    if (!check.request) {
        desktop_->ShowMessage("ERROR " + check.message);
        return;
    }
    runs_->Start(std::move(*check.request));
}

void MainDialog::SaveSettings() {
    const request::RequestCheck check = RequestFor(commands_->CalibrationMode());
    if (!check.request) {
        desktop_->ShowMessage("ERROR " + check.message);
        return;
    }
    const std::optional<std::string> path = PickSaveFile(*picker_, JobFilePicker("Save settings"));
    if (!path) return;
    std::string error;
    if (!request::WriteJobFile(*check.request, *path, error))
        desktop_->ShowMessage("ERROR " + error);
}

void MainDialog::LoadSettings() {
    const std::optional<std::string> path = PickOpenFile(*picker_, JobFilePicker("Load settings"));
    if (!path) return;
    DialogJob job = ReadDialogJob(*path);
    if (!job.request) {
        desktop_->ShowMessage(job.message);
        return;
    }
    const RunRequest& loaded = *job.request;
    PutIntoBoxes(loaded, controls_);
    controls_.SetChecked(tarvo::control::kModeFirst + loaded.mode - 1, true);
    commands_->ApplyModeLabels();
    commands_->UpdateGoButton();
    estimator_.SetOptions(std::move(job.form));
    methodControls_.method->setCurrentIndex(loaded.method == Method::Marginal ? 1 : 0);
    format_ = loaded.format.entries;
}

void MainDialog::MethodChanged(int index) {
    // The box's entries follow the order of EstimatorMethod.
    const EstimatorMethod method = index == static_cast<int>(EstimatorMethod::Marginal)
                                       ? EstimatorMethod::Marginal
                                       : EstimatorMethod::Classic;
    estimator_.SetMethod(method);
    methodControls_.options->setEnabled(method == EstimatorMethod::Marginal);
}

void MainDialog::EditMarginalOptions() {
    MarginalOptionsDialog options(estimator_.Options(), commands_->CalibrationMode(), this);
    if (options.exec() == QDialog::Accepted) estimator_.SetOptions(options.Form());
}

void MainDialog::RunFinished() {
    if (closeAfterRun_) close();
}

void MainDialog::closeEvent(QCloseEvent* event) {
    if (runs_->IsRunning()) {
        // The run still talks to this window: end once it has finished.
        closeAfterRun_ = true;
        event->ignore();
        return;
    }
    event->accept();
}

void MakeProgramFolderCurrent() { QDir::setCurrent(QString::fromStdString(ProgramFolder())); }

int BuildMainDialog(QWidget* owner, DesktopServices* desktop, ResultsViewer* viewer) {
    MainDialog dialog(owner, nullptr, desktop, viewer);
    if (owner != nullptr) dialog.setWindowModality(Qt::WindowModal);
    MakeProgramFolderCurrent();
    dialog.show();
    return QApplication::exec();
}

}  // namespace tarvo::shell
