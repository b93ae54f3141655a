// The marginal estimator's kernels for the baseline instruction set of the
// target: they run on every processor.
#define TARVO_KERNEL_NAMESPACE mml_kernels_portable
#include "estimation/kernels/mml_kernel_types.h"
#include "estimation/kernels/mml_kernels_body.h"

namespace tarvo {

const MarginalKernels& PortableMarginalKernels() {
    static constexpr MarginalKernels kKernels{"portable",
                                              mml_kernels_portable::Posterior,
                                              mml_kernels_portable::Posteriors,
                                              mml_kernels_portable::AddPosteriors,
                                              mml_kernels_portable::ItemObjective,
                                              mml_kernels_portable::CrossTile,
                                              mml_kernels_portable::MeanScores,
                                              mml_kernels_portable::ResidualRow};
    return kKernels;
}

}  // namespace tarvo
