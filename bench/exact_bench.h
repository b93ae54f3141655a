#pragma once

#include <string>

namespace tarvo::bench {

// The arithmetic a run chooses by its size: what the reference loops cost
// beside the fast kernels on whole runs of sizes around the bound below
// which a run takes the reference loops, and how many items and examinees
// of runs at and above that bound print other fields with the fast kernels
// than with the reference loops (none may). Quick: fewer and smaller sets.
void PrintExactSection(const std::string& dataDir, unsigned threads, bool quick);

}  // namespace tarvo::bench
