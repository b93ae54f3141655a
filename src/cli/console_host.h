#pragma once

#include <csignal>
#include <cstdio>
#include <string>

#include "platform/run_host.h"

namespace tarvo::cli {

// The run's front end on a terminal: messages on standard error, the
// default answer (Yes) to a question, a progress line redrawn in place when
// standard error is a terminal, and Stop from Ctrl-C, SIGTERM or SIGHUP.
class ConsoleHost : public RunHost {
  public:
    // With warnEarly the input check's findings are printed as they come;
    // otherwise they are left to the summary, which prints each once among
    // the run's warnings.
    ConsoleHost(bool view, std::FILE* err, bool showProgress, bool warnEarly = false);

    void ShowMessage(const std::string& text) override;
    // With warnEarly: "WARNING " and the text, on standard error like the
    // messages; otherwise nothing.
    void ShowWarning(const std::string& text) override;
    bool AskYesNo(const std::string& text, const std::string& title) override;
    void ProgressInit(const std::string& caption) override;
    void ProgressSet(int percent, const std::string& text) override;
    bool ProgressIsCancelled() override;
    void ProgressShutdown() override;
    void Breathe() override {}
    void RunStopped(const std::string& whatTheResultHolds) override;
    void ViewResult(const std::string& outputFile) override;

    // What the run said it holds when it was stopped (empty: not stopped).
    const std::string& StopSummary() const { return stopSummary_; }

    // The signals that ask a run to stop: Ctrl-C, a kill, a closed terminal.
    static constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};

    // Stop-signal handling: the first stop signal asks the run to stop at its
    // next check point, a second one ends the process at once with status
    // 128 + that signal's number.
    static void InstallInterruptHandler();
    static bool InterruptRequested();
    // The first stop signal taken, 0 when none was.
    static int StopSignal();

  private:
    void Redraw();

    bool view_;
    std::FILE* err_;
    bool showProgress_;
    bool warnEarly_;
    std::string caption_;
    std::string status_;
    int percent_ = 0;
    bool lineShown_ = false;
    std::string stopSummary_;
};

}  // namespace tarvo::cli
