// 1PL: a right/wrong item with its location alone; a = 1, c = 0.
#include "estimation/models/model_table.h"
#include "estimation/models/right_wrong_items.h"

namespace tarvo::models {

namespace {
constexpr std::string_view kNames[] = {"b"};
}  // namespace

const ItemModel kOnePL{
    .name = "1pl",
    .caption = "1PL",
    .categories = 2,
    .metric = Metric::Location,
    .parameters = kNames,
    .slopeFree = false,
    .commonSlope = false,
    .guessFree = false,
    .upperFree = false,
    .sharedSteps = false,
    .orderedIntercepts = false,
    .priors = {false, true, false, false, false, false, false},
    .freeCount = right_wrong::FreeCount,
    .pack = right_wrong::Pack,
    .unpack = right_wrong::Unpack,
    .keepInRange = right_wrong::KeepInRange,
    .probabilities = right_wrong::Probabilities,
    .byParameter = right_wrong::ByParameter,
    .byTheta = right_wrong::ByTheta,
    .logPrior = right_wrong::LogPrior,
    .start = nullptr,
    .report = right_wrong::Reported,
    .fromReported = right_wrong::Reported,
    .reportedVariances = nullptr,
};

}  // namespace tarvo::models
