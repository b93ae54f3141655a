// The marginal estimator's kernels for AVX-512 (F, DQ, VL). Built with that unit's compiler
// options (see CMakeLists.txt) and used only when the processor has the unit.
#include "estimation/kernels/mml_kernel_types.h"

#if defined(TARVO_X86_KERNELS) && !defined(TARVO_WITHOUT_AVX512)
#define TARVO_KERNEL_NAMESPACE mml_kernels_avx512
#include "estimation/kernels/mml_kernels_body.h"
#endif

namespace tarvo {

const MarginalKernels* Avx512MarginalKernels() {
#if defined(TARVO_X86_KERNELS) && !defined(TARVO_WITHOUT_AVX512)
    static constexpr MarginalKernels kKernels{"avx512",
                                              mml_kernels_avx512::Posterior,
                                              mml_kernels_avx512::Posteriors,
                                              mml_kernels_avx512::AddPosteriors,
                                              mml_kernels_avx512::ItemObjective,
                                              mml_kernels_avx512::CrossTile,
                                              mml_kernels_avx512::MeanScores,
                                              mml_kernels_avx512::ResidualRow};
    return &kKernels;
#else
    return nullptr;
#endif
}

}  // namespace tarvo
