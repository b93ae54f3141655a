#pragma once

#include <cstddef>

// How identifiers are written into a result file's rows, shared by the
// writers and the input check that warns about what they change.
namespace tarvo {

// An examinee ID fills 12 positions of a person row; a longer one is cut
// there.
inline constexpr std::size_t kExaminIdWidth = 12;

// A byte that would break a result file's row if written as it is: CR and
// LF end the row, and byte 26 ends the data for the line reader. None of
// them can reach an ID read from fixed columns (they end its line); a
// quoted cell of a delimited file can hold them. Such a byte is written as
// '?', so that every row stays one line. Other bytes are written as read.
inline constexpr bool BreaksResultRow(unsigned char byte) {
    return byte == '\r' || byte == '\n' || byte == 26;
}
inline constexpr char kResultRowStandIn = '?';

}  // namespace tarvo
