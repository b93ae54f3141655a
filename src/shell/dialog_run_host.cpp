#include "shell/dialog_run_host.h"

#include "shell/desktop/ui_thread.h"
#include "shell/progress/progress_window.h"

namespace tarvo::shell {

DialogRunHost::DialogRunHost(QWidget* dialog, DesktopServices& desktop, ProgressListener listener,
                             bool keepResult)
    : dialog_(dialog), desktop_(desktop), listener_(std::move(listener)), keepResult_(keepResult) {}

template <class Call>
auto DialogRunHost::OnUi(Call&& call) const {
    return CallOnThreadOf(dialog_.data(), std::forward<Call>(call));
}

void DialogRunHost::ShowMessage(const std::string& text) {
    OnUi([&] { desktop_.ShowMessage(text); });
}

bool DialogRunHost::AskYesNo(const std::string& text, const std::string& title) {
    return OnUi([&] { return desktop_.AskYesNo(text, title); });
}

std::string RunAnywayText(const std::vector<std::string>& findings) {
    std::string text = findings.size() == 1
                           ? "The input check found a mistake that makes the results wrong:\n"
                           : "The input check found mistakes that make the results wrong:\n";
    for (const std::string& finding : findings) text += "\n- " + finding + "\n";
    return text + "\nCancel to change the settings (Preview shows the file), or run anyway.";
}

bool DialogRunHost::RunDespiteFindings(const std::vector<std::string>& findings) {
    const std::string text = RunAnywayText(findings);
    return OnUi([&] { return desktop_.AskRunAnyway(text); });
}

void DialogRunHost::ProgressInit(const std::string& caption) {
    OnUi([&] {
        if (progress_ != nullptr) ShutdownProgressWindow(progress_, dialog_);
        stopRequested_ = false;
        progress_ = OpenProgressWindow(dialog_, QString::fromStdString(caption));
        if (ProgressWindow* window = FindProgressWindow(progress_)) {
            window->SetStopListener([this] { stopRequested_ = true; });
            // A window destroyed by other means counts as a stop request.
            QObject::connect(window, &QObject::destroyed, &connections_,
                             [this] { stopRequested_ = true; });
        }
    });
}

void DialogRunHost::ProgressSet(int percent, const std::string& text) {
    OnUi([&] {
        SetProgressWindow(progress_, percent, QString::fromStdString(text));
        if (listener_) listener_(percent, text);
    });
}

bool DialogRunHost::ProgressIsCancelled() { return stopRequested_.load() || stopForGood_.load(); }

void DialogRunHost::RequestStop() {
    stopForGood_ = true;
    if (ProgressWindow* window = FindProgressWindow(progress_)) window->RequestStop();
}

void DialogRunHost::ProgressShutdown() {
    OnUi([&] {
        ShutdownProgressWindow(progress_, dialog_);
        progress_ = nullptr;
    });
}

void DialogRunHost::ViewResult(const std::string& outputFile) {
    if (keepResult_) {
        resultToShow_ = outputFile;
        return;
    }
    OnUi([&] { desktop_.OpenDocument(outputFile); });
}

void DialogRunHost::CloseLeftovers() {
    if (progress_ == nullptr) return;
    ShutdownProgressWindow(progress_, dialog_);
    progress_ = nullptr;
}

}  // namespace tarvo::shell
