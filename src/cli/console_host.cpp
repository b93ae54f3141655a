#include "cli/console_host.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>

#include "cli/viewer.h"

namespace tarvo::cli {

namespace {

// The signal may arrive on any thread, a worker's included, while the run
// polls from its own: a lock-free atomic is safe in the handler and visible
// across threads. It holds the first stop signal taken, 0 before any.
std::atomic<int> stopSignal{0};
static_assert(std::atomic<int>::is_always_lock_free);

extern "C" void OnStopSignal(int signal) {
    int none = 0;
    if (!stopSignal.compare_exchange_strong(none, signal)) _exit(128 + signal);
}

constexpr int kBarWidth = 30;

}  // namespace

ConsoleHost::ConsoleHost(bool view, std::FILE* err, bool showProgress, bool warnEarly)
    : view_(view), err_(err), showProgress_(showProgress), warnEarly_(warnEarly) {}

void ConsoleHost::ShowMessage(const std::string& text) {
    if (lineShown_) std::fputc('\n', err_);
    lineShown_ = false;
    std::fwrite(text.data(), 1, text.size(), err_);
    std::fputc('\n', err_);
    std::fflush(err_);
}

void ConsoleHost::ShowWarning(const std::string& text) {
    if (warnEarly_) ShowMessage("WARNING " + text);
}

// No one is there to answer: every question takes its default answer. The
// standardise question is answered by --standardize in the request and is
// not asked at all when it is given.
bool ConsoleHost::AskYesNo(const std::string&, const std::string&) { return true; }

void ConsoleHost::ProgressInit(const std::string& caption) {
    caption_ = caption;
    status_.clear();
    percent_ = 0;
    Redraw();
}

void ConsoleHost::ProgressSet(int percent, const std::string& text) {
    percent_ = std::clamp(percent, 0, 100);
    status_ = text;
    Redraw();
}

bool ConsoleHost::ProgressIsCancelled() { return InterruptRequested(); }

void ConsoleHost::ProgressShutdown() {
    if (lineShown_) {
        std::fputc('\n', err_);
        std::fflush(err_);
    }
    lineShown_ = false;
}

void ConsoleHost::RunStopped(const std::string& whatTheResultHolds) {
    stopSummary_ = whatTheResultHolds;
}

void ConsoleHost::ViewResult(const std::string& outputFile) {
    if (view_) LaunchDetached("xdg-open", outputFile);
}

void ConsoleHost::Redraw() {
    if (!showProgress_) return;
    const int filled = percent_ * kBarWidth / 100;
    std::string bar(static_cast<std::size_t>(filled), '#');
    bar.resize(kBarWidth, '.');
    std::fprintf(err_, "\r\x1b[K%s [%s] %3d%% %s", caption_.c_str(), bar.c_str(), percent_,
                 status_.c_str());
    std::fflush(err_);
    lineShown_ = true;
}

void ConsoleHost::InstallInterruptHandler() {
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    for (const int signal : kStopSignals) sigaction(signal, &action, nullptr);
}

bool ConsoleHost::InterruptRequested() { return stopSignal.load() != 0; }

int ConsoleHost::StopSignal() { return stopSignal.load(); }

}  // namespace tarvo::cli
