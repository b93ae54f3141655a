#pragma once

#include <string>

namespace tarvo {

// The decimal digits of a number's magnitude as the masks see them: the
// digits before the point (none when the magnitude is below 1, no leading
// zeros otherwise) and the digits after it; every later digit is zero.
struct DecimalExpansion {
    std::string integerDigits;
    std::string fractionDigits;
};

// The first 18 significant digits of the exact value of |value|, rounded to
// nearest with ties to even at the 18th digit. Zero gives no digits at all.
// An infinity gives nineteen 9s followed by zeros, 999 integer digits.
// value must not be NaN.
DecimalExpansion ExpandMagnitude(double value);

}  // namespace tarvo
