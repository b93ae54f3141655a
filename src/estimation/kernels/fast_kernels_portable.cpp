// The fast kernels for the The baseline instruction set of the target: runs on every processor.
#define TARVO_KERNEL_NAMESPACE kernels_portable
#include "estimation/kernels/fast_kernel_types.h"
#include "estimation/kernels/fast_kernels_body.h"

namespace tarvo {

const FastKernels& PortableKernels() {
    static constexpr FastKernels kKernels{"portable",
                                          kernels_portable::ThetaPass,
                                          kernels_portable::ItemPassA,
                                          kernels_portable::ItemPassB,
                                          kernels_portable::ItemPassC,
                                          kernels_portable::Fit,
                                          kernels_portable::Exp8};
    return kKernels;
}

}  // namespace tarvo
