#pragma once

#include <string>

#include "report/run_report.h"

namespace tarvo::report {

// The short summary a command-line run prints after the run: the warnings of
// the sections that lead (the input check's findings), each on its own line
// beginning "WARNING ", then one line on how it ended; for the marginal estimator its
// log-likelihood, the priors that acted and the estimated population; the reliabilities, the
// raw-score order in the 1PL modes, the lines of the extra sections, then each other warning. A run
// that ended at a check has the line on how it ended and the sections' warnings only (the input
// check's findings may say why). Every line ends with '\n'.
std::string SummaryText(const RunReport& report);

// The first line alone, without its line end, e.g. "Settled after 23 passes
// (MSError change 4.1e-11)."
std::string EndingLine(const RunReport& report);

// Every item of the report held at the item file's values (none: false).
bool EveryItemHeld(const RunReport& report);

// A marginal run that held every item at the item file's values and did
// not estimate the population: its EM cycles estimated nothing and no
// prior acted, so neither is worth a sentence.
bool OnlyScored(const RunReport& report);

// "Population: mean 0.123 (SE 0.045), SD 1.050 (SE 0.040)."
std::string PopulationLine(const PopulationEstimate& population);

}  // namespace tarvo::report
