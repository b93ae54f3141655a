#pragma once

#include "linking/forms/ability_grid.h"
#include "linking/forms/common_items.h"
#include "linking/forms/step_watch.h"
#include "linking/methods/link_methods.h"

namespace tarvo::linking {

// How the gradient of Haebara's or Stocking-Lord's criterion at (A, B)
// moves with each common item's parameters: into gradient.dA the change of
// its A part and into gradient.dB that of its B part, per unit of each
// parameter, in Sensitivity's order; by central differences with a step of
// 1e-6 times the parameter (at least 1e-6).
//
// One item's parameters change its own curves alone, so only its own
// Haebara terms, or its share of Stocking-Lord's test curves, are formed
// again: the sums over the other items are formed once, and each
// difference is taken of the item's change itself rather than of two whole
// gradients. The cost is the items times the grid, where forming the whole
// criterion again for every parameter costs its square. False, with the
// sensitivity not filled, when the watch's stop was asked.
bool GradientSensitivity(LinkMethod method, const AnchorSet& set, const AbilityGrid& grid,
                         bool symmetric, double A, double B, Sensitivity& gradient,
                         const StepWatch& watch = {});

}  // namespace tarvo::linking
