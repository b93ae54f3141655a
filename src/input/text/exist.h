#pragma once

#include <string>
#include <string_view>

namespace tarvo {

// Whether name names something on disk. An empty name does not exist. A name
// whose last part holds "*" (any run of characters) or "?" (any one
// character) exists when at least one entry of its folder matches; names
// starting with a dot match like any other. Every other character, "[" and
// "\" included, stands for itself, and the folder part is always taken
// literally. Otherwise the name exists when it names a file, a folder or any
// other entry (a dangling link included).
bool Exist(const std::string& name);

// The wildcard match used by Exist: "*" and "?" are the only wildcards.
bool MatchesWildcard(std::string_view pattern, std::string_view entryName);

}  // namespace tarvo
