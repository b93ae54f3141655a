#include "shell/form/mode_rules.h"

namespace tarvo::shell {
namespace {

using Row = std::array<std::string_view, 6>;

constexpr std::array<Row, kLastMode> StatusWordTable() {
    std::array<Row, kLastMode> table{};
    for (int mode = kFirstMode; mode <= kLastMode; ++mode) {
        for (std::size_t k = 0; k < Row{}.size(); ++k) {
            table[static_cast<std::size_t>(mode - kFirstMode)][k] =
                StatusWord(RulesOf(mode).status[k]);
        }
    }
    return table;
}

constexpr std::array<Row, kLastMode> kStatusTable = StatusWordTable();

}  // namespace

const std::array<std::string_view, 6>& StatusWordsForMode(int mode) {
    // The mode always comes from ModeFromCheckedButtons; anything else falls
    // back to the last mode as that function does.
    if (!IsMode(mode)) mode = kLastMode;
    return kStatusTable[static_cast<std::size_t>(mode - kFirstMode)];
}

int ModeFromCheckedButtons(const std::array<bool, 7>& checked1003to1009) {
    for (std::size_t k = 0; k < checked1003to1009.size(); ++k) {
        if (checked1003to1009[k]) return static_cast<int>(k) + 1;
    }
    return 8;
}

bool GoAllowed(bool modeNeedsNoItemFile, std::string_view outputName, std::string_view responseName,
               std::string_view itemParameterName) {
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
