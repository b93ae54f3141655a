#pragma once

#include <cstddef>
#include <limits>

#include "core/run_tables.h"
#include "estimation/engine_settings.h"
#include "output/result_writer.h"
#include "parallel/worker_pool.h"
#include "platform/run_host.h"
#include "report/run_report.h"

namespace tarvo {

// What a run computes with: its threads and the arithmetic of its loops.
struct Engine {
    WorkerPool& pool;
    Arithmetic arithmetic = Arithmetic::Fast;
    VectorUnit vectorUnit = VectorUnit::Best;
};

// How the estimation stage ended, beside the result it wrote.
struct EstimationOutcome {
    bool stopped = false;  // the user stopped the run
    LoopRecord loop;       // the joint loop's passes and ending; NotRun in the other paths
    bool standardized = false;
    // The standard deviation the last standardisation divided by (NaN: none).
    double thetaSpread = std::numeric_limits<double>::quiet_NaN();
    // Theta-only path: examinees estimated and written; items-only path: items.
    std::size_t rowsWritten = 0;
};

// The estimation stage of a run: dispatches on the calibration mode into the
// path its rules name (see core/modes.h): theta-only (modes 1, 7),
// items-only (2, 4, 8) or joint (3, 5, 6). Shows progress, polls Stop at its
// check points and hands rows to the writer. The host and the writer are
// used only from the calling thread; the result does not depend on the
// number of threads. The tables are left holding what the run ended with:
// the estimated abilities (the theta-only path keeps those it wrote) and
// item parameters (the items-only path keeps those of the rows it wrote).
EstimationOutcome RunEstimation(int mode, ItemTable& items, PersonTable& persons, RunHost& host,
                                ResultWriter& writer, const Engine& engine);

EstimationOutcome RunThetaOnly(int mode, ItemTable& items, PersonTable& persons, RunHost& host,
                               ResultWriter& writer, const Engine& engine);
EstimationOutcome RunItemsOnly(int mode, ItemTable& items, const PersonTable& persons,
                               RunHost& host, ResultWriter& writer, const Engine& engine);
EstimationOutcome RunJoint(int mode, ItemTable& items, PersonTable& persons, RunHost& host,
                           ResultWriter& writer, const Engine& engine);

// done * 100 / total rounded to the nearest whole number, halves to even.
int RoundedPercent(std::size_t done, std::size_t total);

}  // namespace tarvo
