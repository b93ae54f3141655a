#pragma once

// Lord's Wald test of an item's parameters between two groups' copies of
// it in one calibration: d the reference copy's free parameters minus the
// focal copy's, V the covariance of d from the fit's joint covariances
// (V_RR + V_FF - V_RF - V_FR), W = d' V^-1 d on as many degrees of freedom
// as the item has free parameters.

#include <cstddef>
#include <limits>
#include <string>

#include "estimation/polytomous/polytomous_estimator.h"

namespace tarvo {

struct WaldTest {
    double statistic = std::numeric_limits<double>::quiet_NaN();
    int df = 0;
    double p = std::numeric_limits<double>::quiet_NaN();
    double pAdjusted = std::numeric_limits<double>::quiet_NaN();
    bool flagged = false;
    std::string note;  // why there is no statistic
};

// reference and focal: the two copies' places among covariances.items.
WaldTest LordsWald(const ItemCovariances& covariances, std::size_t reference, std::size_t focal);

}  // namespace tarvo
