#include "estimation/polytomous/poly_items.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "core/model_constants.h"
#include "estimation/models/nominal_model.h"
#include "estimation/polytomous/poly_curves.h"
#include "irt/item_curve.h"
#include "irt/scored_item.h"

namespace tarvo::poly {

Item ItemOf(int categories, const MarginalModelRules& binary, PolytomousModel polytomous) {
    if (polytomous == PolytomousModel::Nominal) return PolytomousItem(categories, polytomous);
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
    if (polytomous == PolytomousModel::Nominal) {
        // Its slopes are its own per option, not the one slope a.
        item.form = ItemForm::Nominal;
        item.slopeFree = false;
    }
    if (rules.sharedSteps) {
        item.form = ItemForm::Rated;
        item.scale = categories;
    }
    return item;
}

double LocationOf(const Item& item) {
    double sum = 0;
    for (const double d : item.D()) sum += d;
    return sum / item.Thresholds();
}

void StepsOf(const Item& item, std::span<double> steps) {
    const double location = LocationOf(item);
    for (int k = 0; k < item.Thresholds(); ++k) steps[k] = item.d[k] - location;
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

void InterceptsFromThresholds(Item& item) {
    for (int k = 0; k < item.Thresholds(); ++k) item.d[k] = -kD * item.a * item.b[k];
}

void ReportThresholds(Item& item) {
    if (item.form == ItemForm::Binary) return;
    if (item.form == ItemForm::Nominal) {
        // No thresholds: the options are not ordered. The item's one
        // slope is its keyed option's discrimination.
        item.a = nominal::KeyedDiscrimination(
            std::span<const double>(item.slopes).first(item.Thresholds()), item.keyed);
        item.b.fill(0);
        return;
    }
    for (int k = 0; k < item.Thresholds(); ++k) item.b[k] = -item.d[k] / (kD * item.a);
}

int FreeCount(const Item& item) {
    if (item.form == ItemForm::Nominal) return nominal::FreeCount(item.categories);
    if (item.form == ItemForm::Rated) return (item.slopeFree ? 1 : 0) + 1;
    return (item.slopeFree ? 1 : 0) + item.Thresholds() + (item.guessFree ? 1 : 0);
}

void PackFree(const Item& item, std::span<double> values) {
    int at = 0;
    if (item.form == ItemForm::Nominal) {
        for (int k = 0; k < item.Thresholds(); ++k) values[at++] = item.slopes[k];
        for (int k = 0; k < item.Thresholds(); ++k) values[at++] = item.d[k];
        return;
    }
    if (item.slopeFree) values[at++] = item.a;
    if (item.form == ItemForm::Rated) {
        values[at] = LocationOf(item);
        return;
    }
    if (item.form == ItemForm::Binary) {
        values[at++] = item.b[0];
    } else {
        for (int k = 0; k < item.Thresholds(); ++k) values[at++] = item.d[k];
    }
    if (item.guessFree) values[at++] = item.c;
}

void UnpackFree(std::span<const double> values, Item& item) {
    int at = 0;
    if (item.form == ItemForm::Nominal) {
        for (int k = 0; k < item.Thresholds(); ++k) item.slopes[k] = values[at++];
        for (int k = 0; k < item.Thresholds(); ++k) item.d[k] = values[at++];
        return;
    }
    if (item.slopeFree) item.a = values[at++];
    if (item.form == ItemForm::Rated) {
        // The intercepts move together: the steps stay the scale's.
        const double shift = values[at] - LocationOf(item);
        for (int k = 0; k < item.Thresholds(); ++k) item.d[k] += shift;
        return;
    }
    if (item.form == ItemForm::Binary) {
        item.b[0] = values[at++];
    } else {
        for (int k = 0; k < item.Thresholds(); ++k) item.d[k] = values[at++];
    }
    if (item.guessFree) item.c = values[at++];
}

bool KeepInRange(Item& item, double lowestC) {
    if (!std::isfinite(item.a) || !std::isfinite(item.c)) return false;
    if (item.form == ItemForm::Binary) {
        if (!std::isfinite(item.b[0])) return false;
        item.a = std::clamp(item.a, kMarginalA.lowest, kMarginalA.highest);
        if (item.guessFree) item.c = std::clamp(item.c, lowestC, kMarginalC.highest);
        item.b[0] = std::clamp(item.b[0], kMarginalB.lowest, kMarginalB.highest);
        return true;
    }
    if (item.commonSlope && !(item.a > 0)) return false;
    for (int k = 0; k < item.Thresholds(); ++k) {
        if (!std::isfinite(item.d[k]) || !std::isfinite(item.slopes[k])) return false;
    }
    if (item.form != ItemForm::Graded) return true;
    // P(X >= k) must fall with k, whatever the slope's sign.
    for (int k = 1; k < item.Thresholds(); ++k) {
        if (!(item.d[k] < item.d[k - 1])) return false;
    }
    return true;
}

void CategoryProbabilities(const Item& item, double theta, std::span<double> p) {
    switch (item.form) {
        case ItemForm::Binary:
            ItemCategoryProbabilities(ItemScoring::RightWrong, theta, item.a, item.B(), item.c, p);
            return;
        case ItemForm::Graded:
            GradedProbabilities(theta, item.a, item.D(), p);
            return;
        case ItemForm::Partial:
        case ItemForm::Rated:
            PartialProbabilities(theta, item.a, item.D(), p);
            return;
        case ItemForm::Nominal:
            nominal::Probabilities(
                theta, std::span<const double>(item.slopes).first(item.Thresholds()), item.D(), p);
            return;
    }
}

void CategoryDerivatives(const Item& item, double theta, std::span<const double> p,
                         std::span<double> derivatives) {
    const int free = FreeCount(item);
    if (item.form == ItemForm::Nominal) {
        nominal::Derivatives(theta, p.first(item.categories), derivatives);
        return;
    }
    if (item.form == ItemForm::Binary) {
        // By (a, b, c), then the free columns.
        const Curve curve = CurveAt(theta, item.a, item.b[0], item.c);
        const CurveDerivatives d = DerivativesAt(theta, item.a, item.b[0], item.c, curve);
        for (int k = 0; k < 2; ++k) {
            const double sign = k == 0 ? -1 : 1;
            int at = 0;
            if (item.slopeFree) derivatives[k * free + at++] = sign * d.first[0];
            derivatives[k * free + at++] = sign * d.first[1];
            if (item.guessFree) derivatives[k * free + at++] = sign * d.first[2];
        }
        return;
    }
    // By (a, d_1..d_m), then the free columns.
    const int width = item.categories;
    std::array<double, kMostCategories * kMostCategories> all{};
    const std::span<double> square = std::span<double>(all).first(width * width);
    if (item.form == ItemForm::Graded) {
        GradedDerivatives(theta, item.a, item.D(), square);
    } else {
        PartialDerivatives(theta, item.a, p.first(item.categories), square);
    }
    for (int k = 0; k < item.categories; ++k) {
        int at = 0;
        if (item.slopeFree) derivatives[k * free + at++] = all[k * width];
        if (item.form == ItemForm::Rated) {
            // The location moves every intercept.
            double sum = 0;
            for (int j = 1; j <= item.Thresholds(); ++j) sum += all[k * width + j];
            derivatives[k * free + at] = sum;
            continue;
        }
        for (int j = 1; j <= item.Thresholds(); ++j)
            derivatives[k * free + at++] = all[k * width + j];
    }
}

std::string_view ModelNameOf(const Item& item) {
    if (item.form == ItemForm::Binary) return RulesOf(item.binaryModel).name;
    return RulesOf(item.polytomous).name;
}

}  // namespace tarvo::poly
