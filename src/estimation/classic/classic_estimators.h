#pragma once

#include <memory>

#include "core/run_request.h"
#include "estimation/estimator.h"

namespace tarvo {

// The classic estimator of the request's mode: the path its mode rules name.
std::unique_ptr<Estimator> MakeClassicEstimator(const RunRequest& request);

}  // namespace tarvo
