#pragma once

#include <cmath>
#include <cstddef>
#include <string>

namespace tarvo::bench {

// The polytomous estimator on the shared simulated set sim_grm5 (10,000 x
// 30, five categories): GRM and GPCM through the whole run in a child
// process (cycles, wall and processor seconds, log-likelihood, memory), and
// with an OpenMx script the same fit by OpenMx between two of ours (paired
// runs) and the ratios.
void PrintPolytomousSection(const std::string& realDir, const std::string& workDir,
                            unsigned threads, const std::string& openmxScript);

// The recovery of generating GRM, GPCM and PCM items (10 of them) at three
// sample sizes, replicates each: RMSE of a and of the thresholds per size.
void PrintRecoverySection(const std::string& workDir, unsigned threads, int replicates);

// One whole run in a child process: the model by its --model name, the
// quadrature of this section, no priors but the model's own.
struct PolyMeasure {
    bool ok = false;
    std::string error;
    double wall = 0, cpu = 0;
    int cycles = 0;
    double logLikelihood = NAN;
    long peakKiB = 0, heapKiB = 0;
};
PolyMeasure RunPolyInChild(unsigned threads, const std::string& model, const std::string& responses,
                           std::size_t items, const std::string& output);

// The cost of a run by model as the test grows (simulated GRM and GPCM of
// five categories, 3PL, the same examinees and items each): processor
// seconds, peak memory and the ratio to the 3PL, standard errors included.
// quick stops at 5,000 x 200.
void PrintScalingSection(const std::string& workDir, unsigned threads, bool quick);

// The child's side of one polytomous run.
bool IsPolytomousChildRun(int argc, char** argv);
int PolytomousChildMain(int argc, char** argv);

}  // namespace tarvo::bench
