#pragma once

// The math the right/wrong rows share (1PL, Rasch, 2PL, 3PL, 3PL with c
// given): P(1) = c + (1 - c) / (1 + exp(-D (a theta + d))), b = -d / a, the
// estimator moving the free ones of (a, d, c), so that a slope may cross 0
// (a reverse-keyed item) and the intercept has no bound of its own.

#include <cstdint>
#include <span>
#include <string_view>

#include "estimation/marginal/mml_mstep.h"
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
// under the log-normal prior on a, a slope not above 0 has none.
double LogPrior(const Item& item, const Priors& priors, double* gradient, double* information);
// Adds a prior's gradient and curvature by (a, b, c) to those by the moved
// parameters: jacobian[r][v] is d(a, b, c)[r] / d(moved)[v], free columns.
void CarryPriors(const mml::ItemObjective& prior, const double (*jacobian)[4], int free,
                 double* gradient, double* information);
// b = -d / a, and back.
void Report(Item& item);
void FromReported(Item& item);
// The variance of b = -d / a by the delta method from those of a and d
// (0 and 0 where a is held) and their covariance.
double LocationVariance(const Item& item, double varianceA, double varianceD, double covariance);
// a and c as moved; b's variance by the delta method from (a, d).
void ReportedVariances(const Item& item, std::span<const double> covariance,
                       std::span<double, 4> variances);

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
        .report = Report,
        .fromReported = FromReported,
        .reportedVariances = ReportedVariances,
    };
}

}  // namespace tarvo::models::right_wrong
