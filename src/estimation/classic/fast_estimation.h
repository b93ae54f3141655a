#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "estimation/classic/item_estimation.h"
#include "estimation/kernels/fast_kernels.h"

namespace tarvo::fast {

// The scoring loops of EstimateTheta, CalibrateItem (with EstimateItemA, B,
// C) and ItemFitMSE with the same passes, bounds, tolerances and stopping
// rules, but each pass's sums formed by the fast kernels: double sums in a
// fixed lane order, a vectorised exponential, and the score and information
// terms with the common factors cancelled. Results agree with the reference
// loops to far below the printed digits. Where the last bit of a sum decides
// the printed digits the reference loops make the estimate instead:
// CalibrateItem hands them an item whose valid responses are all equal (its
// steps land exactly on a bound), and EstimateThetas lists the examinees
// whose passes never settle (they swing until the pass limit, and where they
// stop depends on the last bit of every sum).

// Scratch space of EstimateThetas: the codes of the examinees in the eight
// lanes, and the examinees whose estimate ran to the pass limit (their index
// in the call and the theta they started from), for the reference loop to
// make again. Grows once and is then reused; one per thread.
struct ThetaWorkspace {
    std::vector<std::uint8_t> laneCodes;
    struct Unsettled {
        std::size_t examinee;
        double start;
    };
    std::vector<Unsettled> unsettled;
};

// EstimateTheta for count examinees: examinee k has the codes at
// rows + k * items.count, starts from theta[k] and receives theta[k],
// seetheta[k] and Nvalid[k]. Eight examinees are iterated side by side, one
// per lane, each with its own passes; an examinee's results do not depend on
// which others share the lanes.
void EstimateThetas(std::size_t count, const std::uint8_t* rows, double* theta, double* seetheta,
                    std::int32_t* Nvalid, const ThetaTermsView& items, const FastKernels& kernels,
                    ThetaWorkspace& workspace);

void EstimateItemA(double& seea, std::span<const std::uint8_t> column,
                   std::span<const double> theta, ItemParameters& p, const FastKernels& kernels);
void EstimateItemB(double& seeb, std::span<const std::uint8_t> column,
                   std::span<const double> theta, ItemParameters& p, const FastKernels& kernels);
void EstimateItemC(double& seec, std::span<const std::uint8_t> column,
                   std::span<const double> theta, ItemParameters& p, const FastKernels& kernels);
void CalibrateItem(ItemStandardErrors& se, std::span<const std::uint8_t> column,
                   std::span<const double> theta, ItemParameters& p, int calibrationMode,
                   const FastKernels& kernels);

double ItemFitMSE(std::span<const std::uint8_t> column, std::span<const double> theta, double a,
                  double b, double c, std::int32_t& Nobs, const FastKernels& kernels);

}  // namespace tarvo::fast
