#pragma once

// The constants of the logistic model and of its fit, in one place for both
// arithmetics: the reference loops and the fast kernels (which are compiled
// once per vector unit) include this header and nothing else of the model.
// Plain values and one template only, so the kernels instantiate nothing
// from the library here.
//
// A test build of the arithmetic may define TARVO_TEST_MODEL_D,
// TARVO_TEST_PROB_LOWER and TARVO_TEST_PROB_UPPER to other values, to show
// that both arithmetics follow these and no copy of their own.

#include <cstdint>

namespace tarvo {

#ifndef TARVO_TEST_MODEL_D
#define TARVO_TEST_MODEL_D 1.7
#endif
#ifndef TARVO_TEST_PROB_LOWER
#define TARVO_TEST_PROB_LOWER 0.001f
#endif
#ifndef TARVO_TEST_PROB_UPPER
#define TARVO_TEST_PROB_UPPER 0.999f
#endif

// Scaling constant of the logistic model.
inline constexpr double kD = TARVO_TEST_MODEL_D;
// The same constant held in single precision (1.7000000476837158): the
// ability score sum takes this one, its information sum the double kD.
inline constexpr double kScoreD = static_cast<double>(static_cast<float>(kD));

// Probability bounds: 0.001 and 0.999 held in single precision.
inline constexpr double kProbLower = static_cast<double>(TARVO_TEST_PROB_LOWER);
inline constexpr double kProbUpper = static_cast<double>(TARVO_TEST_PROB_UPPER);

#undef TARVO_TEST_MODEL_D
#undef TARVO_TEST_PROB_LOWER
#undef TARVO_TEST_PROB_UPPER

// Scored response codes. A 9 (no response) is skipped by every sum and count.
inline constexpr std::uint8_t kIncorrect = 0;
inline constexpr std::uint8_t kCorrect = 1;
inline constexpr std::uint8_t kNoResponse = 9;

// An item's fit (its mean squared residual) needs this many valid responses;
// with fewer, and for an empty column, the fit is kNoFit. An items-only run
// leaves such an item unestimated.
inline constexpr std::int32_t kFewestResponsesForFit = 10;
inline constexpr double kNoFit = -1;

// The bounded response probability, written once for a double and for the
// fast kernels' eight lanes. Lanes gives Splat(double), Max(x, y) as
// x > y ? x : y and Min(x, y) as x < y ? x : y, lane by lane. The lower bound
// comes first and keeps NaN; the upper test then sends NaN to the upper
// bound ("unless p is at most the bound").
template <typename Lanes, typename Value>
[[gnu::always_inline]] constexpr Value BoundProbability(Value p) {
    p = Lanes::Max(Lanes::Splat(kProbLower), p);
    return Lanes::Min(p, Lanes::Splat(kProbUpper));
}

// Lanes of one double, for BoundProbability.
struct ScalarLanes {
    static constexpr double Splat(double x) { return x; }
    static constexpr double Max(double x, double y) { return x > y ? x : y; }
    static constexpr double Min(double x, double y) { return x < y ? x : y; }
};

}  // namespace tarvo
