#pragma once

// Start values of the items scored 0..m: the slope's sign from the item's
// correlation with the rest of the test, so that a reverse-keyed item starts
// on its own side of zero (a GRM item started on the wrong side has its
// thresholds in the wrong order for every slope between, and EM stops at a
// slope near zero), and thresholds from the category counts.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "estimation/polytomous/inputs/poly_categories.h"
#include "estimation/polytomous/poly_items.h"

namespace tarvo::poly {

// Per item, -1 where its score correlates negatively with the summed score
// on the other items (over the examinees who answered it), +1 otherwise.
std::vector<int> RestSigns(std::span<const std::uint8_t> codes, std::span<const Item> items);

// a = sign, and each threshold where the share of scores at or above it
// (GRM), or the ratio of adjacent categories (partial credit), puts it on
// the logistic metric for that slope.
void StartPolytomous(const CategoryCounts& counts, int sign, Item& item);

}  // namespace tarvo::poly
