#pragma once

// The priors of an item scored 0..m, added to its expected log-likelihood:
// log-normal on the size of its own slope (log |a| ~ N(mean, SD), so that a
// reverse-keyed item keeps its negative a; a common slope takes none, it
// sets the scale as the population's SD would) and normal on every
// threshold b_k = -d_k / (D a) (a rated item's location moves them all).
// Either prior is off by default; on, each keeps the slope on the side of
// 0 it starts on (its density falls to 0 at a = 0), which the item-rest
// correlation chose.

#include "core/marginal_settings.h"
#include "estimation/polytomous/poly_items.h"

namespace tarvo::poly {

// The log of the priors at the item; gradient and information (its
// curvature where it adds information), when given, by the item's free
// parameters get their terms added.
double AddPolytomousPriors(const Item& item, const Priors& priors, double* gradient,
                           double* information);

}  // namespace tarvo::poly
