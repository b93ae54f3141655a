#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>

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

// Gives each examinee read its group: the group field's text trimmed of
// blanks names the group, a field of blanks (or none) is no group. Labels are
// numbered in the order they first appear, so the first group in the file is
// group 0. Every reader of responses uses it, so that a fixed-column file, a
// delimited file and responses in memory label their groups alike.
class GroupLabeller {
  public:
    // Appends the group of the next examinee to persons.group, and its label
    // to persons.groupLabels when it is new.
    void Append(std::string_view field, PersonTable& persons);

  private:
    // Looked up by the field's view, so that a label already known costs no
    // copy of its text.
    struct LabelHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view text) const {
            return std::hash<std::string_view>{}(text);
        }
    };
    std::unordered_map<std::string, std::int32_t, LabelHash, std::equal_to<>> index_;
};

}  // namespace tarvo
