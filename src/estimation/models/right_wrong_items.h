#pragma once

// The math the right/wrong rows share (1PL, Rasch, 2PL, 3PL, 3PL with c
// given): P(1) = c + (1 - c) / (1 + exp(-D a (theta - b))), the estimator
// moving the free ones of (a, b, c).

#include <cstdint>
#include <span>
#include <string_view>

#include "estimation/models/item_model.h"

namespace tarvo::models::right_wrong {

int FreeCount(const Item& item);
void Pack(const Item& item, std::span<double> values);
void Unpack(std::span<const double> values, Item& item);
bool KeepInRange(Item& item, double lowestC);
void Probabilities(const Item& item, double theta, std::span<double> p);
void ByParameter(const Item& item, double theta, std::span<const double> p,
                 std::span<double> derivatives);
void ByTheta(const Item& item, double theta, std::span<const double> p,
             std::span<double> derivatives);
// The priors by (a, b, c) of the free ones, carried to the free columns;
// their curvature only where it adds information.
double LogPrior(const Item& item, const Priors& priors, double* gradient, double* information);
// Nothing to convert: the estimator moves the reported values.
void Reported(Item& item);

// A right/wrong row: its names, the mask of a new item and its priors over
// the math above.
constexpr ItemModel Row(std::string_view name, std::string_view caption,
                        std::span<const std::string_view> parameters, bool slopeFree,
                        bool guessFree, PriorRules priors) {
    return ItemModel{
        .name = name,
        .caption = caption,
        .categories = 2,
        .metric = Metric::Location,
        .parameters = parameters,
        .slopeFree = slopeFree,
        .commonSlope = false,
        .guessFree = guessFree,
        .upperFree = false,
        .sharedSteps = false,
        .orderedIntercepts = false,
        .optionSlopes = false,
        .priors = priors,
        .freeCount = FreeCount,
        .pack = Pack,
        .unpack = Unpack,
        .keepInRange = KeepInRange,
        .probabilities = Probabilities,
        .byParameter = ByParameter,
        .byTheta = ByTheta,
        .logPrior = LogPrior,
        .start = nullptr,
        .report = Reported,
        .fromReported = Reported,
        .reportedVariances = nullptr,
    };
}

}  // namespace tarvo::models::right_wrong
