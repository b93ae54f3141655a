#pragma once

#include "linking/link_methods.h"

namespace tarvo::linking {

// Mean/mean: A = mean(a_new) / mean(a_base), B = mean(b_base) - A mean(b_new).
// Mean/sigma: A = SD(b_base) / SD(b_new), B as for mean/mean. With the slope
// fixed both give A = 1 and the difference of the mean b's. Each fills the
// sensitivity of its constants to the items' parameters (exact derivatives).
LinkConstants MeanMean(const AnchorSet& set, bool slopeFixed, Sensitivity& sensitivity);
LinkConstants MeanSigma(const AnchorSet& set, bool slopeFixed, Sensitivity& sensitivity);

}  // namespace tarvo::linking
