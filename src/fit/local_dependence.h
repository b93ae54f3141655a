#pragma once

#include <cstddef>
#include <span>

#include "fit/fit_results.h"

namespace tarvo::fit {

// A pair is flagged when its Q3 exceeds the average Q3 of all pairs by more
// than this (Christensen, Makransky & Horton 2017: Q3 is judged against its
// average, which is below 0 under local independence, about -1/(items - 1)).
inline constexpr double kQ3AboveAverage = 0.2;
// The whole matrix is kept up to this many items; above, only the largest pairs.
inline constexpr std::size_t kQ3MatrixItems = 200;
inline constexpr std::size_t kQ3LargestPairs = 100;

// The average, the flagged pairs, the largest pairs and (up to
// kQ3MatrixItems items) the matrix, from the items x items Q3 values.
LocalDependence DescribeLocalDependence(std::span<const double> q3, std::size_t items);

}  // namespace tarvo::fit
