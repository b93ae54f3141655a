#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

// Bock and Lieberman's LSAT sections 6 and 7 (as R's psych package keeps
// them in bock.table): five items and 1000 examinees each, as response
// patterns with their counts, in the packages' pattern order.
namespace tarvo::test_support {

struct PatternCount {
    const char* pattern;
    int count;
};

enum class Lsat { Section6, Section7 };

inline std::vector<PatternCount> LsatPatterns(Lsat section) {
    if (section == Lsat::Section6) {
        return {{"00000", 3},   {"00001", 6},  {"00010", 2},  {"00011", 11}, {"00100", 1},
                {"00101", 1},   {"00110", 3},  {"00111", 4},  {"01000", 1},  {"01001", 8},
                {"01011", 16},  {"01101", 3},  {"01110", 2},  {"01111", 15}, {"10000", 10},
                {"10001", 29},  {"10010", 14}, {"10011", 81}, {"10100", 3},  {"10101", 28},
                {"10110", 15},  {"10111", 80}, {"11000", 16}, {"11001", 56}, {"11010", 21},
                {"11011", 173}, {"11100", 11}, {"11101", 61}, {"11110", 28}, {"11111", 298}};
    }
    return {{"00000", 12}, {"00001", 19}, {"00010", 1},  {"00011", 7},  {"00100", 3},
            {"00101", 19}, {"00110", 3},  {"00111", 17}, {"01000", 10}, {"01001", 5},
            {"01010", 3},  {"01011", 7},  {"01100", 7},  {"01101", 23}, {"01110", 8},
            {"01111", 28}, {"10000", 7},  {"10001", 39}, {"10010", 11}, {"10011", 34},
            {"10100", 14}, {"10101", 51}, {"10110", 15}, {"10111", 90}, {"11000", 6},
            {"11001", 25}, {"11010", 7},  {"11011", 35}, {"11100", 18}, {"11101", 136},
            {"11110", 32}, {"11111", 308}};
}

// The scored codes, examinee after examinee.
inline std::vector<std::uint8_t> LsatCodes(Lsat section) {
    std::vector<std::uint8_t> codes;
    for (const PatternCount& row : LsatPatterns(section)) {
        for (int n = 0; n < row.count; ++n) {
            for (int i = 0; i < 5; ++i) codes.push_back(row.pattern[i] == '1' ? 1 : 0);
        }
    }
    return codes;
}

// The response file in the sample layout: identifier in columns 1-8, the
// five responses from column 20, CR LF line ends.
inline std::string LsatResponseFile(Lsat section) {
    std::string text;
    int examinee = 0;
    for (const PatternCount& row : LsatPatterns(section)) {
        for (int n = 0; n < row.count; ++n) {
            char id[16];
            std::snprintf(id, sizeof id, "P%07d", ++examinee);
            text += std::string(id) + std::string(11, ' ') + row.pattern + "\r\n";
        }
    }
    return text;
}

}  // namespace tarvo::test_support
