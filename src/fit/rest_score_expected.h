#pragma once

#include <cstddef>
#include <span>
#include <vector>

#include "irt/scored_item.h"

namespace tarvo::fit {

// The ability distribution a statistic integrates over: points and their
// weights (summing to 1), as the marginal estimator's quadrature holds it
// or a normal laid over the abilities of a classic run.
struct AbilityGrid {
    std::span<const double> theta;
    std::span<const double> weight;
};

// For every item i and every rest score r (the number correct on the other
// items, 0 .. items - 1): the proportion correct the model expects among the
// examinees with that rest score (Orlando & Thissen 2000, with the rest score
// in place of the total score in the denominator):
//
//   E(i, r) = sum_q w_q P_i(q) L_-i(r | q) / sum_q w_q L_-i(r | q),
//
// where L_-i is the summed-score likelihood of the other items (the
// Lord-Wingersky recursion). The likelihoods leaving out each item in turn
// come from halving the item range: each half is left out of a copy with the
// other half added, so the whole costs items^2 log(items) steps instead of
// items^3. out receives items x items values, row i column r; NaN where no
// point of the grid gives the rest score any weight.
void ExpectedProportionsByRestScore(std::span<const double> a, std::span<const double> b,
                                    std::span<const double> c, AbilityGrid grid,
                                    std::span<double> out);

// The same for items of any number of categories (right/wrong items scored
// 0 or 1 beside items scored 0..m): for every item i, rest score r (the
// summed score on the other items) and category k, the proportion of the
// examinees with that rest score the model expects in category k,
//
//   E(i, r, k) = sum_q w_q P_ik(q) L_-i(r | q) / sum_q w_q L_-i(r | q),
//
// by the same halving. Item i's rows are its rest scores 0 .. the highest
// score of the other items, categories values each.
struct RestScoreCategories {
    std::vector<std::size_t> categories;  // per item
    std::vector<std::size_t> offset;      // item i's first value; items + 1 entries
    std::vector<double> values;           // NaN where the rest score has no weight

    std::size_t RestScores(std::size_t item) const;
};
RestScoreCategories ExpectedCategoriesByRestScore(std::span<const ScoredItem> items,
                                                  AbilityGrid grid);

}  // namespace tarvo::fit
