#pragma once

#include <span>
#include <vector>

#include "linking/forms/step_watch.h"
#include "linking/tables/scored_items.h"

// The likelihood of each summed score of a test at an ability, by Lord and
// Wingersky's recursion over the items, one ability at a time: the scores'
// row stays in the cache however many abilities there are.
namespace tarvo::linking {

// P(summed score = s | theta) for s = 0 .. HighestScore(items) at every
// theta: row s of out holds score s's likelihoods over the thetas. The
// watch hears each ability done; false, out not whole, when its stop was
// asked.
bool ScoreLikelihoods(const std::vector<ScoredItem>& items, std::span<const double> theta,
                      std::vector<double>& out, const StepWatch& watch = {});

// One score's likelihood at one theta. Only the scores up to the one asked
// for take part (the points missed, for the upper half of the scores), so
// it costs items times the lesser of the score and its distance from the
// top: half of the whole recursion at most, far less near either end.
class OneScoreLikelihood {
  public:
    explicit OneScoreLikelihood(const std::vector<ScoredItem>& items);
    double operator()(int score, double theta);

  private:
    const std::vector<ScoredItem>& items_;
    int highest_;
    std::vector<double> rows_[2];
};

}  // namespace tarvo::linking
