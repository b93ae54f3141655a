#pragma once

#include <cstddef>

namespace tarvo::bench {

// The least processor time one E-step's memory traffic takes on this core,
// measured: every examinee reads one row of 64 doubles per group of three
// items from pattern tables of the set's size and adds a row into sums of
// that size, its patterns drawn among the eight without a missing
// response, with nothing else done (no exponentials, no trimmed tails, no
// M-step). The tables outgrow the first cache, so this is the rate of the
// level that serves them, not the first cache's.
double MeasuredEStepFloorSeconds(std::size_t persons, std::size_t items);

}  // namespace tarvo::bench
