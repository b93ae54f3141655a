#pragma once

#include <cstddef>
#include <vector>

#include "dif/dif_data.h"

namespace tarvo::dif {

// One group's observed score on an item by matching score, for the plot that
// sets the two groups side by side: each stratum that holds at least one of
// the group's examinees, their count and their mean score on the item (a
// right/wrong item's proportion correct).
struct ObservedCurve {
    std::vector<std::size_t> score, count;
    std::vector<double> meanScore;
};

// Both groups' curves of one item of a comparison.
struct ObservedItem {
    ObservedCurve reference, focal;
};

// Group g (0 the reference, 1 the focal group) of an item's strata.
ObservedCurve ObservedByScore(const ItemStrata& strata, std::size_t g);

}  // namespace tarvo::dif
