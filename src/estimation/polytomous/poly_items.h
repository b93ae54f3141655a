#pragma once

// One item of a polytomous run as plain data, whatever its model: its row
// of the item model table, its values and the mask of what is estimated.
// The functions below read the item through its row: its category
// probabilities at an ability and their derivatives by the item's free
// parameters, which the row packs into a vector.

#include <array>
#include <span>
#include <string_view>

#include "core/marginal_models.h"
#include "core/polytomous_models.h"
#include "estimation/models/item_model.h"

namespace tarvo::poly {

using models::Item;
using models::kMostFree;
using models::kMostThresholds;

// An item of the request's models with the given categories: two or fewer
// take the right/wrong model, more the polytomous one. A rated item's scale
// is its number of categories until told otherwise.
Item ItemOf(int categories, const MarginalModelRules& binary, PolytomousModel polytomous);

// An item of the polytomous model with the given categories (two or more);
// a nominal item has its categories as options even where they are two.
Item PolytomousItem(int categories, PolytomousModel polytomous);

// A rated item's location (the mean of its intercepts) and the offsets of
// its intercepts from it. With the slope common to the rated items, the
// offsets are shared exactly when the thresholds' steps are.
double LocationOf(const Item& item);
void StepsOf(const Item& item, std::span<double> steps);

// The same item with each intercept a free parameter of its own and its
// slope held: the derivatives by d_1..d_m that the scale's steps are formed
// from.
Item WithFreeThresholds(const Item& item);

// An item scored 0..m: its intercepts from its slope and thresholds (an
// item held at an item file's values), and its thresholds from its slope
// and intercepts. Where |a| < kLeastDiscrimination the thresholds are
// still -d / (D a), but far beyond any ability: not locations.
void InterceptsFromThresholds(Item& item);
void ReportThresholds(Item& item);

// How many parameters the estimator moves, and the item's values of them.
int FreeCount(const Item& item);
void PackFree(const Item& item, std::span<double> values);
void UnpackFree(std::span<const double> values, Item& item);

// Keeps a right/wrong item's free parameters in their ranges; false when
// the values cannot be an item of the model (not finite, GRM intercepts
// not falling, a common slope not above 0: its sign only turns the
// ability scale over). An item scored 0..m has no other bound.
bool KeepInRange(Item& item, double lowestC);

// P(X = k) for k = 0..categories - 1.
void CategoryProbabilities(const Item& item, double theta, std::span<double> p);

// The derivatives of P(X = k) by the free parameters: categories rows of
// FreeCount values. p from CategoryProbabilities at the same theta.
void CategoryDerivatives(const Item& item, double theta, std::span<const double> p,
                         std::span<double> derivatives);

// The model's name in the result file.
std::string_view ModelNameOf(const Item& item);

}  // namespace tarvo::poly
