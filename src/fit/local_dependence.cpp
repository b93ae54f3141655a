#include "fit/local_dependence.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstdint>

namespace tarvo::fit {

namespace {

bool Larger(const Q3Pair& x, const Q3Pair& y) {
    if (x.q3 != y.q3) return x.q3 > y.q3;
    return x.first != y.first ? x.first < y.first : x.second < y.second;
}

}  // namespace

LocalDependence DescribeLocalDependence(std::span<const double> q3, std::size_t items) {
    assert(q3.size() == items * items);
    LocalDependence out;
    std::vector<Q3Pair> pairs;
    pairs.reserve(items > 1 ? items * (items - 1) / 2 : 0);
    double sum = 0;
    for (std::size_t i = 0; i < items; ++i) {
        for (std::size_t k = i + 1; k < items; ++k) {
            const double r = q3[i * items + k];
            if (std::isnan(r)) continue;
            sum += r;
            pairs.push_back({static_cast<std::uint32_t>(i), static_cast<std::uint32_t>(k), r});
        }
    }
    out.definedPairs = pairs.size();
    if (items <= kQ3MatrixItems) out.matrix.assign(q3.begin(), q3.end());
    if (pairs.empty()) {
        out.note = items < 2 ? "Q3 needs at least two items."
                             : "Q3 is not defined for any pair: no two items were answered by "
                               "two examinees whose residuals vary.";
        return out;
    }
    out.averageQ3 = sum / static_cast<double>(pairs.size());
    out.flagAbove = out.averageQ3 + kQ3AboveAverage;

    const std::size_t largest = std::min(kQ3LargestPairs, pairs.size());
    std::partial_sort(pairs.begin(), pairs.begin() + static_cast<std::ptrdiff_t>(largest),
                      pairs.end(), Larger);
    out.largest.assign(pairs.begin(), pairs.begin() + static_cast<std::ptrdiff_t>(largest));
    for (const Q3Pair& pair : pairs) {
        if (pair.q3 > out.flagAbove) out.flagged.push_back(pair);
    }
    std::sort(out.flagged.begin(), out.flagged.end(), Larger);
    return out;
}

}  // namespace tarvo::fit
