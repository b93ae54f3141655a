#pragma once

// The math the rows of items scored 0..m share (GRM, GPCM, PCM, RSM): the
// estimator moves the slope (where free) and the intercepts d_1..d_m, or
// for an item of a rating scale its location, the mean of its intercepts
// (the steps, their offsets from it, are the scale's). The reported
// thresholds are b_k = -d_k / (D a).

#include <cstdint>
#include <span>
#include <string_view>

#include "estimation/models/item_model.h"

namespace tarvo::models::scored {

// Each intercept its own parameter (GRM, GPCM, PCM).
int FreeCount(const Item& item);
void Pack(const Item& item, std::span<double> values);
void Unpack(std::span<const double> values, Item& item);
// The location the only one (RSM).
int RatedFreeCount(const Item& item);
void RatedPack(const Item& item, std::span<double> values);
void RatedUnpack(std::span<const double> values, Item& item);

// Finite values, a common slope above 0 (its sign only turns the ability
// scale over), the intercepts falling where the row orders them.
bool KeepInRange(Item& item, double lowestC);

void GradedProbabilities(const Item& item, double theta, std::span<double> p);
void PartialProbabilities(const Item& item, double theta, std::span<double> p);
void GradedByParameter(const Item& item, double theta, std::span<const double> p,
                       std::span<double> derivatives);
void PartialByParameter(const Item& item, double theta, std::span<const double> p,
                        std::span<double> derivatives);
void RatedByParameter(const Item& item, double theta, std::span<const double> p,
                      std::span<double> derivatives);
void GradedByTheta(const Item& item, double theta, std::span<const double> p,
                   std::span<double> derivatives);
void PartialByTheta(const Item& item, double theta, std::span<const double> p,
                    std::span<double> derivatives);

// Log-normal on the size of its own slope (log |a| ~ N(mean, SD), so that
// a reverse-keyed item keeps its negative a; a common slope takes none, it
// sets the scale as the population's SD would) and normal on every
// threshold (a rated item's location moves them all). Either is off by
// default; on, each keeps the slope on the side of 0 it starts on.
double LogPrior(const Item& item, const Priors& priors, double* gradient, double* information);

// a = sign, and each intercept the logit of the share of scores at or
// above it (graded), or the log ratio of adjacent categories (partial
// credit).
void GradedStart(std::span<const std::int32_t> counts, int sign, Item& item);
void PartialStart(std::span<const std::int32_t> counts, int sign, Item& item);

// Thresholds from the slope and intercepts (where |a| < kLeastDiscrimination
// still -d / (D a), but far beyond any ability: not locations), and back.
void ReportThresholds(Item& item);
void InterceptsFromThresholds(Item& item);

// A partial credit row (GPCM, PCM): the item's own slope or one common to
// the model's items.
constexpr ItemModel PartialCreditRow(std::string_view name, std::string_view caption,
                                     std::span<const std::string_view> parameters, bool slopeFree,
                                     bool commonSlope) {
    return ItemModel{
        .name = name,
        .caption = caption,
        .categories = 0,
        .metric = Metric::Thresholds,
        .parameters = parameters,
        .slopeFree = slopeFree,
        .commonSlope = commonSlope,
        .guessFree = false,
        .upperFree = false,
        .sharedSteps = false,
        .orderedIntercepts = false,
        .optionSlopes = false,
        .priors = {},
        .freeCount = FreeCount,
        .pack = Pack,
        .unpack = Unpack,
        .keepInRange = KeepInRange,
        .probabilities = PartialProbabilities,
        .byParameter = PartialByParameter,
        .byTheta = PartialByTheta,
        .logPrior = LogPrior,
        .start = PartialStart,
        .report = ReportThresholds,
        .fromReported = InterceptsFromThresholds,
        .reportedVariances = nullptr,
    };
}

}  // namespace tarvo::models::scored
