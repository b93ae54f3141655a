// Partial credit: the GPCM with one slope common to its items, estimated; it sets the spread of the
// abilities, as the population's SD would.
#include "estimation/models/model_table.h"
#include "estimation/models/scored_items.h"

namespace tarvo::models {

namespace {
constexpr std::string_view kNames[] = {"a", "b"};
}  // namespace

const ItemModel kPcm{
    .name = "pcm",
    .caption = "PCM",
    .categories = 0,
    .metric = Metric::Thresholds,
    .parameters = kNames,
    .slopeFree = false,
    .commonSlope = true,
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
