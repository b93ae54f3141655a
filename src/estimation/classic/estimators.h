#pragma once

#include <cstdint>
#include <span>

#include "estimation/classic/fast_estimation.h"
#include "estimation/classic/item_estimation.h"
#include "estimation/engine_settings.h"
#include "estimation/kernels/fast_kernels.h"

namespace tarvo {

// Ability estimation for one set of items in the engine's arithmetic. Set the
// items once (a pass's items stay fixed), then call Estimate from any number
// of threads at once.
class AbilityEstimator {
  public:
    AbilityEstimator(Arithmetic arithmetic, VectorUnit unit);

    // The items of the following estimates; the spans must stay valid and
    // unchanged until the next UseItems.
    void UseItems(std::span<const double> a, std::span<const double> b, std::span<const double> c);

    // Scratch space of EstimateMany; one per thread, reused.
    using Workspace = fast::ThetaWorkspace;

    // EstimateTheta for count examinees whose codes lie one row after the
    // other from rows (one code per item); examinee k starts from theta[k]
    // and receives theta[k], seetheta[k], Nvalid[k]. Each examinee's result
    // is the same however the examinees are grouped into calls.
    void EstimateMany(std::size_t count, const std::uint8_t* rows, double* theta, double* seetheta,
                      std::int32_t* Nvalid, Workspace& workspace) const;

  private:
    Arithmetic arithmetic_;
    const FastKernels* kernels_;
    std::span<const double> a_, b_, c_;
    ThetaTerms terms_;
    ThetaTermsView view_{};
};

// Item estimation in the engine's arithmetic; callable from any number of
// threads at once.
class ItemEstimator {
  public:
    ItemEstimator(Arithmetic arithmetic, VectorUnit unit);

    // ItemFitMSE and CalibrateItem for one item's codes.
    double Fit(std::span<const std::uint8_t> column, std::span<const double> theta, double a,
               double b, double c, std::int32_t& Nobs) const;
    void Calibrate(ItemStandardErrors& se, std::span<const std::uint8_t> column,
                   std::span<const double> theta, ItemParameters& p, int calibrationMode) const;

  private:
    Arithmetic arithmetic_;
    const FastKernels* kernels_;
};

}  // namespace tarvo
