#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "platform/run_host.h"

namespace tarvo {

// The run's own view of its front end: passes every call on, and keeps what
// the report needs of them, the messages shown and how long the questions
// waited for the user (which is not the run's time).
class RecordingHost final : public RunHost {
  public:
    explicit RecordingHost(RunHost& host) : host_(host) {}

    void ShowMessage(const std::string& text) override {
        messages_.push_back(text);
        host_.ShowMessage(text);
    }
    void ShowWarning(const std::string& text) override { host_.ShowWarning(text); }
    bool AskYesNo(const std::string& text, const std::string& title) override {
        const auto start = std::chrono::steady_clock::now();
        const bool yes = host_.AskYesNo(text, title);
        secondsAsking_ +=
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        return yes;
    }
    bool RunDespiteFindings(const std::vector<std::string>& findings) override {
        const auto start = std::chrono::steady_clock::now();
        const bool yes = host_.RunDespiteFindings(findings);
        secondsAsking_ +=
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        return yes;
    }
    void ProgressInit(const std::string& caption) override { host_.ProgressInit(caption); }
    void ProgressSet(int percent, const std::string& text) override {
        host_.ProgressSet(percent, text);
    }
    bool ProgressIsCancelled() override { return host_.ProgressIsCancelled(); }
    void ProgressShutdown() override { host_.ProgressShutdown(); }
    void Breathe() override { host_.Breathe(); }
    void RunStopped(const std::string& whatTheResultHolds) override {
        host_.RunStopped(whatTheResultHolds);
    }
    void ViewResult(const std::string& outputFile) override { host_.ViewResult(outputFile); }

    const std::vector<std::string>& Messages() const { return messages_; }
    double SecondsAsking() const { return secondsAsking_; }

  private:
    RunHost& host_;
    std::vector<std::string> messages_;
    double secondsAsking_ = 0;
};

}  // namespace tarvo
