#pragma once

#include <optional>
#include <string>

#include "estimation/classic/driver.h"
#include "input/front_part.h"

namespace tarvo {

// What one calibration run leaves behind besides its result file: the tables
// as the run ended with them and how the estimation stage went, for the run
// report. Each part stays empty when the run ended before reaching it.
struct RunTrace {
    std::optional<RunInputs> inputs;
    std::optional<EstimationOutcome> estimation;
    std::string outputFile;
    unsigned threads = 0;  // worker threads the estimation used
};

}  // namespace tarvo
