#pragma once

#include "estimation/engine_settings.h"
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

}  // namespace tarvo
