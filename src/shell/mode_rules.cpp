#include "shell/mode_rules.h"

namespace tarvo::shell {
namespace {

using Row = std::array<std::string_view, 6>;

constexpr std::string_view R = "Required";
constexpr std::string_view O = "Optional";
constexpr std::string_view C = "Computed";
constexpr std::string_view I = "Ignored";

//                                   examinee ID, theta, item ID, a, b, c
constexpr std::array<Row, 8> kStatusTable{{
    {O, C, I, R, R, R},  // 1 theta | a,b,c,responses
    {I, R, O, C, C, C},  // 2 a,b,c | theta,responses
    {O, C, O, C, C, C},  // 3 theta,a,b,c | responses
    {I, R, O, C, C, R},  // 4 a,b | c,theta,responses
    {O, C, O, C, C, R},  // 5 theta,a,b | c,responses
    {O, C, O, I, C, I},  // 6 theta,b | responses
    {O, C, O, I, R, I},  // 7 theta | b,responses
    {O, R, O, I, C, I},  // 8 b | theta,responses
}};

}  // namespace

const std::array<std::string_view, 6>& StatusWordsForMode(int mode) {
    // The mode always comes from ModeFromCheckedButtons; anything else falls
    // back to mode 8 as that function does.
    if (mode < 1 || mode > 8) mode = 8;
    return kStatusTable[static_cast<std::size_t>(mode - 1)];
}

int ModeFromCheckedButtons(const std::array<bool, 7>& checked1003to1009) {
    for (std::size_t k = 0; k < checked1003to1009.size(); ++k) {
        if (checked1003to1009[k]) return static_cast<int>(k) + 1;
    }
    return 8;
}

bool GoAllowed(bool modeNeedsNoItemFile, std::string_view outputName,
               std::string_view responseName, std::string_view itemParameterName) {
    const bool inputsNamed = !TrimSpaces(responseName).empty() && !TrimSpaces(outputName).empty();
    if (modeNeedsNoItemFile) return inputsNamed;
    return inputsNamed && !TrimSpaces(itemParameterName).empty();
}

std::string_view TrimSpaces(std::string_view text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) return {};
    const auto last = text.find_last_not_of(' ');
    return text.substr(first, last - first + 1);
}

}  // namespace tarvo::shell
