#pragma once

#include <cstdint>

#include "linking/methods/link_methods.h"

namespace tarvo::linking {

struct BootstrapErrors {
    double seA = kUnknown, seB = kUnknown;
    int replicates = 0;  // those the method could link (a resample may leave it nothing to go on)
};

// The standard errors of one method's constants as the SD over `replicates`
// resamples of the common items (drawn with replacement, as many as there
// are). The resamples depend only on the seed and the number of common
// items, so every method sees the same ones and a rerun gives the same
// errors. The watch hears each replicate done; a stop asked of it ends the
// resampling with no errors (replicates says how many were linked).
BootstrapErrors Bootstrap(LinkMethod method, const AnchorSet& set, const LinkSettings& settings,
                          int replicates, std::uint64_t seed, const StepWatch& watch = {});

}  // namespace tarvo::linking
