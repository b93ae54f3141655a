#include "estimation/kernels/mml_kernels.h"

#include <initializer_list>

#include "estimation/kernels/processor_units.h"

namespace tarvo {

// Defined in mml_kernels_<unit>.cpp; nullptr where this build lacks the unit.
const MarginalKernels* Avx512MarginalKernels();
const MarginalKernels* Avx2MarginalKernels();
const MarginalKernels& PortableMarginalKernels();

namespace {

const MarginalKernels* Available(VectorUnit unit) {
    if (!ProcessorHas(unit)) return nullptr;
    switch (unit) {
        case VectorUnit::Avx512:
            return Avx512MarginalKernels();
        case VectorUnit::Avx2:
            return Avx2MarginalKernels();
        default:
            return &PortableMarginalKernels();
    }
}

}  // namespace

const MarginalKernels& MarginalKernelsFor(VectorUnit unit) {
    if (unit != VectorUnit::Best) {
        if (const MarginalKernels* kernels = Available(unit)) return *kernels;
    }
    for (const VectorUnit candidate : {VectorUnit::Avx512, VectorUnit::Avx2}) {
        if (const MarginalKernels* kernels = Available(candidate)) return *kernels;
    }
    return PortableMarginalKernels();
}

}  // namespace tarvo
