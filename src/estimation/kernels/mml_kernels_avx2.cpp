// The marginal estimator's kernels for AVX2. Built with that unit's compiler
// options (see CMakeLists.txt) and used only when the processor has the unit.
#include "estimation/kernels/mml_kernel_types.h"

#ifdef TARVO_X86_KERNELS
#define TARVO_KERNEL_NAMESPACE mml_kernels_avx2
#include "estimation/kernels/mml_kernels_body.h"
#endif

namespace tarvo {

const MarginalKernels* Avx2MarginalKernels() {
#ifdef TARVO_X86_KERNELS
    static constexpr MarginalKernels kKernels{"avx2",
                                              mml_kernels_avx2::Posterior,
                                              mml_kernels_avx2::Posteriors,
                                              mml_kernels_avx2::AddPosteriors,
                                              mml_kernels_avx2::ItemObjective,
                                              mml_kernels_avx2::CrossTile,
                                              mml_kernels_avx2::MeanScores,
                                              mml_kernels_avx2::ResidualRow};
    return &kKernels;
#else
    return nullptr;
#endif
}

}  // namespace tarvo
