#pragma once

// The steps shared by the rated items of one scale (the rating scale
// model): each scale's intercepts' offsets s_1..s_m from its items'
// locations, summing to 0, so that s_1..s_(m-1) are free and s_m is minus
// their sum. The rated items share one slope, so the thresholds' steps
// tau_k = -s_k / (D a) are shared with them. The M-step moves them on the
// scale's summed expected log-likelihood; the standard errors count them as
// parameters after the items' own.

#include <cstddef>
#include <span>
#include <vector>

#include "estimation/polytomous/poly_em.h"

namespace tarvo::poly {

struct Scale {
    int thresholds = 0;
    std::vector<std::size_t> items;  // the estimated items of the scale, in item order
};

// The scales of the estimated rated items, in the order of their first item.
std::vector<Scale> ScalesOf(std::span<const Item> items, std::span<const char> estimated);

// Gives every item of each scale the mean steps of the scale's items (the
// start: each item's own thresholds' offsets averaged).
void ShareSteps(std::vector<Item>& items, std::span<const Scale> scales);

// Fisher scoring of the scale's free steps, the step halved while the
// summed objective falls or an item leaves its model; returns the largest
// change of a step.
double MaximiseScaleSteps(std::vector<Item>& items, const Scale& scale, const EmTables& tables,
                          const mml::Quadrature& quadrature, const Priors& priors);

// The scales' free steps as parameters: their count, the value of one,
// moving one, and the gradient of the items' objectives by each.
int SharedStepCount(std::span<const Scale> scales);
double SharedStepValue(std::span<const Item> items, std::span<const Scale> scales, int s);
void ShiftSharedStep(std::vector<Item>& items, std::span<const Scale> scales, int s, double delta);
void SharedStepGradient(std::span<const Item> items, std::span<const Scale> scales,
                        const EmTables& tables, const mml::Quadrature& quadrature,
                        const Priors& priors, std::span<double> gradient);

}  // namespace tarvo::poly
