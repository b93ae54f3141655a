#pragma once

#include <optional>
#include <string>
#include <vector>

#include "linking/forms/item_form.h"
#include "linking/forms/step_watch.h"

// IRT true-score equating of a new form to a base form (Kolen and Brennan
// 2014, ch. 6): a new-form true score tau stands for the theta at which the
// new form's characteristic curve is tau, and equates to the base form's
// characteristic curve at that theta. True scores at or below the sum of
// the new form's c's have no theta; they are equated by the straight line
// from (0, 0) to (sum of the new c's, sum of the base c's). With 4PL items,
// whose curves end at u below 1, so do the true scores at or above the sum
// of the new form's u's: by the straight line from (sum of the new u's,
// sum of the base u's) to (the new form's items, the base form's items).
namespace tarvo::linking {

struct EquatingRow {
    int newScore = 0;
    double theta = 0;      // on the base scale; NaN where the straight line equates
    double baseScore = 0;  // the base form's equivalent
};

struct Equating {
    std::optional<std::vector<EquatingRow>> rows;  // new scores 0 .. number of new items
    std::string error;
};

// newOnBase: the new form's items already on the base scale. Every a must
// be positive, for the characteristic curve to rise. The watch hears each
// score done; a stop asked of it gives no rows and the error "stopped".
Equating TrueScoreEquating(const ItemForm& newOnBase, const ItemForm& base,
                           const StepWatch& watch = {});

}  // namespace tarvo::linking
