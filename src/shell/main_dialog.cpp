#include "shell/main_dialog.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QPushButton>
#include <QRadioButton>

#include "platform/control_ids.h"
#include "shell/desktop/program_icon.h"
#include "shell/files/qt_file_picker.h"
#include "shell/form/dialog_builder.h"
#include "shell/form/dialog_fonts.h"
#include "shell/form/dialog_layout.h"
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

    commands_ = std::make_unique<DialogCommands>(
        controls_, *picker, *desktop,
        DialogCommands::Actions{[this](int mode) { StartRun(mode); }, [this] { close(); }});
    commands_->SetProgramFolder(ProgramFolder());
    runs_ = std::make_unique<RunController>(this, controls_, *desktop, viewer);
    runs_->SetFinishedListener([this](std::optional<RunOutcome>) { RunFinished(); });

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

void MainDialog::StartRun(int mode) {
    // A second "Go" while a run is going is ignored: one run at a time.
    if (runs_->IsRunning()) return;
    const std::optional<MarginalSettingsCheck> marginal = estimator_.SettingsForRun(mode);
    if (!marginal) {
        runs_->Start(mode);  // the classic estimator, exactly as without the choice
        return;
    }
    if (!marginal->settings) {
        desktop_->ShowMessage("ERROR Marginal (MML) options: " + marginal->message);
        return;
    }
    runs_->Start(mode, *marginal->settings);
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
