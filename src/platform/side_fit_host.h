#pragma once

#include <string>
#include <utility>

#include "platform/run_host.h"

namespace tarvo {

// The front end as a fit beside the run sees it (a compared model, a DIF
// refit): progress under the fit's own caption and Stop pass through to the
// run's host; a question takes the default answer; a message of the fit
// becomes its note instead of the run's, whose result is whole.
class SideFitHost final : public RunHost {
  public:
    SideFitHost(RunHost& host, std::string caption) : host_(host), caption_(std::move(caption)) {}

    void ShowMessage(const std::string& text) override { message_ = text; }
    bool AskYesNo(const std::string&, const std::string&) override { return true; }
    void ProgressInit(const std::string&) override { host_.ProgressInit(caption_); }
    void ProgressSet(int percent, const std::string& text) override {
        host_.ProgressSet(percent, text);
    }
    bool ProgressIsCancelled() override { return host_.ProgressIsCancelled(); }
    void ProgressShutdown() override { host_.ProgressShutdown(); }
    void Breathe() override { host_.Breathe(); }
    void ViewResult(const std::string&) override {}

    // The fit's last message; empty when it showed none.
    const std::string& Message() const { return message_; }

  private:
    RunHost& host_;
    std::string caption_;
    std::string message_;
};

}  // namespace tarvo
