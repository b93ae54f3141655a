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

// The child's side of a marginal run.
bool IsMarginalChildRun(int argc, char** argv);
int MarginalChildMain(int argc, char** argv);

}  // namespace tarvo::bench
