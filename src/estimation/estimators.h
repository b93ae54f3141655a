#pragma once

#include <cstdint>
#include <span>

#include "estimation/engine_settings.h"
#include "estimation/item_estimation.h"

namespace tarvo {

// Ability estimation for one set of items in the engine's arithmetic. Set the
// items once (a pass's items stay fixed), then call Estimate from any number
// of threads at once.
class AbilityEstimator {
public:
    explicit AbilityEstimator(Arithmetic arithmetic) : arithmetic_(arithmetic) {}

    // The items of the following estimates; the spans must stay valid and
    // unchanged until the next UseItems.
    void UseItems(std::span<const double> a, std::span<const double> b,
                  std::span<const double> c);

    // EstimateTheta for one examinee's codes.
    void Estimate(double& theta, std::span<const std::uint8_t> row, double& seetheta,
                  std::int32_t& Nvalid) const;

private:
    Arithmetic arithmetic_;
    std::span<const double> a_, b_, c_;
};

// Item estimation in the engine's arithmetic; stateless, callable from any
// number of threads at once.
class ItemEstimator {
public:
    explicit ItemEstimator(Arithmetic arithmetic) : arithmetic_(arithmetic) {}

    // ItemFitMSE and CalibrateItem for one item's codes.
    double Fit(std::span<const std::uint8_t> column, std::span<const double> theta, double a,
               double b, double c, std::int32_t& Nobs) const;
    void Calibrate(ItemStandardErrors& se, std::span<const std::uint8_t> column,
                   std::span<const double> theta, ItemParameters& p, int calibrationMode) const;

private:
    Arithmetic arithmetic_;
};

}  // namespace tarvo
