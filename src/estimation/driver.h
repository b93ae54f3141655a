#pragma once

#include <cstddef>

#include "estimation/engine_settings.h"
#include "estimation/worker_pool.h"
#include "core/run_tables.h"
#include "output/result_writer.h"
#include "platform/run_host.h"

namespace tarvo {

// What a run computes with: its threads and the arithmetic of its loops.
struct Engine {
    WorkerPool& pool;
    Arithmetic arithmetic = Arithmetic::Fast;
    VectorUnit vectorUnit = VectorUnit::Best;
};

// The estimation stage of a run: dispatches on the calibration mode into the
// path its rules name (see core/modes.h): theta-only (modes 1, 7),
// items-only (2, 4, 8) or joint (3, 5, 6). Shows progress, polls Stop at its check points and hands
// rows to the writer. Returns true when the user stopped the run. The host
// and the writer are used only from the calling thread; the result does not
// depend on the number of threads.
bool RunEstimation(int mode, ItemTable& items, PersonTable& persons, RunHost& host,
                   ResultWriter& writer, const Engine& engine);

bool RunThetaOnly(int mode, ItemTable& items, const PersonTable& persons, RunHost& host,
                  ResultWriter& writer, const Engine& engine);
bool RunItemsOnly(int mode, ItemTable& items, const PersonTable& persons, RunHost& host,
                  ResultWriter& writer, const Engine& engine);
bool RunJoint(int mode, ItemTable& items, PersonTable& persons, RunHost& host,
              ResultWriter& writer, const Engine& engine);

// done * 100 / total rounded to the nearest whole number, halves to even.
int RoundedPercent(std::size_t done, std::size_t total);

}  // namespace tarvo
