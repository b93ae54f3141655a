#pragma once

#include <map>
#include <string>
#include <vector>

#include "platform/run_host.h"

namespace tarvo::test {

// A run host that serves control texts from a map and records the messages.
class FakeHost : public RunHost {
  public:
    std::map<int, std::string> texts;
    std::vector<std::string> messages;

    std::string ControlText(int controlId) const override {
        const auto found = texts.find(controlId);
        return found == texts.end() ? std::string() : found->second;
    }
    int CalibrationMode() const override { return 3; }
    void ShowMessage(const std::string& text) override { messages.push_back(text); }
    bool AskYesNo(const std::string&, const std::string&) override { return true; }
    void ProgressInit(const std::string&) override {}
    void ProgressSet(int, const std::string&) override {}
    bool ProgressIsCancelled() override { return false; }
    void ProgressShutdown() override {}
    void Breathe() override {}
    void ViewResult(const std::string&) override {}
};

}  // namespace tarvo::test
