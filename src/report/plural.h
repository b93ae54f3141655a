#pragma once

#include <cstddef>
#include <string>

namespace tarvo::report {

// A count with its words in the number it takes: "1 item has", "2 items have".
inline std::string Plural(std::size_t count, const char* one, const char* many) {
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

}  // namespace tarvo::report
