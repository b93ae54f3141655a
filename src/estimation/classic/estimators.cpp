#include "estimation/classic/estimators.h"

#include "estimation/classic/fast_estimation.h"
#include "estimation/classic/model.h"
#include "estimation/classic/theta_estimation.h"

namespace tarvo {

namespace {

// A unit the processor lacks falls back to the best one it has.
const FastKernels* Kernels(VectorUnit unit) {
    const FastKernels* kernels = KernelsFor(unit);
    return kernels != nullptr ? kernels : KernelsFor(VectorUnit::Best);
}

}  // namespace

AbilityEstimator::AbilityEstimator(Arithmetic arithmetic, VectorUnit unit)
    : arithmetic_(arithmetic), kernels_(Kernels(unit)) {}

void AbilityEstimator::UseItems(std::span<const double> a, std::span<const double> b,
                                std::span<const double> c) {
    a_ = a;
    b_ = b;
    c_ = c;
    if (arithmetic_ == Arithmetic::Fast) {
        terms_.Assign(a, b, c);
        view_ = terms_.View();
    }
}

void AbilityEstimator::EstimateMany(std::size_t count, const std::uint8_t* rows, double* theta,
                                    double* seetheta, std::int32_t* Nvalid,
                                    Workspace& workspace) const {
    const std::size_t itemCount = a_.size();
    if (arithmetic_ == Arithmetic::Fast) {
        fast::EstimateThetas(count, rows, theta, seetheta, Nvalid, view_, *kernels_, workspace);
        // Where an estimate that swings until the pass limit stops depends on
        // the last bit of every sum: the reference loop makes it again.
        for (const auto& [k, start] : workspace.unsettled) {
            const std::span<const std::uint8_t> row(rows + k * itemCount, itemCount);
            theta[k] = start;
            EstimateTheta(theta[k], a_, b_, c_, row, seetheta[k], Nvalid[k]);
        }
        return;
    }
    for (std::size_t k = 0; k < count; ++k) {
        const std::span<const std::uint8_t> row(rows + k * itemCount, itemCount);
        EstimateTheta(theta[k], a_, b_, c_, row, seetheta[k], Nvalid[k]);
    }
}

ItemEstimator::ItemEstimator(Arithmetic arithmetic, VectorUnit unit)
    : arithmetic_(arithmetic), kernels_(Kernels(unit)) {}

double ItemEstimator::Fit(std::span<const std::uint8_t> column, std::span<const double> theta,
                          double a, double b, double c, std::int32_t& Nobs) const {
    if (arithmetic_ == Arithmetic::Fast) {
        return fast::ItemFitMSE(column, theta, a, b, c, Nobs, *kernels_);
    }
    return ItemFitMSE(column, theta, a, b, c, Nobs);
}

void ItemEstimator::Calibrate(ItemStandardErrors& se, std::span<const std::uint8_t> column,
                              std::span<const double> theta, ItemParameters& p,
                              int calibrationMode) const {
    if (arithmetic_ == Arithmetic::Fast) {
        fast::CalibrateItem(se, column, theta, p, calibrationMode, *kernels_);
    } else {
        CalibrateItem(se, column, theta, p, calibrationMode);
    }
}

}  // namespace tarvo
