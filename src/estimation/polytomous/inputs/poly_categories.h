#pragma once

// The categories of every item as the responses hold them: the count of
// each score 0..8, the number of categories (the largest score seen + 1),
// the check that no category below the largest is unused, and the merging
// of unused ones on request.

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "core/polytomous_models.h"

namespace tarvo::poly {

using CategoryCounts = std::array<std::int32_t, kMostCategories>;

// Per item, the count of each score among the codes (examinee after
// examinee, itemCount codes each; 9 is missing).
std::vector<CategoryCounts> CountCategories(std::span<const std::uint8_t> codes,
                                            std::size_t itemCount);

// The largest score seen + 1; 0 for an item without a valid response.
int CategoriesOf(const CategoryCounts& counts);

// Empty, or the first item (numbered from 1) with an unused category below
// its largest score, named with the category, as the run's error. keyed:
// per item, 1 where the key scores it right or wrong (empty: none is); such
// an item that everyone answered right is no item of unused categories but
// one answered alike, which the estimator holds at its bound and the
// report flags.
std::string EmptyCategoryError(std::span<const CategoryCounts> counts,
                               std::span<const char> keyed = {});

// Renumbers the scores of every item with unused categories below its
// largest so that the used ones follow each other from 0, in codes and
// counts; one sentence per item changed. An item the key scores (keyed,
// as above) keeps its 0 and 1.
std::vector<std::string> CollapseEmptyCategories(std::span<std::uint8_t> codes,
                                                 std::vector<CategoryCounts>& counts,
                                                 std::span<const char> keyed = {});

}  // namespace tarvo::poly
