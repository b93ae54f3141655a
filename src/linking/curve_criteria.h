#pragma once

#include "linking/ability_grid.h"
#include "linking/common_items.h"
#include "linking/link_methods.h"

namespace tarvo::linking {

// The characteristic-curve criteria at (A, B), with their gradient.
//
// Haebara: the weighted sum over the grid of the squared differences
// between each common item's base curve and its new curve carried to the
// base scale (a / A, A b + B, c), added over the items. Stocking-Lord: the
// weighted sum of the squared difference between the two test
// characteristic curves of the common items. The symmetric versions add the
// same criterion on the new scale, where the base items are carried by the
// inverse transformation (A a, (b - B) / A, c) and compared with the new
// items. method is Haebara or StockingLord. No allocation.
double CurveCriterion(LinkMethod method, const AnchorSet& set, const AbilityGrid& grid,
                      bool symmetric, double A, double B, double gradient[2]);

}  // namespace tarvo::linking
