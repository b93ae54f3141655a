#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tarvo {

// How closely two result files of the same run agree, number by number. The
// files must have the same lines and the same words, counts included; each
// number with decimals is compared in units of its last printed digit (both
// must print the same decimals).
struct Agreement {
    std::size_t numericFields = 0;  // numbers with decimals
    std::size_t identicalFields = 0;
    std::uint64_t largestDifference = 0;  // in units of the last printed digit
    bool sameLayout = true;
    std::string firstDifference;  // where the layout or a number first differs

    // At least 99.9% of the numbers identical and none apart by more than one
    // unit of the last printed digit.
    bool Holds() const {
        return sameLayout && largestDifference <= 1 &&
               identicalFields * 1000 >= numericFields * 999;
    }
};

Agreement CompareResultFiles(std::string_view expected, std::string_view actual);

}  // namespace tarvo
