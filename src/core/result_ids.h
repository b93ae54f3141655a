#pragma once

#include <cstddef>

// How identifiers are written into a result file's rows, shared by the
// writers and the input check that warns about what they change.
namespace tarvo {

// An examinee ID fills 12 positions of a person row; a longer one is cut
// there.
inline constexpr std::size_t kExaminIdWidth = 12;

// A byte that would break a result file's row if written as it is: CR and
// LF end the row, NUL and byte 26 end the text for many readers, and the
// other control bytes but tab are not text. Such a byte is written as '?',
// so that every row stays one readable line.
inline constexpr bool BreaksResultRow(unsigned char byte) { return byte < 32 && byte != '\t'; }
inline constexpr char kResultRowStandIn = '?';

}  // namespace tarvo
