#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "estimation/engine_settings.h"

namespace tarvo::bench {

// The scoring loops alone, on one thread, without files: every examinee's
// ability from the true items, and every item's mode-3 calibration from the
// start values against the true abilities.
struct LoopTiming {
    std::string loop;  // "theta" or "items"
    double seconds = 0;
    std::uint64_t evaluations = 0;
};

std::vector<LoopTiming> TimeLoops(Arithmetic arithmetic, std::size_t persons, std::size_t items);

}  // namespace tarvo::bench
