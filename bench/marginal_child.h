#pragma once

#include <cstddef>
#include <string>

#include "bench_data.h"
#include "core/marginal_settings.h"

namespace tarvo::bench {

// The settings of a marginal fit without priors, whose maximum is found
// closely enough to be compared with another program's to 0.01.
MarginalSettings WithoutPriors(MarginalModel model = MarginalModel::ThreePL);

// The simulated sets of the marginal estimator's benchmark.
struct MarginalSet {
    const char* name;
    std::size_t persons, items;
    bool large;          // left out by --quick
    bool withReference;  // fitted by OpenMx and the classic fit too
};
// W shows the standard errors' share at the largest test whose errors
// come from the whole information (400 items).
inline constexpr MarginalSet kMarginalSets[] = {{"S", 1'000, 45, false, true},
                                                {"M", 10'000, 60, false, true},
                                                {"L", 50'000, 100, true, true},
                                                {"W", 5'000, 400, true, false}};

// One marginal 3PL run (tarvo-run --method mml) of a set's files in a fresh
// child process: with the default priors, or with none and a tighter
// convergence, for comparing the maximum with another program's.
struct MarginalMeasure {
    bool ok = false;
    std::string error;
    double wall = 0;
    int cycles = 0;
    int converged = 0;
    // The first cycle whose start was within 0.01 of the final log-likelihood:
    // how long EM took to reach the maximum, whatever its stop rule.
    int cyclesToMaximum = 0;
    double logLikelihood = 0;
    double secondsPerCycle = 0;  // wall time of one EM cycle after the first
    double errorSeconds = 0;     // wall time of the standard errors
    // The same in processor time (every thread's), which other load on the
    // machine disturbs less, and the whole run's.
    double cpuPerCycle = 0;
    double errorCpu = 0;
    double runCpu = 0;
    long peakKiB = 0;
    long heapKiB = 0;
};
MarginalMeasure RunMarginalInChild(unsigned threads, const DataSet& data, const DataFiles& files,
                                   const std::string& output, bool priors = true);

// The child's side of a marginal run.
bool IsMarginalChildRun(int argc, char** argv);
int MarginalChildMain(int argc, char** argv);

}  // namespace tarvo::bench
