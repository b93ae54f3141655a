#pragma once

// Start values of the items scored 0..m: the slope's sign from the item's
// correlation with the rest of the test, so that a reverse-keyed item starts
// on its own side of zero (the slope may still cross zero: the intercepts
// do not depend on its sign), and intercepts from the category counts.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "estimation/polytomous/inputs/poly_categories.h"
#include "estimation/polytomous/poly_items.h"

namespace tarvo::poly {

// Per item, -1 where its score correlates negatively with the rest score,
// the summed score on the other items (over the examinees who answered it),
// +1 otherwise. The rest score counts each item with its own sign, and the
// signs are swept until none changes, so that a test with many
// reverse-keyed items (half of them, say, where every item correlates
// negatively with the plain rest score) has them apart from the others; the
// signs are then turned so that most items, on a tie the first, are +1. A
// test of items keyed alike keeps +1 for every item after one sweep.
std::vector<int> RestSigns(std::span<const std::uint8_t> codes, std::span<const Item> items);

// The row's start: a = sign, and each intercept the logit of the share of
// scores at or above it (GRM), or the log ratio of adjacent categories
// (partial credit). A right/wrong row has none: its items start as the
// dichotomous estimator starts them.
void StartPolytomous(const CategoryCounts& counts, int sign, Item& item);

// The keyed option of each of itemCount items from the key of a run read
// by option ("1".."8" for options 0..7; any other character is no key: -1).
std::vector<int> KeyedOptions(std::string_view optionKey, std::size_t itemCount);

// The nominal items' start values (nominal::StartValues), each option's
// mean rest score counting the number right over the keyed items.
void StartNominal(std::span<const std::uint8_t> codes, std::span<const char> estimated,
                  std::span<Item> items);

}  // namespace tarvo::poly
