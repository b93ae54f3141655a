#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>
#include <atomic>
#include <functional>
#include <string>
#include <vector>

#include "platform/run_host.h"
#include "shell/desktop/desktop_services.h"
#include "shell/progress/progress_operations.h"

// The run host of the desktop program. The run works on a thread of its own;
// every call it makes is carried to the user-interface thread and waits there
// for its answer, so the window repaints, moves and takes the Stop click at
// any moment. Only the stop poll stays on the run's thread: it reads a flag.
namespace tarvo::shell {

// The text of the box that asks whether to run despite the input check's
// serious findings.
std::string RunAnywayText(const std::vector<std::string>& findings);

class DialogRunHost final : public RunHost {
  public:
    // Called on the user-interface thread after each progress update.
    using ProgressListener = std::function<void(int percent, const std::string& text)>;

    // Lives on the user-interface thread; the dialog owns the progress window.
    // With keepResult the result is not handed to the desktop: the file name
    // is kept for the results window that opens when the run has ended.
    DialogRunHost(QWidget* dialog, DesktopServices& desktop, ProgressListener listener = {},
                  bool keepResult = false);

    void ShowMessage(const std::string& text) override;
    bool AskYesNo(const std::string& text, const std::string& title) override;
    // The serious findings in one box: "Run anyway" or "Cancel" (the default).
    bool RunDespiteFindings(const std::vector<std::string>& findings) override;
    void ProgressInit(const std::string& caption) override;
    void ProgressSet(int percent, const std::string& text) override;
    bool ProgressIsCancelled() override;
    void ProgressShutdown() override;
    void Breathe() override {}  // the user-interface thread runs its own loop
    void ViewResult(const std::string& outputFile) override;

    // User-interface thread: stops the run as the Stop button does, for good
    // (a later progress window does not forget it).
    void RequestStop();

    // User-interface thread, after the run: shuts a progress window that the
    // run left open (it ended by an exception), so the dialog is usable again.
    void CloseLeftovers();

    // The result file the run asked to show; empty when it asked nothing.
    // Read after the run has ended.
    const std::string& ResultToShow() const { return resultToShow_; }

  private:
    template <class Call>
    auto OnUi(Call&& call) const;

    QPointer<QWidget> dialog_;
    DesktopServices& desktop_;
    ProgressListener listener_;
    QObject connections_;                // ends the window's calls into this host
    ProgressHandle progress_ = nullptr;  // user-interface thread only
    std::atomic<bool> stopRequested_{false};
    std::atomic<bool> stopForGood_{false};
    const bool keepResult_;
    std::string resultToShow_;  // written by the run's thread, read after it ended
};

}  // namespace tarvo::shell
