#include "estimation/estimators.h"

#include "estimation/model.h"
#include "estimation/theta_estimation.h"

namespace tarvo {

void AbilityEstimator::UseItems(std::span<const double> a, std::span<const double> b,
                                std::span<const double> c) {
    a_ = a;
    b_ = b;
    c_ = c;
}

void AbilityEstimator::Estimate(double& theta, std::span<const std::uint8_t> row, double& seetheta,
                                std::int32_t& Nvalid) const {
    EstimateTheta(theta, a_, b_, c_, row, seetheta, Nvalid);
}

double ItemEstimator::Fit(std::span<const std::uint8_t> column, std::span<const double> theta,
                          double a, double b, double c, std::int32_t& Nobs) const {
    return ItemFitMSE(column, theta, a, b, c, Nobs);
}

void ItemEstimator::Calibrate(ItemStandardErrors& se, std::span<const std::uint8_t> column,
                              std::span<const double> theta, ItemParameters& p,
                              int calibrationMode) const {
    CalibrateItem(se, column, theta, p, calibrationMode);
}

}  // namespace tarvo
