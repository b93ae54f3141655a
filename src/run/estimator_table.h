#pragma once

#include <memory>

#include "core/run_request.h"
#include "estimation/estimator.h"

namespace tarvo {

// The estimator a request asks for. Adding an estimator is writing its
// implementation and adding its row to the table in estimator_table.cpp.
std::unique_ptr<Estimator> MakeEstimator(const RunRequest& request);

}  // namespace tarvo
