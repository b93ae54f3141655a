#include "irt/scored_item.h"

#include <cstddef>

#include "irt/category_curves.h"
#include "irt/item_curve.h"

namespace tarvo {

void ItemCategoryProbabilities(ItemScoring scoring, double theta, double a,
                               std::span<const double> b, double c, std::span<double> p) {
    switch (scoring) {
        case ItemScoring::RightWrong: {
            const Curve curve = CurveAt(theta, a, b[0], c);
            p[0] = curve.q;
            p[1] = curve.p;
            return;
        }
        case ItemScoring::Graded:
            GrmProbabilities(theta, a, b, p);
            return;
        case ItemScoring::PartialCredit:
            GpcmProbabilities(theta, a, b, p);
            return;
    }
}

void CategoryProbabilitiesAt(const ScoredItem& item, double theta, double* p) {
    if (item.categories <= 1) {
        p[0] = 1;
        return;
    }
    const auto thresholds = static_cast<std::size_t>(item.categories - 1);
    if (item.scoring == ItemScoring::RightWrong && item.u != 1) {
        const double l = CurveAt(theta, item.a, item.b[0], 0).p;
        p[1] = item.c + (item.u - item.c) * l;
        p[0] = (1 - item.u) + (item.u - item.c) * (1 - l);
        return;
    }
    ItemCategoryProbabilities(item.scoring, theta, item.a,
                              std::span<const double>(item.b).first(thresholds), item.c,
                              std::span<double>(p, thresholds + 1));
}

}  // namespace tarvo
