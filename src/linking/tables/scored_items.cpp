#include "linking/tables/scored_items.h"

#include <cmath>

#include "core/model_constants.h"
#include "irt/item_curve.h"
#include "irt/item_information.h"

namespace tarvo::linking {
namespace {

// The logistic curve's derivative s (1 - s) by z, formed from exp(-|z|) so
// that it keeps its digits in both tails.
double LogisticSlope(double z) {
    const double e = std::exp(-std::fabs(z));
    return e / ((1 + e) * (1 + e));
}

}  // namespace

std::vector<ScoredItem> ScoredItemsOf(const ItemForm& form) {
    std::vector<ScoredItem> items(form.size());
    for (std::size_t i = 0; i < form.size(); ++i) {
        items[i].a = form.a[i];
        items[i].b[0] = form.b[i];
        items[i].c = form.c[i];
        items[i].u = form.u[i];
    }
    return items;
}

int HighestScore(const std::vector<ScoredItem>& items) {
    int highest = 0;
    for (const ScoredItem& item : items) highest += item.categories > 1 ? item.categories - 1 : 0;
    return highest;
}

void CategoryCurvesAt(const ScoredItem& item, double theta, CategoryCurves& out) {
    out.first.fill(0);
    CategoryProbabilitiesAt(item, theta, out.p.data());
    if (item.categories <= 1) return;
    const double slope = kD * item.a;
    const int m = item.categories - 1;
    switch (item.scoring) {
        case ItemScoring::RightWrong: {
            out.first[1] = (item.u - item.c) * slope * LogisticSlope(slope * (theta - item.b[0]));
            out.first[0] = -out.first[1];
            return;
        }
        case ItemScoring::Graded:
            // P(X = k) = P(X >= k) - P(X >= k + 1): curve k adds its
            // derivative to category k and takes it from category k - 1.
            for (int k = 1; k <= m; ++k) {
                const double rise = slope * LogisticSlope(slope * (theta - item.b[k - 1]));
                out.first[k] += rise;
                out.first[k - 1] -= rise;
            }
            return;
        case ItemScoring::PartialCredit: {
            // The logit of category k grows by D a k per unit of theta:
            // P_k' = D a P_k (k - mean score).
            double mean = 0;
            for (int k = 0; k <= m; ++k) mean += k * out.p[k];
            for (int k = 0; k <= m; ++k) out.first[k] = slope * out.p[k] * (k - mean);
            return;
        }
    }
}

double ExpectedItemScore(const ScoredItem& item, double theta) {
    if (item.scoring == ItemScoring::RightWrong && item.categories == 2 && item.u == 1) {
        return CurveAt(theta, item.a, item.b[0], item.c).p;
    }
    std::array<double, kMostCategories> p{};
    CategoryProbabilitiesAt(item, theta, p.data());
    double expected = 0;
    for (int k = 1; k < item.categories; ++k) expected += k * p[k];
    return expected;
}

double ScoredItemInformation(const ScoredItem& item, double theta) {
    if (item.categories <= 1) return 0;
    if (item.scoring == ItemScoring::RightWrong && item.u == 1) {
        return ItemInformation(theta, item.a, item.b[0], item.c);
    }
    CategoryCurves curves;
    CategoryCurvesAt(item, theta, curves);
    double information = 0;
    for (int k = 0; k < item.categories; ++k) {
        if (curves.p[k] > 0) information += curves.first[k] * curves.first[k] / curves.p[k];
    }
    return information;
}

}  // namespace tarvo::linking
