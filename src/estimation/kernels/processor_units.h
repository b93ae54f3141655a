#pragma once

#include "estimation/engine_settings.h"

namespace tarvo {

// Whether this processor can run the kernels built for unit (Portable and
// Best: always).
inline bool ProcessorHas(VectorUnit unit) {
#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
    switch (unit) {
        case VectorUnit::Avx512:
            return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512dq") &&
                   __builtin_cpu_supports("avx512vl");
        case VectorUnit::Avx2:
            return __builtin_cpu_supports("avx2");
        default:
            return true;
    }
#else
    return unit == VectorUnit::Portable || unit == VectorUnit::Best;
#endif
}

}  // namespace tarvo
