#pragma once

#include <map>
#include <string>
#include <utility>

#include "platform/run_host.h"

namespace tarvo::bench {

// A front end that shows nothing: control texts from a map, Yes to the
// standardise question, never a Stop.
class QuietHost : public RunHost {
  public:
    QuietHost(std::map<int, std::string> texts, int mode) : texts_(std::move(texts)), mode_(mode) {}

    std::string ControlText(int controlId) const override {
        const auto found = texts_.find(controlId);
        return found == texts_.end() ? std::string() : found->second;
    }
    int CalibrationMode() const override { return mode_; }
    void ShowMessage(const std::string& text) override { messages_ += text + "\n"; }
    bool AskYesNo(const std::string&, const std::string&) override { return true; }
    void ProgressInit(const std::string&) override {}
    void ProgressSet(int, const std::string&) override {}
    bool ProgressIsCancelled() override { return false; }
    void ProgressShutdown() override {}
    void Breathe() override {}
    void ViewResult(const std::string&) override {}

    const std::string& Messages() const { return messages_; }

  private:
    std::map<int, std::string> texts_;
    int mode_;
    std::string messages_;
};

}  // namespace tarvo::bench
