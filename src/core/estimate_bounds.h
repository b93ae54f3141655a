#pragma once

// The bounds the scoring loops hold the estimates in, where a value beyond
// a bound is put, and the values a standard error takes at its limits. The
// loops (estimation/scoring_loops.h) apply them; the run report flags
// estimates that ended on one. The single-precision values are 0.0001 and
// 0.999 held in single precision.

namespace tarvo {

// Theta: above 3 becomes 3, below -3 becomes -3.
inline constexpr double kThetaBound = 3;

// a: unless at most 2 it becomes 2; below 0 it becomes 0.0001.
inline constexpr double kAUpper = 2;
inline constexpr double kALower = 0;
inline constexpr double kABelowLower = static_cast<double>(0.0001f);

// b: unless at most 5 it becomes 5; below -5 it becomes -5.
inline constexpr double kBBound = 5;

// c: unless at most 1 it becomes 0.999; below 0 it becomes 0.0001.
inline constexpr double kCUpper = 1;
inline constexpr double kCAboveUpper = static_cast<double>(0.999f);
inline constexpr double kCLower = 0;
inline constexpr double kCBelowLower = static_cast<double>(0.0001f);

// A standard error is capped at 99; -1 marks a parameter not estimated.
inline constexpr double kStandardErrorCap = 99;
inline constexpr double kNotEstimated = -1;

}  // namespace tarvo
