#pragma once

#include <map>
#include <string>

#include "core/run_request.h"
#include "request/request_parser.h"
#include "run/calibration_run.h"
#include "support/scripted_host.h"

namespace tarvo::test_support {

// The request a front end would make of these control texts in this mode,
// through the one parser (the classic estimator; the runner's defaults).
inline RunRequest RequestOf(const std::map<int, std::string>& texts, int mode,
                            unsigned threads = 0) {
    request::RequestTexts given;
    given.controls = texts;
    given.mode = std::to_string(mode);
    RunRequest request = *request::ParseRequest(given).request;
    request.threads = threads;
    return request;
}

// The same with the marginal estimator and these settings.
inline RunRequest MarginalRequestOf(const std::map<int, std::string>& texts, int mode,
                                    const MarginalSettings& settings, unsigned threads = 0) {
    RunRequest request = RequestOf(texts, mode, threads);
    request.method = Method::Marginal;
    request.marginal = settings;
    return request;
}

// A whole run of the host's texts and mode; the question is the host's.
inline RunEnd RunClassic(ScriptedHost& host, RunReport* report = nullptr, unsigned threads = 0,
                         const EngineSettings& engine = {}) {
    return RunCalibration(RequestOf(host.texts, host.mode, threads), host, report, engine);
}

inline RunEnd RunMarginal(ScriptedHost& host, const MarginalSettings& settings,
                          RunReport* report = nullptr, unsigned threads = 0,
                          const EngineSettings& engine = {}) {
    return RunCalibration(MarginalRequestOf(host.texts, host.mode, settings, threads), host, report,
                          engine);
}

}  // namespace tarvo::test_support
