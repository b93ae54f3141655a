#pragma once

#include <map>
#include <string>
#include <utility>

#include "core/run_request.h"
#include "platform/control_texts.h"
#include "platform/run_host.h"
#include "request/request_parser.h"

namespace tarvo::bench {

// A front end that shows nothing: Yes to the standardise question, never a
// Stop.
class QuietHost : public HeadlessHost {
  public:
    QuietHost() : HeadlessHost(true) {}
    void ShowMessage(const std::string& text) override { messages_ += text + "\n"; }

    const std::string& Messages() const { return messages_; }

  private:
    std::string messages_;
};

// Control texts by identifier, read as the dialog's boxes.
class MapTexts final : public ControlTexts {
  public:
    explicit MapTexts(const std::map<int, std::string>& texts) : texts_(texts) {}
    std::string ControlText(int controlId) const override {
        const auto found = texts_.find(controlId);
        return found == texts_.end() ? std::string() : found->second;
    }

  private:
    const std::map<int, std::string>& texts_;
};

// The request a front end makes of these control texts in a mode, through
// the one parser; with marginal settings, for the marginal estimator.
inline tarvo::RunRequest RequestFor(const std::map<int, std::string>& texts, int mode,
                                    unsigned threads, const MarginalSettings* marginal = nullptr) {
    request::RequestTexts given;
    given.controls = texts;
    given.mode = std::to_string(mode);
    tarvo::RunRequest run = *request::ParseRequest(given).request;
    run.threads = threads;
    if (marginal != nullptr) {
        run.method = Method::Marginal;
        run.marginal = *marginal;
    }
    return run;
}

}  // namespace tarvo::bench
