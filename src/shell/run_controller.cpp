#include "shell/run_controller.h"

#include <QCoreApplication>
#include <chrono>
#include <utility>

#include "library/request_run.h"

namespace tarvo::shell {

RunController::RunController(QWidget* dialog, DesktopServices& desktop, ResultsViewer* viewer)
    : dialog_(dialog), desktop_(desktop), viewer_(viewer) {}

RunController::~RunController() {
    // The worker may be waiting for this thread: keep serving it until the
    // completion arrives. The dialog refuses to close during a run, so this
    // only happens when the program is torn down around a run.
    while (IsRunning()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

bool RunController::Start(RunRequest request) {
    if (IsRunning()) return false;
    lastOutcome_.reset();
    host_ =
        std::make_unique<DialogRunHost>(dialog_, desktop_, progressListener_, viewer_ != nullptr);
    report_ = RunReport{};
    worker_ = std::thread([this, host = host_.get(), request = std::move(request)] {
        std::optional<RunEnd> outcome;
        try {
            // The report is gathered only for the results window; the
            // result file is the same either way.
            RunReport* report = viewer_ != nullptr ? &report_ : nullptr;
            // The results window shows the run's score table, for tests of
            // up to 1,000 raw score points (under a second for 1,000
            // right/wrong items).
            ReportExtras extras;
            extras.summedScores = true;
            extras.mostRawScore = 1000;
            outcome = lib::RunParsedRequest(request, *host, report, EngineSettings{}, extras).end;
        } catch (...) {
            // Nothing crosses the thread: a failed run ends like any other.
        }
        QMetaObject::invokeMethod(
            &context_, [this, outcome] { Finish(outcome); }, Qt::QueuedConnection);
    });
    return true;
}

void RunController::Finish(std::optional<RunEnd> outcome) {
    worker_.join();
    host_->CloseLeftovers();
    const std::string resultFile = host_->ResultToShow();
    host_.reset();
    lastOutcome_ = outcome;
    // A run that wrote its result is shown (the report the run built says
    // how it ended); one that ended at a check or could not write its whole
    // result shows nothing, as before.
    const bool shown = outcome == RunEnd::Finished || outcome == RunEnd::Stopped ||
                       outcome == RunEnd::NothingToEstimate;
    lastShown_ = viewer_ != nullptr && shown && !resultFile.empty();
    if (lastShown_) viewer_->ShowResults(resultFile, std::move(report_));
    if (finished_) finished_(outcome);
}

}  // namespace tarvo::shell
