#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "fit/rest_score_expected.h"
#include "fit/sx2_table.h"

namespace tarvo::fit {

// The examinees who answered every item, counted by total score: how many
// have each total, and per total and item how many of them answered that
// item correctly. Each item's rest-score table follows from these: with
// rest score r, an examinee either missed the item at total r or answered it
// at total r + 1.
struct TotalScoreCounts {
    std::size_t items = 0;
    std::vector<double> examinees;  // per total score 0 .. items
    std::vector<double> correct;    // total t, item i at t * items + i
    std::size_t complete = 0;       // examinees counted
    std::size_t leftOut = 0;        // examinees with a missing response, not counted

    // Item i's table by rest score 0 .. items - 1 into the two spans.
    void RestScoreTable(std::size_t item, std::span<double> examineesOut,
                        std::span<double> correctOut) const;
};

// responses: codes 1, 0 and 9, examinee after examinee, items codes each.
TotalScoreCounts CountTotalScores(std::span<const std::uint8_t> responses, std::size_t items);

// S-X2 of every item (Orlando & Thissen 2000): observed and expected correct
// answers by rest score, over the examinees who answered every item, against
// the item parameters and the ability distribution of the grid. estimated[i]
// is the number of item i's parameters the run estimated.
std::vector<Sx2Outcome> SummedScoreFit(std::span<const double> a, std::span<const double> b,
                                       std::span<const double> c, std::span<const int> estimated,
                                       AbilityGrid grid, const TotalScoreCounts& counts);

// The generalized S-X2 of every item of a test whose items are scored in
// any number of categories (Kang & Chen 2007): per item, rest score and
// category the observed and the expected counts over the examinees who
// answered every item (codes 0 .. categories - 1 each; 9 or a code above
// the item's categories is a missing response), against the items and the
// ability distribution of the grid. For right/wrong items it is the S-X2
// above. complete and leftOut receive the examinees counted and left out.
struct CategoryFitCounts {
    std::size_t complete = 0;
    std::size_t leftOut = 0;
};
std::vector<Sx2Outcome> CategorySummedScoreFit(std::span<const ScoredItem> items,
                                               std::span<const int> estimated, AbilityGrid grid,
                                               std::span<const std::uint8_t> responses,
                                               CategoryFitCounts& counts);

}  // namespace tarvo::fit
