#pragma once

#include <cstdint>
#include <vector>

namespace tarvo::test_support {

// Bock and Lieberman's LSAT section 7: five items, 1000 examinees, as
// response patterns with their counts; the codes examinee after examinee,
// pattern by pattern in this order.
struct Lsat7Pattern {
    const char* pattern;
    int count;
};

inline constexpr Lsat7Pattern kLsat7Patterns[] = {
    {"00000", 12}, {"00001", 19}, {"00010", 1},  {"00011", 7},  {"00100", 3},  {"00101", 19},
    {"00110", 3},  {"00111", 17}, {"01000", 10}, {"01001", 5},  {"01010", 3},  {"01011", 7},
    {"01100", 7},  {"01101", 23}, {"01110", 8},  {"01111", 28}, {"10000", 7},  {"10001", 39},
    {"10010", 11}, {"10011", 34}, {"10100", 14}, {"10101", 51}, {"10110", 15}, {"10111", 90},
    {"11000", 6},  {"11001", 25}, {"11010", 7},  {"11011", 35}, {"11100", 18}, {"11101", 136},
    {"11110", 32}, {"11111", 308}};

inline std::vector<std::uint8_t> Lsat7() {
    std::vector<std::uint8_t> codes;
    for (const Lsat7Pattern& row : kLsat7Patterns) {
        for (int n = 0; n < row.count; ++n) {
            for (int i = 0; i < 5; ++i) codes.push_back(row.pattern[i] == '1' ? 1 : 0);
        }
    }
    return codes;
}

}  // namespace tarvo::test_support
