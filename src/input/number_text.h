#pragma once

#include <string_view>

namespace tarvo {

// Whether text, blanks around it aside, is one whole decimal number: an
// optional sign, digits with at most one decimal point, an optional exponent
// (E, e, D or d, optional sign, digits). "1.5x", "1,5" and "" are not;
// TextToNumber still reads a value from them, which is why a field that
// should hold a number is checked with this.
bool IsWholeNumberText(std::string_view text);

// The same, and the number has a decimal point: a value such as an ability,
// not a count or a code.
bool IsDecimalNumberText(std::string_view text);

// text without blanks (spaces and tabs) at either end.
std::string_view TrimBlanks(std::string_view text);

}  // namespace tarvo
