#pragma once

#include <string>
#include <vector>

#include "platform/run_host.h"
#include "tarvo/tarvo.hpp"

namespace tarvo::lib {

// The run's front end inside the library: no window, every question takes
// the runner's default answer (Yes), progress goes to the caller's callback
// and a stop comes from the caller's flag or poll. Messages are kept.
class LibraryHost final : public RunHost {
  public:
    explicit LibraryHost(const Control& control) : control_(control) {}
    void ShowMessage(const std::string& text) override { messages_.push_back(text); }
    bool AskYesNo(const std::string&, const std::string&) override { return true; }
    void ProgressInit(const std::string&) override {}
    void ProgressSet(int percent, const std::string& text) override {
        if (control_.progress)
            control_.progress(percent < 0 ? 0 : percent > 100 ? 100 : percent, text);
    }
    bool ProgressIsCancelled() override {
        if (!stopped_ && control_.stop != nullptr && control_.stop->load()) stopped_ = true;
        if (!stopped_ && control_.stopPoll && control_.stopPoll()) stopped_ = true;
        return stopped_;
    }
    void ProgressShutdown() override {}
    void Breathe() override {}
    void ViewResult(const std::string&) override {}

    const std::vector<std::string>& Messages() const { return messages_; }

  private:
    const Control& control_;
    std::vector<std::string> messages_;
    bool stopped_ = false;  // a stop request, once made, stays
};

}  // namespace tarvo::lib
