#pragma once

#include <vector>

#include "linking/forms/ability_grid.h"
#include "linking/forms/item_form.h"
#include "linking/forms/step_watch.h"
#include "linking/tables/scored_items.h"

// The summed-score table of a form: for each raw score, the ability it
// stands for and how many examinees the population gives it.
namespace tarvo::linking {

struct ScoreRow {
    int score = 0;
    double proportion = 0;  // expected proportion of the population with this score
    double eap = 0;         // posterior mean of theta given the score
    double eapSd = 0;       // posterior SD
    double ml = 0;          // the maximum of the score's likelihood; NaN where none
};

// From the likelihood of every summed score at the population's points
// (Lord and Wingersky's recursion): EAP and SD over the population, the
// expected proportions, and the ML ability where the score's likelihood has
// its highest value at a finite theta (never for 0 and the top score, and
// not for low scores of 3PL items whose likelihood is highest where theta
// goes to minus infinity, at the sum of the c's). The raw score of items
// scored 0..m is the sum of their scores. The watch hears the likelihoods
// formed and the scores done; a stop asked of it ends the table at once,
// empty.
std::vector<ScoreRow> SummedScoreTable(const std::vector<ScoredItem>& items,
                                       const AbilityGrid& population, const StepWatch& watch = {});
std::vector<ScoreRow> SummedScoreTable(const ItemForm& items, const AbilityGrid& population,
                                       const StepWatch& watch = {});

}  // namespace tarvo::linking
