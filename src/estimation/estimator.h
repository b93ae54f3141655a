#pragma once

// What every estimator implements and what the run hands it. The classic
// paths (theta-only, items-only, joint) and the marginal estimator are
// implementations; the run (src/run) picks one from the request, and owns
// everything around it: the inputs, the result file, the Stopped line, the
// report and the viewer.

#include <functional>
#include <string>

#include "core/estimation_outcome.h"
#include "estimation/engine_settings.h"
#include "input/front_part.h"
#include "output/result_writer.h"
#include "parallel/worker_pool.h"
#include "platform/run_host.h"

namespace tarvo {

// What a run computes with: its threads and the arithmetic of its loops.
struct Engine {
    WorkerPool& pool;
    Arithmetic arithmetic = Arithmetic::Fast;
    VectorUnit vectorUnit = VectorUnit::Best;
};

class Estimator {
  public:
    virtual ~Estimator() = default;

    // The mode whose result layout the run writes.
    virtual int LayoutMode() const = 0;

    // Empty, or why the inputs as read cannot be estimated; the run then
    // ends at its check with this message, before the result file is
    // touched. A file the estimator reads here itself (the item-models file,
    // the held items' file) asks stop while it is opened or read; a stop
    // ends the check with a refusal, and the run, asking its host, ends as
    // stopped while its inputs were read.
    virtual std::string CheckInputs(const RunInputs& inputs,
                                    const std::function<bool()>& stop) const {
        (void)inputs;
        (void)stop;
        return {};
    }

    // Estimates, shows progress, answers Stop at its check points and hands
    // the result's rows to the writer. The host and the writer are used only
    // from the calling thread; the result does not depend on the number of
    // threads. The tables are left as the estimation ended them.
    virtual EstimationOutcome Estimate(RunInputs& inputs, RunHost& host, ResultWriter& writer,
                                       const Engine& engine) = 0;
};

// done * 100 / total rounded to the nearest whole number, halves to even:
// the percent every estimator's progress shows.
int RoundedPercent(std::size_t done, std::size_t total);

}  // namespace tarvo
