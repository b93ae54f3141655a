// Generalized partial credit: P(X = k) proportional to exp(k D a theta + d_1 + .. + d_k).
#include "estimation/models/model_table.h"
#include "estimation/models/scored_items.h"

namespace tarvo::models {

namespace {
constexpr std::string_view kNames[] = {"a", "b"};
}  // namespace

const ItemModel kGpcm{
    .name = "gpcm",
    .caption = "GPCM",
    .categories = 0,
    .metric = Metric::Thresholds,
    .parameters = kNames,
    .slopeFree = true,
    .commonSlope = false,
    .guessFree = false,
    .upperFree = false,
    .sharedSteps = false,
    .orderedIntercepts = false,
    .priors = {},
    .freeCount = scored::FreeCount,
    .pack = scored::Pack,
    .unpack = scored::Unpack,
    .keepInRange = scored::KeepInRange,
    .probabilities = scored::PartialProbabilities,
    .byParameter = scored::PartialByParameter,
    .byTheta = scored::PartialByTheta,
    .logPrior = scored::LogPrior,
    .start = scored::PartialStart,
    .report = scored::ReportThresholds,
    .fromReported = scored::InterceptsFromThresholds,
    .reportedVariances = nullptr,
};

}  // namespace tarvo::models
