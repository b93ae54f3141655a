#pragma once

// The item rows of a run of the nominal model: the leading cells of the
// polytomous layout (SeqItem, AccNo, Model, Categories), then the keyed
// option (1..8, 0 without a key), a (the keyed option's slope less the
// mean of the others'), each option's slope a1..aK and intercept c1..cK
// (option 1 the reference, 0 and 0), then the errors in the same order
// (-1 where not formed, the reference's always). K is the most options of
// any item; cells an item does not have are empty. The examinees' rows
// follow as in the polytomous layout, the raw score being the number right.

#include <cstddef>
#include <span>
#include <string>
#include <string_view>

namespace tarvo {

struct NominalItemRow {
    std::size_t seq = 0;
    std::string_view AccNo;
    std::string_view model;
    int options = 0;
    int keyedOption = 0;  // 1..options, 0: none
    double a = 0, seA = -1;
    // Options 2..options against option 1: options - 1 values each.
    std::span<const double> slopes, intercepts, seSlopes, seIntercepts;
};

std::string NominalItemHeader(int mostOptions);
std::string NominalItemRowText(const NominalItemRow& row, int mostOptions);

}  // namespace tarvo
