#pragma once

#include <vector>

#include "linking/forms/item_form.h"
#include "linking/tables/scored_items.h"

namespace tarvo::linking {

// The expected summed score (test characteristic curve) of the items at
// theta.
double ExpectedScore(const ItemForm& items, double theta);

// The test characteristic curve (the expected summed score), the test
// information curve and the standard error of theta 1 / sqrt(information)
// at every theta given.
struct TestCurves {
    std::vector<double> theta, expected, information, se;
};
TestCurves MakeTestCurves(const std::vector<ScoredItem>& items, const std::vector<double>& theta);
TestCurves MakeTestCurves(const ItemForm& items, const std::vector<double>& theta);

// 161 points from -4 to 4: the abilities the curves are shown over.
std::vector<double> CurveAbilities();

}  // namespace tarvo::linking
