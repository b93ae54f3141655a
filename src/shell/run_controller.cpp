#include "shell/run_controller.h"

#include <QCoreApplication>
#include <chrono>

#include "estimation/marginal/marginal_run.h"

namespace tarvo::shell {

RunController::RunController(QWidget* dialog, DialogControls& controls, DesktopServices& desktop,
                             ResultsViewer* viewer)
    : dialog_(dialog), controls_(controls), desktop_(desktop), viewer_(viewer) {}

RunController::~RunController() {
    // The worker may be waiting for this thread: keep serving it until the
    // completion arrives. The dialog refuses to close during a run, so this
    // only happens when the program is torn down around a run.
    while (IsRunning()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

bool RunController::Start(int mode, std::optional<MarginalSettings> marginal) {
    if (IsRunning()) return false;
    lastOutcome_.reset();
    host_ = std::make_unique<DialogRunHost>(dialog_, controls_, desktop_, mode, progressListener_,
                                            viewer_ != nullptr);
    report_ = RunReport{};
    report_.mode = mode;
    worker_ = std::thread([this, host = host_.get(), marginal = std::move(marginal)] {
        std::optional<RunOutcome> outcome;
        try {
            // The report is gathered only for the results window; the
            // result file is the same either way.
            RunReport* report = viewer_ != nullptr ? &report_ : nullptr;
            outcome = marginal ? RunMarginalCalibration(*host, EngineSettings{}, *marginal, report)
                               : RunCalibration(*host, EngineSettings{}, report);
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
    const std::string resultFile = host_->ResultToShow();
    host_.reset();
    lastOutcome_ = outcome;
    // A run that ended at a check or could not write its whole result shows
    // nothing, as before.
    const bool shown = outcome == RunOutcome::Finished || outcome == RunOutcome::Stopped;
    if (viewer_ != nullptr && shown && !resultFile.empty()) {
        if (report_.resultFile.empty()) report_.resultFile = resultFile;
        report_.end = *outcome == RunOutcome::Stopped ? RunEnd::Stopped : RunEnd::Finished;
        viewer_->ShowResults(resultFile, report_);
    }
    if (finished_) finished_(outcome);
}

}  // namespace tarvo::shell
