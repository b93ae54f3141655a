#pragma once

#include <QObject>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>
#include <thread>

#include "core/run_request.h"
#include "report/run_report.h"
#include "run/calibration_run.h"
#include "shell/desktop/results_viewer.h"
#include "shell/dialog_run_host.h"

// Starts the calibration run of "Go" on a worker thread, one run at a time,
// and reports its end on the user-interface thread.
namespace tarvo::shell {

class RunController {
  public:
    // How the run ended, or nothing when it failed by an exception.
    using FinishedListener = std::function<void(std::optional<RunEnd>)>;

    // With a viewer, a run that finished or was stopped is shown in it;
    // without, the run hands its result file to the desktop.
    RunController(QWidget* dialog, DesktopServices& desktop, ResultsViewer* viewer = nullptr);
    ~RunController();
    RunController(const RunController&) = delete;
    RunController& operator=(const RunController&) = delete;

    // Starts the run the request asks for; false (and nothing started)
    // while a run is still going.
    bool Start(RunRequest request);
    bool IsRunning() const { return worker_.joinable(); }
    // How the last finished run ended; nothing before the first run ends or
    // when it failed by an exception.
    std::optional<RunEnd> LastOutcome() const { return lastOutcome_; }

    // Stops the running run, as its Stop button does; nothing without a run.
    void Stop() {
        if (host_) host_->RequestStop();
    }
    // The last run's results window, when it opened one, keeps the program
    // running after the dialog ends.
    void KeepResultsOpen() {
        if (viewer_ != nullptr && lastShown_) viewer_->KeepProgramOpen();
    }

    void SetFinishedListener(FinishedListener listener) { finished_ = std::move(listener); }
    // Handed to the host of every later run (the tests press Stop from it).
    void SetProgressListener(DialogRunHost::ProgressListener listener) {
        progressListener_ = std::move(listener);
    }

  private:
    void Finish(std::optional<RunEnd> outcome);

    QWidget* dialog_;
    DesktopServices& desktop_;
    ResultsViewer* viewer_;
    QObject context_;  // receives the worker's completion on the user-interface thread
    std::unique_ptr<DialogRunHost> host_;
    RunReport report_;  // what the running run did; written by its thread
    std::thread worker_;
    std::optional<RunEnd> lastOutcome_;
    bool lastShown_ = false;  // the last run opened its results
    FinishedListener finished_;
    DialogRunHost::ProgressListener progressListener_;
};

}  // namespace tarvo::shell
