// Rating scale: the PCM with each item's intercepts its location plus steps that the items of one
// scale share.
#include "estimation/models/model_table.h"
#include "estimation/models/scored_items.h"

namespace tarvo::models {

namespace {
constexpr std::string_view kNames[] = {"a", "b"};
}  // namespace

const ItemModel kRsm{
    .name = "rsm",
    .caption = "RSM",
    .categories = 0,
    .metric = Metric::Thresholds,
    .parameters = kNames,
    .slopeFree = false,
    .commonSlope = true,
    .guessFree = false,
    .upperFree = false,
    .sharedSteps = true,
    .orderedIntercepts = false,
    .optionSlopes = false,
    .priors = {},
    .freeCount = scored::RatedFreeCount,
    .pack = scored::RatedPack,
    .unpack = scored::RatedUnpack,
    .keepInRange = scored::KeepInRange,
    .probabilities = scored::PartialProbabilities,
    .byParameter = scored::RatedByParameter,
    .byTheta = scored::PartialByTheta,
    .logPrior = scored::LogPrior,
    .start = scored::PartialStart,
    .report = scored::ReportThresholds,
    .fromReported = scored::InterceptsFromThresholds,
    .reportedVariances = nullptr,
};

}  // namespace tarvo::models
