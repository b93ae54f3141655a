#pragma once

#include <string>
#include <vector>

#include "core/run_request.h"
#include "estimation/engine_settings.h"
#include "platform/run_host.h"
#include "report/run_report.h"
#include "run/calibration_run.h"

namespace tarvo::lib {

// How a parsed request's run ended, with the errors that say its result is
// not whole or not usable, in the runner's words and the order it prints
// them ("Stopped: ...", "ERROR Nothing was estimated: ...", "ERROR No item
// parameters were read: ..."). The lines are formed only when the run filled
// a report.
struct RequestRun {
    RunEnd end = RunEnd::Finished;
    std::vector<std::string> endLines;
};

// The one road of a calibration from a parsed request: the runner, the
// desktop's "Go" and Calibrate all take it, so the same request gives the
// same result file and report on every front end. The report carries the
// request as its job.
RequestRun RunParsedRequest(const RunRequest& request, RunHost& host, RunReport* report,
                            const EngineSettings& engine, ReportExtras extras);

}  // namespace tarvo::lib
