// The fast kernels for AVX2: eight lanes in two registers. Built with that unit's
// compiler options (see CMakeLists.txt) and used only when the processor
// has the unit.
#include "estimation/kernels/fast_kernel_types.h"

#ifdef TARVO_X86_KERNELS
#define TARVO_KERNEL_NAMESPACE kernels_avx2
#include "estimation/kernels/fast_kernels_body.h"
#endif

namespace tarvo {

const FastKernels* Avx2Kernels() {
#ifdef TARVO_X86_KERNELS
    static constexpr FastKernels kKernels{"avx2",
                                          kernels_avx2::ThetaPass,
                                          kernels_avx2::ItemPassA,
                                          kernels_avx2::ItemPassB,
                                          kernels_avx2::ItemPassC,
                                          kernels_avx2::Fit,
                                          kernels_avx2::Exp8};
    return &kKernels;
#else
    return nullptr;
#endif
}

}  // namespace tarvo
