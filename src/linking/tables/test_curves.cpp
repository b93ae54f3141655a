#include "linking/tables/test_curves.h"

#include <cmath>

#include "irt/item_curve.h"

namespace tarvo::linking {

double ExpectedScore(const ItemForm& items, double theta) {
    double sum = 0;
    for (std::size_t i = 0; i < items.size(); ++i) {
        const Curve curve = CurveAt(theta, items.a[i], items.b[i], items.c[i]);
        // u = 1 keeps the curve's own P, formed without cancellation.
        sum += items.u[i] == 1 ? curve.p : items.c[i] + (items.u[i] - items.c[i]) * curve.s;
    }
    return sum;
}

TestCurves MakeTestCurves(const std::vector<ScoredItem>& items, const std::vector<double>& theta) {
    TestCurves curves;
    curves.theta = theta;
    for (const double t : theta) {
        double expected = 0, information = 0;
        for (const ScoredItem& item : items) {
            expected += ExpectedItemScore(item, t);
            information += ScoredItemInformation(item, t);
        }
        curves.expected.push_back(expected);
        curves.information.push_back(information);
        curves.se.push_back(information > 0 ? 1 / std::sqrt(information) : INFINITY);
    }
    return curves;
}

TestCurves MakeTestCurves(const ItemForm& items, const std::vector<double>& theta) {
    return MakeTestCurves(ScoredItemsOf(items), theta);
}

std::vector<double> CurveAbilities() {
    std::vector<double> theta;
    for (int k = 0; k <= 160; ++k) theta.push_back(-4 + k * 0.05);
    return theta;
}

}  // namespace tarvo::linking
