#pragma once

// The category curves of items scored 0..m, which the item model table
// holds; here under the polytomous estimator's names.

#include "estimation/models/intercept_curves.h"

namespace tarvo::poly {

using models::GradedDerivatives;
using models::GradedProbabilities;
using models::GradedThetaDerivatives;
using models::Logistic;
using models::PartialDerivatives;
using models::PartialProbabilities;
using models::PartialThetaDerivatives;

}  // namespace tarvo::poly
