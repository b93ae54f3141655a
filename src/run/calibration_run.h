#pragma once

#include <functional>

#include "estimation/classic/driver.h"
#include "estimation/engine_settings.h"
#include "input/front_part.h"
#include "platform/run_host.h"
#include "report/run_report.h"

namespace tarvo {

// How a run ended.
enum class RunOutcome {
    Finished,          // the result file is complete and the viewer was started
    Stopped,           // the user pressed Stop; what was computed is written
    EndedAtCheck,      // missing response file, an output file that cannot be
                       // written or is an input file, or no memory for the
                       // input tables: nothing estimated
    OutputIncomplete,  // a write to the result file failed, or memory ran out
                       // or anything else failed during estimation: the
                       // result is not whole
};

// One whole calibration run, as "Go" starts it: reads the settings and the
// input files, opens the result file, estimates in the host's calibration
// mode, writes the result and starts the viewer. Everything it needs from the
// user interface goes through host.
RunOutcome RunCalibration(RunHost& host);

// The same run with a chosen thread count and arithmetic; the result file is
// the same for every thread count. The host is called only from the calling
// thread. RunCalibration(host) uses every core and the fast arithmetic.
RunOutcome RunCalibration(RunHost& host, const EngineSettings& engine);

// The same run; when report is not null it is filled with what the run did,
// for every ending as far as the run got. The result file does not depend on
// it.
RunOutcome RunCalibration(RunHost& host, const EngineSettings& engine, RunReport* report);

// What a run estimates with, between reading the inputs and closing the
// result: the classic paths, or another estimator over the same files.
struct EstimationStage {
    // The mode whose result layout is written; 0: the host's calibration mode.
    int layoutMode = 0;
    // Checks the inputs before the result file is touched; false ends the run
    // at the check (the stage shows its own message). Empty: no check.
    std::function<bool(const RunInputs&, RunHost&)> check;
    // Estimates in the layout's mode, shows progress, polls Stop and writes
    // the result's rows.
    std::function<EstimationOutcome(int mode, RunInputs&, RunHost&, ResultWriter&, const Engine&)>
        estimate;
};

// The run with a given estimation stage: the same input checks, result file
// checks, failure messages, report and viewer as RunCalibration.
RunOutcome RunCalibrationWith(RunHost& host, const EngineSettings& engine, RunReport* report,
                              const EstimationStage& stage);

}  // namespace tarvo
