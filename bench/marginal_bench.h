#pragma once

#include <string>

namespace tarvo::bench {

// The marginal estimator on the simulated sets S (1,000 x 45), M (10,000 x
// 60) and L (50,000 x 100, left out by quick): wall time, EM cycles, peak
// memory, and recovery of the generating items (RMSE of a, b, c and the SD
// of (estimate - truth) / SE), beside the classic joint fit of the same
// files.
// With a reference script (bench/reference/openmx_fit.R) a reference
// marginal fit by OpenMx with the same model, priors and quadrature is made
// too, and the ratios of time and RMSE are shown.
void PrintMarginalSection(const std::string& dataDir, unsigned threads, bool quick,
                          const std::string& only, const std::string& referenceScript);

// The marginal fits of the public LSAT section 6 and 7 data in realDir
// (NAME.dat, with other programs' estimates in NAME_peers.csv), without
// priors, beside the best of those programs: log-likelihood and the largest
// differences in a and b.
void PrintRealDataSection(const std::string& realDir, const std::string& workDir);

// With a reference script: the 3PL without priors on S, M and L (L left
// out by quick) by both programs, their log-likelihoods and how far apart
// the estimates are.
void PrintMaximumSection(const std::string& dataDir, unsigned threads, bool quick,
                         const std::string& only, const std::string& referenceScript);

// The standard errors' honesty over replicates sets drawn like M (seeds 1
// to replicates; none when 0): the SD of (estimate - truth) / SE per set,
// and their mean.
void PrintReplicateSection(const std::string& dataDir, unsigned threads, int replicates);

}  // namespace tarvo::bench
