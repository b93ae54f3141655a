#pragma once

#include <map>
#include <string>
#include <vector>

#include "platform/control_ids.h"
#include "platform/run_host.h"

namespace tarvo::test_support {

// A front end for tests: records every message, question, progress call and
// viewer launch, answers the question as told and requests Stop at a chosen
// poll. It also holds the control texts and the mode a run is asked for
// (see support/run_request.h).
class ScriptedHost : public RunHost {
  public:
    std::map<int, std::string> texts;
    int mode = 2;
    bool answerYes = true;
    int stopAtPoll = 0;  // the n-th ProgressIsCancelled (from 1) reports Stop; 0 never

    std::vector<std::string> messages;
    std::vector<std::string> warnings;  // the input check's findings
    std::vector<std::string> questions;
    std::vector<std::string> calls;  // "init:caption", "set:percent:text", "poll", "shutdown"
    std::vector<std::string> viewed;
    int polls = 0;
    int breaths = 0;

    void ShowMessage(const std::string& text) override { messages.push_back(text); }
    void ShowWarning(const std::string& text) override { warnings.push_back(text); }
    bool AskYesNo(const std::string& text, const std::string& title) override {
        questions.push_back(title + ": " + text);
        return answerYes;
    }
    void ProgressInit(const std::string& caption) override { calls.push_back("init:" + caption); }
    void ProgressSet(int percent, const std::string& text) override {
        calls.push_back("set:" + std::to_string(percent) + ":" + text);
    }
    bool ProgressIsCancelled() override {
        ++polls;
        calls.push_back("poll");
        stopped_ = stopped_ || (stopAtPoll > 0 && polls >= stopAtPoll);
        return stopped_;
    }
    void ProgressShutdown() override { calls.push_back("shutdown"); }
    void Breathe() override { ++breaths; }
    void ViewResult(const std::string& outputFile) override { viewed.push_back(outputFile); }
    void RunStopped(const std::string& whatTheResultHolds) override {
        stopLines.push_back(whatTheResultHolds);
    }
    std::vector<std::string> stopLines;

    // The progress texts in the order they were set.
    std::vector<std::string> ProgressTexts() const {
        std::vector<std::string> texts;
        for (const auto& call : calls) {
            if (call.rfind("set:", 0) == 0) texts.push_back(call);
        }
        return texts;
    }

  private:
    bool stopped_ = false;
};

}  // namespace tarvo::test_support
