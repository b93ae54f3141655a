#include "run/estimator_table.h"

#include <array>

#include "estimation/classic/classic_estimators.h"
#include "estimation/marginal/marginal_estimator.h"
#include "estimation/polytomous/polytomous_estimator.h"

namespace tarvo {

namespace {

struct EstimatorRow {
    Method method;
    std::unique_ptr<Estimator> (*make)(const RunRequest&);
};

// One row per method: the classic estimator picks its path from the mode
// table, the marginal one its model's rules from the model table.
constexpr std::array<EstimatorRow, 2> kEstimators{{
    {Method::Classic, MakeClassicEstimator},
    {Method::Marginal, MakeMarginalEstimator},
}};

}  // namespace

std::unique_ptr<Estimator> MakeEstimator(const RunRequest& request) {
    // Items scored in more than two categories, and the right/wrong models
    // only the item model table's engine fits (the 4PL), beside the
    // marginal method's dichotomous models.
    if (request.method == Method::Marginal && FitsByModelTable(request.marginal)) {
        return MakePolytomousEstimator(request);
    }
    for (const EstimatorRow& row : kEstimators) {
        if (row.method == request.method) return row.make(request);
    }
    return MakeClassicEstimator(request);
}

}  // namespace tarvo
