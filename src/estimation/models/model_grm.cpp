// Graded response: P(X >= k) = logistic(D a theta + d_k), d_1 > .. > d_m.
#include "estimation/models/model_table.h"
#include "estimation/models/scored_items.h"

namespace tarvo::models {

namespace {
constexpr std::string_view kNames[] = {"a", "b"};
}  // namespace

const ItemModel kGrm{
    .name = "grm",
    .caption = "GRM",
    .categories = 0,
    .metric = Metric::Thresholds,
    .parameters = kNames,
    .slopeFree = true,
    .commonSlope = false,
    .guessFree = false,
    .upperFree = false,
    .sharedSteps = false,
    .orderedIntercepts = true,
    .optionSlopes = false,
    .priors = {},
    .freeCount = scored::FreeCount,
    .pack = scored::Pack,
    .unpack = scored::Unpack,
    .keepInRange = scored::KeepInRange,
    .probabilities = scored::GradedProbabilities,
    .byParameter = scored::GradedByParameter,
    .byTheta = scored::GradedByTheta,
    .logPrior = scored::LogPrior,
    .start = scored::GradedStart,
    .report = scored::ReportThresholds,
    .fromReported = scored::InterceptsFromThresholds,
    .reportedVariances = nullptr,
};

}  // namespace tarvo::models
