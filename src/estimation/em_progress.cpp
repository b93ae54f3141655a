#include "estimation/em_progress.h"

#include <cstddef>

#include "estimation/estimator.h"
#include "output/masks.h"

namespace tarvo {

void StartEmLoop(RunHost& host, LoopRecord& loop, const MarginalSettings& settings,
                 const std::string& caption) {
    loop.step = LoopStep::EmCycle;
    loop.passLimit = settings.maxCycles;
    loop.tolerance = settings.tolerance;
    host.ProgressInit(caption);
    host.ProgressSet(0, "Starting EM cycles.");
}

std::function<bool(int, double, double)> EmCycleProgress(RunHost& host, LoopRecord& loop,
                                                         const MarginalSettings& settings) {
    const std::string limit = std::to_string(settings.maxCycles);
    const std::size_t cycles = static_cast<std::size_t>(settings.maxCycles);
    return [&host, &loop, limit, cycles](int cycle, double change, double logLikelihood) {
        loop.logLikelihood.push_back(logLikelihood);
        loop.largestChange.push_back(change);
        host.ProgressSet(RoundedPercent(static_cast<std::size_t>(cycle), cycles),
                         "EM cycle " + std::to_string(cycle) + " of no more than " + limit +
                             ".  Largest change = " + FormatWithMask(change, kMaskChange));
        return !host.ProgressIsCancelled();
    };
}

void EndEmLoop(LoopRecord& loop, int cycles, double largestChange, bool stopped, bool converged) {
    loop.passes = cycles;
    loop.completed = cycles;
    loop.lastChange = largestChange;
    loop.end = stopped ? LoopEnd::Stopped : converged ? LoopEnd::Settled : LoopEnd::PassLimit;
}

}  // namespace tarvo
