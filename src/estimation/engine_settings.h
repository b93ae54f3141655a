#pragma once

#include <cstddef>

#include "parallel/worker_pool.h"

namespace tarvo {

// How the engine does its arithmetic. Both ways follow the same estimation
// rules; they differ only in how the sums of a scoring pass are formed.
enum class Arithmetic {
    // One response at a time with the library exponential, the b and c sums
    // in extended precision: the straightforward loops, kept as the yardstick.
    Reference,
    // Eight responses at a time with a vectorised exponential and double
    // sums over a fixed lane order; agrees with Reference to the printed
    // digits and does not depend on the number of threads.
    Fast,
    // Reference where the whole run is small, Fast otherwise: the front
    // ends' choice. On short columns a fast step can cross a bound by a
    // hair where the reference step does not, and a small run costs the
    // reference loops only milliseconds.
    BySize,
};

// BySize takes the reference loops below this many examinees x items: the
// reference loops cost about six times the fast kernels' time in the
// estimation of items, which stays under about a second below this size
// (tarvo-bench --only exact measures both around it).
inline constexpr std::size_t kReferenceArithmeticBelow = 20'000;

// The arithmetic a run of this many examinees and items computes in.
constexpr Arithmetic ArithmeticOfRun(Arithmetic asked, std::size_t examinees, std::size_t items) {
    if (asked != Arithmetic::BySize) return asked;
    // Divided, not multiplied: the product of two large counts may overflow.
    const bool small = examinees == 0 || items <= (kReferenceArithmeticBelow - 1) / examinees;
    return small ? Arithmetic::Reference : Arithmetic::Fast;
}

// The vector units the fast arithmetic can run on; all give the same bits.
// Best is the widest unit the processor has; the others are for comparing
// them (a unit the processor lacks falls back to Best).
enum class VectorUnit { Best, Avx512, Avx2, Portable };

// How a run's loops do their arithmetic; the threads are the request's.
struct EngineSettings {
    Arithmetic arithmetic = Arithmetic::BySize;
    VectorUnit vectorUnit = VectorUnit::Best;
    // Where the threads come from: the run's worker pools take the caller's
    // executor when one is given (a library caller's thread pool), their
    // own threads otherwise. The results are the same bits either way.
    TaskExecutor executor = {};
};

}  // namespace tarvo
