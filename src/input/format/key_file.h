#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "input/text/input_file.h"

namespace tarvo {

struct KeyOrError {
    std::optional<std::string> key;
    std::string error;     // when key is empty: what is wrong and how to put it right
    bool stopped = false;  // a stop was asked for while the key file was opened or read
};

// The answer key from a key file: its first line (or, when that is a header
// of names, its second) holds one key character per item, either written
// one after another ("ACDB...") or as cells separated by the delimiter
// (0: only the first way), blanks around each cell aside. The key must have
// itemCount characters; blanks at the end of a written-out key do not count.
// The stop poll is asked while the file is opened or read (a FIFO without a
// writer); a stop gives no key and stopped.
KeyOrError ReadKeyFile(const std::string& path, std::size_t itemCount, char delimiter,
                       const StopPoll& stop = {});

// The key characters of one line written either way (nothing when a cell
// holds more than one character), however many they are.
std::optional<std::string> KeyCharacters(std::string_view line, char delimiter);

// The answer key typed by the user (--key, the dialog's "Key..."), by the
// rules of a key file's line.
KeyOrError ReadTypedKey(std::string_view text, std::size_t itemCount, char delimiter);

}  // namespace tarvo
