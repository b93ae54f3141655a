#include "estimation/polytomous/poly_items.h"

#include <algorithm>

#include "estimation/models/model_table.h"

namespace tarvo::poly {

Item ItemOf(int categories, const MarginalModelRules& binary, PolytomousModel polytomous) {
    if (polytomous == PolytomousModel::Nominal) return PolytomousItem(categories, polytomous);
    if (categories <= 2) return models::NewItem(models::ModelFor(binary.model), 2);
    return PolytomousItem(categories, polytomous);
}

Item PolytomousItem(int categories, PolytomousModel polytomous) {
    Item item = models::NewItem(models::ModelFor(polytomous), categories);
    if (item.model->sharedSteps) item.scale = item.categories;
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
    // A rated item's curves are the partial credit model's.
    if (item.model->sharedSteps) free.model = &models::kGpcm;
    free.scale = -1;
    free.slopeFree = false;
    free.commonSlope = false;
    free.guessFree = false;
    free.upperFree = false;
    return free;
}

void InterceptsFromThresholds(Item& item) { item.model->fromReported(item); }

void ReportThresholds(Item& item) { item.model->report(item); }

int FreeCount(const Item& item) { return item.model->freeCount(item); }

void PackFree(const Item& item, std::span<double> values) { item.model->pack(item, values); }

void UnpackFree(std::span<const double> values, Item& item) { item.model->unpack(values, item); }

bool KeepInRange(Item& item, double lowestC) { return item.model->keepInRange(item, lowestC); }

void CategoryProbabilities(const Item& item, double theta, std::span<double> p) {
    item.model->probabilities(item, theta, p);
}

void CategoryDerivatives(const Item& item, double theta, std::span<const double> p,
                         std::span<double> derivatives) {
    item.model->byParameter(item, theta, p, derivatives);
}

std::string_view ModelNameOf(const Item& item) { return item.model->name; }

}  // namespace tarvo::poly
