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
    std::size_t persons = 0;
    std::size_t items = 0;
    double seconds = 0;     // wall time
    double cpuSeconds = 0;  // processor time of the thread: less disturbed by other load
    std::uint64_t evaluations = 0;
};

std::vector<LoopTiming> TimeLoops(Arithmetic arithmetic, VectorUnit unit, std::size_t persons,
                                  std::size_t items, bool withItemLoops);

}  // namespace tarvo::bench
