#include "estimation/polytomous/poly_items.h"

#include <algorithm>
#include <cmath>

#include "irt/category_curves.h"
#include "irt/item_curve.h"
#include "irt/rating_scale_curves.h"
#include "irt/scored_item.h"

namespace tarvo::poly {

Item ItemOf(int categories, const MarginalModelRules& binary, PolytomousModel polytomous) {
    Item item;
    item.categories = std::max(categories, 2);
    item.binaryModel = binary.model;
    if (categories <= 2) {
        item.form = ItemForm::Binary;
        item.slopeFree = binary.free.a;
        item.guessFree = binary.free.c;
        return item;
    }
    return PolytomousItem(categories, polytomous);
}

Item PolytomousItem(int categories, PolytomousModel polytomous) {
    Item item;
    item.categories = std::max(categories, 2);
    const PolytomousModelRules& rules = RulesOf(polytomous);
    item.polytomous = polytomous;
    item.form = rules.cumulative ? ItemForm::Graded : ItemForm::Partial;
    item.slopeFree = rules.slopeFree;
    item.commonSlope = rules.commonSlope;
    if (rules.sharedSteps) {
        item.form = ItemForm::Rated;
        item.scale = categories;
    }
    return item;
}

double LocationOf(const Item& item) {
    double sum = 0;
    for (const double b : item.B()) sum += b;
    return sum / item.Thresholds();
}

void StepsOf(const Item& item, std::span<double> steps) {
    const double location = LocationOf(item);
    for (int k = 0; k < item.Thresholds(); ++k) steps[k] = item.b[k] - location;
}

Item WithFreeThresholds(const Item& item) {
    Item free = item;
    free.form = item.form == ItemForm::Rated ? ItemForm::Partial : item.form;
    free.scale = -1;
    free.slopeFree = false;
    free.commonSlope = false;
    free.guessFree = false;
    return free;
}

int FreeCount(const Item& item) {
    if (item.form == ItemForm::Rated) return (item.slopeFree ? 1 : 0) + 1;
    return (item.slopeFree ? 1 : 0) + item.Thresholds() + (item.guessFree ? 1 : 0);
}

void PackFree(const Item& item, std::span<double> values) {
    int at = 0;
    if (item.slopeFree) values[at++] = item.a;
    if (item.form == ItemForm::Rated) {
        values[at] = LocationOf(item);
        return;
    }
    for (int k = 0; k < item.Thresholds(); ++k) values[at++] = item.b[k];
    if (item.guessFree) values[at++] = item.c;
}

void UnpackFree(std::span<const double> values, Item& item) {
    int at = 0;
    if (item.slopeFree) item.a = values[at++];
    if (item.form == ItemForm::Rated) {
        // The thresholds move together: the steps stay the scale's.
        const double shift = values[at] - LocationOf(item);
        for (int k = 0; k < item.Thresholds(); ++k) item.b[k] += shift;
        return;
    }
    for (int k = 0; k < item.Thresholds(); ++k) item.b[k] = values[at++];
    if (item.guessFree) item.c = values[at++];
}

bool KeepInRange(Item& item, double lowestC) {
    const EstimateRange aRange = item.form == ItemForm::Binary ? kMarginalA : kPolytomousA;
    if (!std::isfinite(item.a) || !std::isfinite(item.c)) return false;
    item.a = std::clamp(item.a, aRange.lowest, aRange.highest);
    if (item.guessFree) item.c = std::clamp(item.c, lowestC, kMarginalC.highest);
    for (int k = 0; k < item.Thresholds(); ++k) {
        if (!std::isfinite(item.b[k])) return false;
        // A rated item's thresholds keep the scale's steps: one beyond the
        // bounds is refused, not moved.
        const double kept = std::clamp(item.b[k], kMarginalB.lowest, kMarginalB.highest);
        if (item.form == ItemForm::Rated && kept != item.b[k]) return false;
        item.b[k] = kept;
    }
    if (item.form != ItemForm::Graded) return true;
    // The cumulative curves must fall with k: thresholds rise for a > 0 and
    // fall for a < 0.
    for (int k = 1; k < item.Thresholds(); ++k) {
        const double rise = item.b[k] - item.b[k - 1];
        if (item.a >= 0 ? !(rise > 0) : !(rise < 0)) return false;
    }
    return true;
}

void CategoryProbabilities(const Item& item, double theta, std::span<double> p) {
    switch (item.form) {
        case ItemForm::Binary:
            ItemCategoryProbabilities(ItemScoring::RightWrong, theta, item.a, item.B(), item.c, p);
            return;
        case ItemForm::Graded:
            ItemCategoryProbabilities(ItemScoring::Graded, theta, item.a, item.B(), item.c, p);
            return;
        case ItemForm::Partial:
            ItemCategoryProbabilities(ItemScoring::PartialCredit, theta, item.a, item.B(), item.c,
                                      p);
            return;
        case ItemForm::Rated: {
            // By the scale's steps, as the estimator moves them.
            std::array<double, kMostThresholds> steps{};
            StepsOf(item, steps);
            RsmProbabilities(theta, item.a, LocationOf(item),
                             std::span<const double>(steps).first(item.Thresholds()), p);
            return;
        }
    }
}

void CategoryDerivatives(const Item& item, double theta, std::span<const double> p,
                         std::span<double> derivatives) {
    // Every derivative by (a, b_1..b_m[, c]) first, then the free columns.
    constexpr int kWidest = kMostThresholds + 2;
    std::array<double, kMostCategories * kWidest> all{};
    int width = item.categories;  // a and the thresholds
    if (item.form == ItemForm::Binary) {
        width = 3;
        const Curve curve = CurveAt(theta, item.a, item.b[0], item.c);
        const CurveDerivatives d = DerivativesAt(theta, item.a, item.b[0], item.c, curve);
        for (int u = 0; u < 3; ++u) {
            all[u] = -d.first[u];
            all[width + u] = d.first[u];
        }
    } else if (item.form == ItemForm::Graded) {
        GrmDerivatives(theta, item.a, item.B(), std::span<double>(all).first(width * width));
    } else if (item.form == ItemForm::Rated) {
        // Columns a, location, then the steps, of which none is the item's.
        std::array<double, kMostThresholds> steps{};
        StepsOf(item, steps);
        const std::span<const double> own = std::span<const double>(steps).first(item.Thresholds());
        width = item.categories + 1;
        RsmDerivatives(theta, item.a, LocationOf(item), own, p,
                       std::span<double>(all).first(item.categories * width));
        const int free = FreeCount(item);
        for (int k = 0; k < item.categories; ++k) {
            int at = 0;
            if (item.slopeFree) derivatives[k * free + at++] = all[k * width];
            derivatives[k * free + at] = all[k * width + 1];
        }
        return;
    } else {
        GpcmDerivatives(theta, item.a, item.B(), p, std::span<double>(all).first(width * width));
    }
    const int free = FreeCount(item);
    for (int k = 0; k < item.categories; ++k) {
        int at = 0;
        if (item.slopeFree) derivatives[k * free + at++] = all[k * width];
        for (int j = 1; j <= item.Thresholds(); ++j)
            derivatives[k * free + at++] = all[k * width + j];
        if (item.guessFree) derivatives[k * free + at++] = all[k * width + 2];
    }
}

std::string_view ModelNameOf(const Item& item) {
    if (item.form == ItemForm::Binary) return RulesOf(item.binaryModel).name;
    return RulesOf(item.polytomous).name;
}

}  // namespace tarvo::poly
