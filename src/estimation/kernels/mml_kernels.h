#pragma once

#include "estimation/engine_settings.h"
#include "estimation/kernels/mml_kernel_types.h"

namespace tarvo {

// The marginal estimator's kernels for a unit: Best is the widest unit the
// processor has, and a unit it lacks falls back to Best. Every unit gives
// the same bits.
const MarginalKernels& MarginalKernelsFor(VectorUnit unit);

}  // namespace tarvo
