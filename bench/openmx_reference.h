#pragma once

#include <cmath>
#include <cstddef>
#include <string>
#include <vector>

#include "bench_data.h"
#include "item_values.h"

namespace tarvo::bench {

// A reference marginal fit of a simulated set by OpenMx, through the script
// bench/reference/openmx_fit.R (which needs R with OpenMx and rpf): the 3PL
// with the default priors, or without any.
struct ReferenceMeasure {
    bool ok = false;
    double seconds = 0;  // the fit alone, standard errors included
    int cycles = 0;
    double logLikelihood = NAN;  // of the data alone, priors left out
    std::vector<ItemValues> items;
};

// Its estimates go to output, one line "a,b,c,seea,seeb,seec" per item.
ReferenceMeasure RunReference(const std::string& script, const DataFiles& files, std::size_t items,
                              const std::string& output, bool priors);

}  // namespace tarvo::bench
