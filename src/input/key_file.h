#pragma once

#include <optional>
#include <string>

namespace tarvo {

struct KeyOrError {
    std::optional<std::string> key;
    std::string error;  // when key is empty: what is wrong and how to put it right
};

// The answer key from a key file: its first line (or, when that is a header
// of names, its second) holds one key character per item, either written
// one after another ("ACDB...") or as cells separated by the delimiter
// (0: only the first way), blanks around each cell aside. The key must have
// itemCount characters; blanks at the end of a written-out key do not count.
KeyOrError ReadKeyFile(const std::string& path, std::size_t itemCount, char delimiter);

}  // namespace tarvo
