#pragma once

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
};

// The vector units the fast arithmetic can run on; all give the same bits.
// Best is the widest unit the processor has; the others are for comparing
// them (a unit the processor lacks falls back to Best).
enum class VectorUnit { Best, Avx512, Avx2, Portable };

// How a run's loops do their arithmetic; the threads are the request's.
struct EngineSettings {
    Arithmetic arithmetic = Arithmetic::Fast;
    VectorUnit vectorUnit = VectorUnit::Best;
};

}  // namespace tarvo
