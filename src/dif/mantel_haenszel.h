#pragma once

#include <limits>

#include "dif/dif_data.h"

namespace tarvo::dif {

// The Mantel-Haenszel screen of one item. For a right/wrong item (Holland and
// Thayer 1988): the continuity-corrected chi-square with 1 df, the common
// odds ratio alpha (the reference group's odds of a right answer over the
// focal group's, above 1 where the item favours the reference group), delta =
// -2.35 ln alpha on the ETS delta scale with its standard error by the
// variance of ln alpha of Robins, Breslow and Greenland (1986). For an item
// scored 0..m: Mantel's (1963) ordinal chi-square with 1 df on the item's
// scores, the Liu-Agresti (1996) common cumulative odds ratio as alpha (and
// its delta), and the standardized mean difference with the item's SD.
struct MantelResult {
    static constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
    double chiSquare = kNaN;
    double p = kNaN;
    double alpha = kNaN;
    double delta = kNaN;
    double seDelta = kNaN;  // right/wrong items only
    double smd = kNaN;      // items scored 0..m: focal less reference, by stratum
    double itemSd = kNaN;   // items scored 0..m: over both groups
    char category = ' ';    // 'A', 'B' or 'C'; blank where undefined
};

// The strata of fewer than two examinees carry no information and are left
// out, as are those where one group is absent (their terms are 0).
MantelResult MantelHaenszel(const ItemStrata& strata);
MantelResult MantelOrdinal(const ItemStrata& strata);

// The ETS categories of a right/wrong item (Zwick 2012): C where |delta| is
// at least 1.5 and above 1.0 by a one-sided test at 5%, A where |delta| is
// below 1.0 or the chi-square's p is not below 5%, else B. Blank when
// undefined.
char EtsCategory(double delta, double seDelta, double p);

// The ETS categories of an item scored 0..m: C where p is below 5% and
// |SMD| / SD above 0.25, A where p is not below 5% or |SMD| / SD at most
// 0.17, else B.
char ScoredItemCategory(double smd, double itemSd, double p);

}  // namespace tarvo::dif
