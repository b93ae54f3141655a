#pragma once

#include <cstddef>
#include <span>
#include <vector>

#include "estimation/engine_settings.h"
#include "estimation/kernels/fast_kernel_types.h"

namespace tarvo {

// The kernels of a unit, or nullptr when this build or this processor lacks
// it. Best is the widest unit the processor has; Portable is always there.
const FastKernels* KernelsFor(VectorUnit unit);

// The kernels' exponential: exp(x) within about one unit in the last place
// on -708..709 and NaN for NaN. Below and above that range it gives the
// value at the nearer end: there 1 + exp(x) is 1, or so large that the
// response function comes out the same as with the true value. Exposed for
// tests: eight values in, eight out; the unit must be available.
void FastExp8(VectorUnit unit, const double* x, double* result);

// Holds the item terms of ThetaTermsView.
class ThetaTerms {
  public:
    // Recomputes the terms from the items; reuses its storage.
    void Assign(std::span<const double> a, std::span<const double> b, std::span<const double> c);
    ThetaTermsView View() const;

  private:
    std::size_t count_ = 0;
    std::vector<double> negDa_, b_, c_, oneMinusC_, scoreA_, infoA_, inverseOneMinusC_;
};

}  // namespace tarvo
