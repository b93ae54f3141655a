#pragma once

#include <cstddef>
#include <span>

namespace tarvo {

// The likelihood of every summed score at every point of an ability grid,
// by the recursion of Lord and Wingersky (1984): the items are added one at
// a time, and the score distribution after item i at a point is the one
// before it shifted by each of the item's scores, weighted by that score's
// probability there. Exact for any mix of items, in items x points x scores
// steps, where summing over every response pattern would take exponential
// time.
//
// categories[i] is item i's number of score categories (scores 0 .. m - 1;
// 2 for a right/wrong item). probabilities holds, item after item, each
// category's probability at every point: item i takes categories[i] rows of
// points values, category 0 first. out receives (1 + the highest summed
// score) rows of points values: row s is P(summed score = s | theta at that
// point). out.size() must be that many rows times points.
void SummedScoreLikelihoods(std::span<const int> categories, std::span<const double> probabilities,
                            std::size_t points, std::span<double> out);

// The same for right/wrong items only: correct holds, item after item, the
// probability of a correct answer at every point (items x points), and out
// receives (items + 1) x points.
void SummedScoreLikelihoods(std::span<const double> correct, std::size_t points,
                            std::span<double> out);

// One step of that recursion for a right/wrong item: rows holds the
// likelihoods of the scores 0 .. reached (rows of points values) of the items
// added so far, and afterwards those of 0 .. reached + 1 with this item
// added, in place; correct is the item's probability of a correct answer at
// every point. rows must have room for reached + 2 rows; what row
// reached + 1 held before is not read.
void AddRightWrongItem(std::span<const double> correct, std::size_t reached, std::size_t points,
                       std::span<double> rows);

// One step of the recursion for any item: rows holds the likelihoods of the
// scores 0 .. reached of the items added so far, and afterwards those of
// 0 .. reached + scores - 1 with this item added, in place; probabilities
// holds the item's scores rows of points values, score 0 first. rows must
// have room for reached + scores rows.
void AddScoredItem(std::span<const double> probabilities, std::size_t scores, std::size_t reached,
                   std::size_t points, std::span<double> rows);

// The highest summed score of items with these category counts.
std::size_t HighestSummedScore(std::span<const int> categories);

}  // namespace tarvo
