#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "core/run_tables.h"

namespace tarvo {

// The key used when the response file has no key record: itemCount times "1",
// so that files already coded 1/0 are scored unchanged.
std::string DefaultAnswerKey(std::size_t itemCount);

// The code of one response character against its key character: a blank or a
// "9" is missing (9) before the key is consulted; otherwise an exact byte
// match is correct (1) and anything else incorrect (0).
std::uint8_t ScoreResponse(char response, char keyChar);

// The key character of an item scored by its digit in a polytomous run.
inline constexpr char kScoredByDigit = '+';

// The code of a response to an item scored by its digit: "0".."8" are the
// score, anything else ("9", a blank, a letter) is missing (9).
std::uint8_t ScoreDigit(char response);

// The code of a response read by option: "1".."8" are options 0..7;
// anything else ("0" for seen and not answered, "9", a blank) is missing (9).
std::uint8_t ScoreOption(char response);

// Appends one examinee's responses read by option (ScoreOption), then 9
// for the blanks that lengthen a short record and for the rest of the
// itemCount items.
void AppendOptionCodes(std::string_view present, std::size_t itemCount, PersonTable& persons);

// Appends the codes of one examinee's responses to the table: the characters
// present scored against the key (with byDigit, items keyed "+" by their
// digit, ScoreDigit), then 9 for the blanks that lengthen a
// short record, then 0 for the rest of the itemCount items (a response that
// is not there at all is empty text, whose number is 0).
void AppendScoredResponses(std::string_view present, std::size_t blanks, std::string_view key,
                           std::size_t itemCount, PersonTable& persons, bool byDigit = false);

// Appends one examinee's response characters as read to options: the
// characters present, then blanks up to itemCount.
void AppendOptions(std::string_view present, std::size_t itemCount, std::vector<char>& options);

// Whether a response field holds no response at all: exactly itemCount
// blanks. Such a line is skipped. A field shorter than itemCount (the
// response field starts at column 0) is not blank.
bool IsBlankResponseField(std::string_view field, std::size_t itemCount);

// Whether an identifier marks the key record: its first three characters
// are "KEY" in any case. Shorter identifiers never do.
bool IsKeyIdentifier(std::string_view identifier);

}  // namespace tarvo
