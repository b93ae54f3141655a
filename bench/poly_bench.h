#pragma once

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

// The child's side of one polytomous run.
bool IsPolytomousChildRun(int argc, char** argv);
int PolytomousChildMain(int argc, char** argv);

}  // namespace tarvo::bench
