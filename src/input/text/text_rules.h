#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/run_tables.h"

namespace tarvo {

// The text of at most field.length characters from column field.start
// (counted from 1), taken unchanged. Shorter when the line ends earlier;
// empty when start is 0 or lies beyond the end of the line.
std::string_view CutField(std::string_view line, FieldSpec field);

// How much of a line a field needs: the column of its last character, or 0
// for a field that is never cut (length 0 or start column 0). A line cut
// short after the last field's end gives the same fields as the whole line.
std::size_t FieldEnd(FieldSpec field);

// Reads the number at the front of text, the same way for the dialog's number
// boxes and for both input files:
// - leading spaces, tabs, carriage returns and line feeds are skipped;
// - "&H", "&O", "&Q", "&B" (either case) start a whole number in base 16, 8,
//   8, 2; a bare "&" starts an octal number;
// - otherwise: optional sign, digits with at most one decimal point, and an
//   optional exponent (E, e, D or d, optional sign, digits);
// - reading stops at the first character that does not fit, and text without
//   a digit gives 0.
// The value is the correctly rounded double of the text read. A value too
// large for a double gives +inf or -inf (1E999 is +inf), one too small gives
// 0, and zero is always +0, never -0.
double TextToNumber(std::string_view text);

// The number box rule: TextToNumber, rounded to the nearest whole number with
// halves going to the even neighbour, kept modulo 65536 (-1 gives 65535,
// 65536 gives 0). Infinities give 0, as they have no whole-number value.
std::uint16_t DialogNumber(std::string_view text);

// text without its leading and trailing spaces (only byte 32 is removed).
std::string TrimSpaces(std::string_view text);

}  // namespace tarvo
