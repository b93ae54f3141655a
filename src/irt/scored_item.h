#pragma once

// An item as a summed score counts it: a right/wrong item of the 3PL family
// (scored 0 or 1) or an item scored 0..m by the graded response or the
// partial credit models, and each category's probability at an ability.
// The estimators, the fit statistics and the score tables all take their
// category probabilities from here.

#include <array>
#include <span>

#include "core/polytomous_models.h"

namespace tarvo {

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
    // A right/wrong item's upper asymptote (4PL): P(1) = c + (u - c) / (1 +
    // exp(-D a (theta - b))); 1 for every other item.
    double u = 1;
};

// P(X = k), k = 0 .. b.size(), of an item scored by the model with slope a,
// thresholds b (a right/wrong item: its b alone) and, for a right/wrong
// item, the lower asymptote c.
void ItemCategoryProbabilities(ItemScoring scoring, double theta, double a,
                               std::span<const double> b, double c, std::span<double> p);

// The same for the item: p receives item.categories values, category 0
// first (an item that scores nothing: score 0 for certain).
void CategoryProbabilitiesAt(const ScoredItem& item, double theta, double* p);

}  // namespace tarvo
