#include "shell/run_controller.h"

#include <QCoreApplication>
#include <chrono>

namespace tarvo::shell {

RunController::RunController(QWidget* dialog, DialogControls& controls, DesktopServices& desktop)
    : dialog_(dialog), controls_(controls), desktop_(desktop) {}

RunController::~RunController() {
    // The worker may be waiting for this thread: keep serving it until the
    // completion arrives. The dialog refuses to close during a run, so this
    // only happens when the program is torn down around a run.
    while (IsRunning()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

bool RunController::Start(int mode) {
    if (IsRunning()) return false;
    lastOutcome_.reset();
    host_ = std::make_unique<DialogRunHost>(dialog_, controls_, desktop_, mode, progressListener_);
    worker_ = std::thread([this, host = host_.get()] {
        std::optional<RunOutcome> outcome;
        try {
            outcome = RunCalibration(*host);
        } catch (...) {
            // Nothing crosses the thread: a failed run ends like any other.
        }
        QMetaObject::invokeMethod(
            &context_, [this, outcome] { Finish(outcome); }, Qt::QueuedConnection);
    });
    return true;
}

void RunController::Finish(std::optional<RunOutcome> outcome) {
    worker_.join();
    host_->CloseLeftovers();
    host_.reset();
    lastOutcome_ = outcome;
    if (finished_) finished_(outcome);
}

}  // namespace tarvo::shell
