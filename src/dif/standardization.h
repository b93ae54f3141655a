#pragma once

#include "dif/dif_data.h"

namespace tarvo::dif {

// The standardized difference of Dorans and Kulick (1986): the focal group's
// mean score on the item less the reference group's, stratum by stratum,
// weighted by the focal group's count, over the strata both groups reach.
// For a right/wrong item it is STD P-DIF (a difference of proportions
// right; negative where the item is harder for the focal group), for an
// item scored 0..m the standardized mean difference (SMD). NaN where no
// stratum holds both groups.
double StandardizedDifference(const ItemStrata& strata);

// The item's score SD over both groups (n - 1 in the denominator).
double ItemScoreSd(const ItemStrata& strata);

// The categories of STD P-DIF (Dorans and Holland 1993): A below 0.05 in
// absolute value, B from 0.05 to below 0.10, C from 0.10 on.
char StdPDifCategory(double stdPDif);

}  // namespace tarvo::dif
