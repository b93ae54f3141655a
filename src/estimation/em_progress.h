#pragma once

// What every EM estimator shows and records of its cycles, written once:
// the loop record's limits, each cycle's log-likelihood and largest change
// (in the record and on the progress line), and how the loop ended.

#include <functional>
#include <string>

#include "core/estimation_outcome.h"
#include "core/marginal_settings.h"
#include "platform/run_host.h"

namespace tarvo {

// Starts the record and the progress window: caption, then "Starting EM cycles."
void StartEmLoop(RunHost& host, LoopRecord& loop, const MarginalSettings& settings,
                 const std::string& caption);

// The report an EM calls after each cycle: it records the cycle, shows
// "EM cycle N of no more than M.  Largest change = X" and answers whether to
// go on (false once Stop was asked for).
std::function<bool(int cycle, double largestChange, double logLikelihood)> EmCycleProgress(
    RunHost& host, LoopRecord& loop, const MarginalSettings& settings);

// How the loop ended after its last cycle.
void EndEmLoop(LoopRecord& loop, int cycles, double largestChange, bool stopped, bool converged);

}  // namespace tarvo
