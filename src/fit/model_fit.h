#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "fit/fit_inputs.h"
#include "fit/fit_results.h"

namespace tarvo::fit {

// -2 log-likelihood, AIC = -2LL + 2k (Akaike 1974) and BIC = -2LL + k ln n
// (Schwarz 1978) of a model with a marginal likelihood, over n examinees.
// Without one (the classic estimator) the result says why there is none.
ModelFit DescribeModelFit(const std::optional<ModelLikelihood>& likelihood, std::size_t examinees);

// The likelihood-ratio test of a model against a larger one it is nested in
// (Wilks 1938): the drop in -2LL, chi-square with the difference in
// parameters as df.
struct NestedComparison {
    double statistic = kUndefined;
    int df = 0;
    double p = kUndefined;
    std::string note;     // why it is not defined
    std::string caution;  // what a defined test's p does not say (a parameter on its bound)
};

NestedComparison CompareNested(const ModelFit& smaller, const ModelFit& larger);

}  // namespace tarvo::fit
