// The fast kernels for AVX-512 (F, DQ, VL): eight lanes in one register. Built with that unit's
// compiler options (see CMakeLists.txt) and used only when the processor
// has the unit.
#include "estimation/kernels/fast_kernel_types.h"

#if defined(TARVO_X86_KERNELS) && !defined(TARVO_WITHOUT_AVX512)
#define TARVO_KERNEL_NAMESPACE kernels_avx512
#include "estimation/kernels/fast_kernels_body.h"
#endif

namespace tarvo {

const FastKernels* Avx512Kernels() {
#if defined(TARVO_X86_KERNELS) && !defined(TARVO_WITHOUT_AVX512)
    static constexpr FastKernels kKernels{"avx512",
                                          kernels_avx512::ThetaPass,
                                          kernels_avx512::ItemPassA,
                                          kernels_avx512::ItemPassB,
                                          kernels_avx512::ItemPassC,
                                          kernels_avx512::Fit,
                                          kernels_avx512::Exp8};
    return &kKernels;
#else
    return nullptr;
#endif
}

}  // namespace tarvo
