#pragma once

#include "estimation/calibration_run.h"
#include "estimation/engine_settings.h"
#include "estimation/run_trace.h"
#include "report/run_report.h"

namespace tarvo {

// Fills the report of a run that ended with outcome, from what the run left
// in trace, as far as the run got.
void FillRunReport(RunReport& report, int mode, const EngineSettings& engine, RunOutcome outcome,
                   const RunTrace& trace, double wallSeconds);

}  // namespace tarvo
