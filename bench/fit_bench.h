#pragma once

#include <string>

namespace tarvo::bench {

// The fit statistics (src/fit): what they cost beside the run's own time on
// 50,000 x 100 (10,000 x 60 with quick), 3PL classic joint and marginal; Q3
// over 1,000 items; and, with a reference script (bench/reference/rpf_fit.R,
// R with rpf), how far they are from rpf's on the public LSAT section 7 data
// in realDir and on a simulated 1,000 x 20 set.
void PrintFitSection(const std::string& dataDir, const std::string& realDir, unsigned threads,
                     bool quick, const std::string& rpfScript);

}  // namespace tarvo::bench
