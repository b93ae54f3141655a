#pragma once

#include "estimation/engine_settings.h"
#include "report/run_report.h"
#include "run/calibration_run.h"
#include "run/run_trace.h"

namespace tarvo {

// Fills the report of a run that ended with outcome, from what the run left
// in trace, as far as the run got.
void FillRunReport(RunReport& report, int mode, const EngineSettings& engine, RunOutcome outcome,
                   const RunTrace& trace, double wallSeconds);

}  // namespace tarvo
