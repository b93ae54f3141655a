#pragma once

#include <array>
#include <vector>

#include "core/polytomous_models.h"
#include "irt/scored_item.h"
#include "linking/forms/item_form.h"

// The items of a test as its summed score counts them (irt/scored_item.h),
// with each category's probability at an ability and its derivative by the
// ability.
namespace tarvo::linking {

// The item and its category probabilities are the response curves' own.
using tarvo::CategoryProbabilitiesAt;
using tarvo::ItemScoring;
using tarvo::ScoredItem;

// A form's items as right/wrong items with its a, b, c and u.
std::vector<ScoredItem> ScoredItemsOf(const ItemForm& form);

// The highest summed score of the items.
int HighestScore(const std::vector<ScoredItem>& items);

// Each category's probability, category 0 first, and its derivative by
// theta.
struct CategoryCurves {
    std::array<double, kMostCategories> p{}, first{};
};
void CategoryCurvesAt(const ScoredItem& item, double theta, CategoryCurves& out);

// The expected score of the item and its Fisher information at theta.
double ExpectedItemScore(const ScoredItem& item, double theta);
double ScoredItemInformation(const ScoredItem& item, double theta);

}  // namespace tarvo::linking
