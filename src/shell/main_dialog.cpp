#include "shell/main_dialog.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include "input/format/layout_detection.h"
#include "input/format/response_format.h"
#include "input/text/number_text.h"
#include "input/text/text_rules.h"
#include "platform/control_ids.h"
#include "request/job_file.h"
#include "run/run_files.h"
#include "shell/desktop/help_window.h"
#include "shell/desktop/program_icon.h"
#include "shell/files/qt_file_picker.h"
#include "shell/form/caption_fit.h"
#include "shell/form/choice_row.h"
#include "shell/form/dialog_builder.h"
#include "shell/form/dialog_fonts.h"
#include "shell/form/dialog_layout.h"
#include "shell/options/dialog_request.h"
#include "shell/options/dif_dialog.h"
#include "shell/options/marginal_options_dialog.h"
#include "shell/preview/key_dialog.h"
#include "shell/preview/preview_window.h"
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
    linkButton_ = new QPushButton(QStringLiteral("Link..."), this);
    linkButton_->setAutoDefault(false);
    linkButton_->setGeometry(
        units_.Rect(kLinkButtonRect.x, kLinkButtonRect.y, kLinkButtonRect.w, kLinkButtonRect.h));
    linkButton_->setPalette(PlatformPaletteOnSurface());
    linkButton_->setToolTip(QStringLiteral(
        "Put a new form's items on a base form's scale, with its score table and equating"));
    FitCaption(linkButton_);
    linkButton_->setEnabled(false);
    connect(linkButton_, &QPushButton::clicked, this, [this] {
        if (openLink_) openLink_();
    });
    // The response file's format: the run reads the Format box by its
    // identifier, like the other boxes; Preview needs a file name.
    groupControls_ = BuildGroupControls(this, units_);
    controls_.Add(tarvo::control::kGroupStart, groupControls_.start);
    controls_.Add(tarvo::control::kGroupLength, groupControls_.length);
    connect(groupControls_.start, &QLineEdit::textChanged, this, [this] { FollowGroupField(); });
    connect(groupControls_.dif, &QPushButton::clicked, this, [this] { EditDif(); });
    formatControls_ = BuildFormatControls(this, units_);
    controls_.Add(tarvo::control::kResponseFormat, formatControls_.format);
    connect(formatControls_.preview, &QPushButton::clicked, this, [this] { ShowPreview(); });
    connect(formatControls_.key, &QPushButton::clicked, this, [this] { EditKey(); });
    if (auto* responseFile =
            qobject_cast<QLineEdit*>(controls_.Find(tarvo::control::kResponseFile))) {
        connect(responseFile, &QLineEdit::textChanged, this, [this](const QString& name) {
            formatControls_.preview->setEnabled(!name.trimmed().isEmpty());
        });
    }
    connect(methodControls_.saveSettings, &QPushButton::clicked, this, [this] { SaveSettings(); });
    connect(methodControls_.loadSettings, &QPushButton::clicked, this, [this] { LoadSettings(); });
    picker_ = picker;

    commands_ = std::make_unique<DialogCommands>(
        controls_, *picker, *desktop,
        DialogCommands::Actions{[this](int mode) { StartRun(mode); }, [this] { close(); },
                                [this] { ShowHelpWindow(); }});
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

void MainDialog::SetLinkWindowOpener(std::function<void()> open) {
    openLink_ = std::move(open);
    linkButton_->setEnabled(static_cast<bool>(openLink_));
}

request::RequestCheck MainDialog::RequestFor(int mode) const {
    // The Format box stands for the format and header entries, as the
    // runner's --format and --no-header set them (fixed columns: none);
    // the other entries are a loaded job file's.
    std::vector<std::pair<std::string, std::string>> format = format_;
    const std::string box = controls_.Text(tarvo::control::kResponseFormat);
    if (const auto chosen = ParseResponseFormat(box); chosen && *chosen != ResponseFormat::Fixed) {
        format.emplace_back("format", std::string(FormatName(*chosen)));
        if (SaysNoHeader(box)) format.emplace_back("header", "no");
        if (const char delimiter = DelimiterNamedBy(box); delimiter != 0)
            format.emplace_back("delimiter", std::string(DelimiterText(delimiter)));
    }
    if (!typedKey_.empty()) format.emplace_back("key", typedKey_);
    request::RequestTexts texts = DialogTexts(controls_, mode, estimator_, format);
    // A loaded job's group column, which has no box.
    texts.groupColumn = keptGroups_.groupColumn;
    return request::ParseRequest(texts);
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

void MainDialog::ShowHelpWindow() {
    if (helpWindow_ == nullptr) helpWindow_ = new HelpWindow(this);
    helpWindow_->show();
    helpWindow_->raise();
    helpWindow_->activateWindow();
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
    // Never over a file the settings name (the response file, say).
    if (!request::WriteJobFile(*check.request, *path, FilesOfRun(*check.request), error))
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
    keptGroups_ = KeptGroupTexts(loaded);
    controls_.SetChecked(tarvo::control::kModeFirst + loaded.mode - 1, true);
    commands_->ApplyModeLabels();
    commands_->UpdateGoButton();
    estimator_.SetOptions(std::move(job.form));
    methodControls_.method->setCurrentIndex(loaded.method == Method::Marginal ? 1 : 0);
    // The Format box takes the job's format and header entries; the
    // others (the columns, the key file) are kept as they are.
    std::string formatText, headerText, key;
    char delimiter = ',';
    format_.clear();
    for (const auto& [name, value] : loaded.format.entries) {
        if (name == "format") {
            formatText = value;
        } else if (name == "header") {
            headerText = value;
        } else if (name == "delimiter") {
            delimiter = ParseDelimiter(value).value_or(',');
        } else if (name == "key") {
            key = value;
        } else {
            format_.emplace_back(name, value);
        }
    }
    const ResponseFormat format = ParseResponseFormat(formatText).value_or(ResponseFormat::Fixed);
    const bool header = !SaysNoHeader(formatText) && headerText != "no";
    // Only a csv entry of the box names a delimiter; auto keeps it as an entry.
    if (format == ResponseFormat::Auto && delimiter != ',')
        format_.emplace_back("delimiter", std::string(DelimiterText(delimiter)));
    controls_.SetText(tarvo::control::kResponseFormat, FormatEntry(format, header, delimiter));
    SetTypedKey(std::move(key));
    FollowGroupField();
}

void MainDialog::SetTypedKey(std::string key) {
    // Blanks alone are no key, as the run reads them.
    typedKey_ = TrimBlanks(key).empty() ? std::string() : std::move(key);
    formatControls_.key->setChecked(!typedKey_.empty());
    formatControls_.key->setToolTip(
        typedKey_.empty() ? QStringLiteral("Type the answer key when the file has no key record")
                          : QStringLiteral("Answer key: ") + QString::fromStdString(typedKey_));
}

void MainDialog::EditKey() {
    // A delimited file's item count comes from its columns, not the box.
    const bool fixed = ParseResponseFormat(controls_.Text(tarvo::control::kResponseFormat)) ==
                       ResponseFormat::Fixed;
    KeyDialog dialog(typedKey_,
                     fixed ? DialogNumber(controls_.Text(tarvo::control::kItemCount)) : 0, this);
    if (dialog.exec() == QDialog::Accepted) {
        SetTypedKey(dialog.Key());
    } else {
        SetTypedKey(typedKey_);  // the click toggled the button: show the key as it is
    }
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

void MainDialog::FollowGroupField() {
    shell::FollowGroupField(groupControls_,
                            GroupFieldGiven(controls_.Text(tarvo::control::kGroupStart),
                                            keptGroups_.groupColumn.value_or(std::string())));
}

void MainDialog::EditDif() {
    DifDialog dif(estimator_, commands_->CalibrationMode(), this);
    if (dif.exec() != QDialog::Accepted) return;
    MarginalOptionsForm options = estimator_.Options();
    options.groups = dif.Choices();
    estimator_.SetOptions(std::move(options));
}

void MainDialog::ShowPreview() {
    PreviewWindow preview(controls_, this,
                          [this] { return RequestFor(commands_->CalibrationMode()); });
    preview.exec();
}

void MainDialog::RunFinished() {
    if (!closeAfterRun_) return;
    // The stopped run's results stay on screen; the program ends with them.
    runs_->KeepResultsOpen();
    close();
}

void MainDialog::closeEvent(QCloseEvent* event) {
    if (runs_->IsRunning()) {
        // The run still talks to this window: it is stopped, and the dialog
        // ends once the run has (its results open first).
        event->ignore();
        if (closeAfterRun_) return;  // already stopping
        const bool stop = desktop_->AskYesNo(
            "A run is in progress. Stop it and close TARVO? What it has done so far is shown "
            "first.",
            "TARVO");
        if (!stop) return;
        if (runs_->IsRunning()) {
            closeAfterRun_ = true;
            runs_->Stop();
            return;
        }
        runs_->KeepResultsOpen();  // the run ended while the question was open
    }
    event->accept();
}

void MakeProgramFolderCurrent() { QDir::setCurrent(QString::fromStdString(ProgramFolder())); }

int BuildMainDialog(QWidget* owner, DesktopServices* desktop, ResultsViewer* viewer,
                    std::function<void(QWidget*)> openLink) {
    MainDialog dialog(owner, nullptr, desktop, viewer);
    if (openLink) dialog.SetLinkWindowOpener([&dialog, openLink] { openLink(&dialog); });
    if (owner != nullptr) dialog.setWindowModality(Qt::WindowModal);
    MakeProgramFolderCurrent();
    dialog.show();
    return QApplication::exec();
}

}  // namespace tarvo::shell
