#include "library/request_run.h"

#include <utility>

#include "request/job_file.h"

namespace tarvo::lib {

RequestRun RunParsedRequest(const RunRequest& request, RunHost& host, RunReport* report,
                            const EngineSettings& engine, ReportExtras extras) {
    extras.job = request::JobJson(request);
    RequestRun run;
    run.end = RunCalibration(request, host, report, engine, extras);
    if (report == nullptr) return run;
    // A stopped file holds whole rows, but a script must be able to tell it
    // from a complete result.
    if (run.end == RunEnd::Stopped) run.endLines.push_back("Stopped: " + report->stopLine);
    if (run.end == RunEnd::NothingToEstimate) {
        run.endLines.push_back("ERROR Nothing was estimated: " + report->error);
    }
    // The result is what the rules give, but nobody must take it for one
    // computed from the items.
    if (report->itemParametersMissing) {
        run.endLines.push_back(
            "ERROR No item parameters were read: every estimate uses a = b = c = 0.");
    }
    return run;
}

}  // namespace tarvo::lib
