#include "estimation/kernels/fast_kernels.h"

#include "core/model_constants.h"
#include "estimation/kernels/processor_units.h"

namespace tarvo {

// Defined in fast_kernels_<unit>.cpp.
const FastKernels* Avx512Kernels();
const FastKernels* Avx2Kernels();
const FastKernels& PortableKernels();

const FastKernels* KernelsFor(VectorUnit unit) {
    switch (unit) {
        case VectorUnit::Avx512:
            return ProcessorHas(unit) ? Avx512Kernels() : nullptr;
        case VectorUnit::Avx2:
            return ProcessorHas(unit) ? Avx2Kernels() : nullptr;
        case VectorUnit::Portable:
            return &PortableKernels();
        case VectorUnit::Best:
            break;
    }
    for (const VectorUnit candidate : {VectorUnit::Avx512, VectorUnit::Avx2}) {
        if (const FastKernels* kernels = KernelsFor(candidate)) return kernels;
    }
    return &PortableKernels();
}

void FastExp8(VectorUnit unit, const double* x, double* result) {
    KernelsFor(unit)->exp8(x, result);
}

void ThetaTerms::Assign(std::span<const double> a, std::span<const double> b,
                        std::span<const double> c) {
    count_ = a.size();
    for (auto* terms : {&negDa_, &b_, &c_, &oneMinusC_, &scoreA_, &infoA_, &inverseOneMinusC_}) {
        terms->resize(count_);
    }
    for (std::size_t i = 0; i < count_; ++i) {
        negDa_[i] = -kD * a[i];
        b_[i] = b[i];
        c_[i] = c[i];
        oneMinusC_[i] = 1 - c[i];
        scoreA_[i] = kScoreD * a[i];
        infoA_[i] = kD * kD * (a[i] * a[i]);
        inverseOneMinusC_[i] = 1 / (1 - c[i]);
    }
}

ThetaTermsView ThetaTerms::View() const {
    return {negDa_.data(),
            b_.data(),
            c_.data(),
            oneMinusC_.data(),
            scoreA_.data(),
            infoA_.data(),
            inverseOneMinusC_.data(),
            count_};
}

}  // namespace tarvo
