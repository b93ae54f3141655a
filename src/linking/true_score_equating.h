#pragma once

#include <optional>
#include <string>
#include <vector>

#include "linking/item_form.h"

// IRT true-score equating of a new form to a base form (Kolen and Brennan
// 2014, ch. 6): a new-form true score tau stands for the theta at which the
// new form's characteristic curve is tau, and equates to the base form's
// characteristic curve at that theta. True scores at or below the sum of
// the new form's c's have no theta; they are equated by the straight line
// from (0, 0) to (sum of the new c's, sum of the base c's).
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
// be positive, for the characteristic curve to rise.
Equating TrueScoreEquating(const ItemForm& newOnBase, const ItemForm& base);

}  // namespace tarvo::linking
