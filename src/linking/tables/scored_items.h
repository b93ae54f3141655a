#pragma once

#include <array>
#include <vector>

#include "core/polytomous_models.h"
#include "linking/forms/item_form.h"

// The items of a test as its summed score counts them: right/wrong items of
// the 3PL family (scored 0 or 1) and items scored 0..m by the graded
// response or the partial credit models, with each category's probability
// at an ability and its derivative by the ability.
namespace tarvo::linking {

enum class ItemScoring {
    RightWrong,     // P(1) = c + (1 - c) / (1 + exp(-D a (theta - b)))
    Graded,         // P(X >= k) = 1 / (1 + exp(-D a (theta - b_k)))
    PartialCredit,  // P(X = k) proportional to exp(sum over j <= k of D a (theta - b_j))
};

struct ScoredItem {
    ItemScoring scoring = ItemScoring::RightWrong;
    int categories = 2;  // scores 0 .. categories - 1; 1: an item that scores nothing
    double a = 1, c = 0;
    std::array<double, kMostCategories - 1> b{};  // right/wrong items: b[0]
};

// A form's items as right/wrong items with its a, b and c.
std::vector<ScoredItem> ScoredItemsOf(const ItemForm& form);

// The highest summed score of the items.
int HighestScore(const std::vector<ScoredItem>& items);

// Each category's probability, category 0 first, and its derivative by
// theta.
struct CategoryCurves {
    std::array<double, kMostCategories> p{}, first{};
};
void CategoryCurvesAt(const ScoredItem& item, double theta, CategoryCurves& out);

// The probabilities alone.
void CategoryProbabilitiesAt(const ScoredItem& item, double theta, double* p);

// The expected score of the item and its Fisher information at theta.
double ExpectedItemScore(const ScoredItem& item, double theta);
double ScoredItemInformation(const ScoredItem& item, double theta);

}  // namespace tarvo::linking
