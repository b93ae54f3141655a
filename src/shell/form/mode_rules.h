#pragma once

#include <array>
#include <string>
#include <string_view>

#include "core/modes.h"

// The rules behind the mode buttons and "Go", as plain functions: which status
// word each form row shows in each mode, which mode the checked button means,
// and when "Go" may be pressed.
namespace tarvo::shell {

// The status labels written by a mode button, in the order they are written:
// examinee ID, theta, item ID, a, b, c.
inline constexpr std::array<int, 6> kStatusLabelIds{1033, 1034, 1036, 1038, 1040, 1042};

// The six status words of mode 1..8, in the order of kStatusLabelIds.
const std::array<std::string_view, 6>& StatusWordsForMode(int mode);

// The mode the buttons 1003..1009 stand for: the first checked one, asked in
// that order, gives its position (1..7); when none of the seven is checked
// the mode is 8, whatever button 1010 says.
int ModeFromCheckedButtons(const std::array<bool, 7>& checked1003to1009);

// The buttons of the modes that take no item parameter file (2, 3, 6 and 8:
// buttons 1004, 1005, 1008, 1010); mode m's button is 1002 + m.
inline constexpr std::array<int, 4> kButtonsWithoutItemFile = [] {
    std::array<int, 4> buttons{};
    std::size_t k = 0;
    for (int mode = kFirstMode; mode <= kLastMode; ++mode) {
        if (!RulesOf(mode).needsItemFile) buttons.at(k++) = 1002 + mode;
    }
    return buttons;
}();

// Whether "Go" may be pressed: the response and output names must hold more
// than spaces, and so must the item parameter name unless the checked mode
// takes no item parameter file.
bool GoAllowed(bool modeNeedsNoItemFile, std::string_view outputName, std::string_view responseName,
               std::string_view itemParameterName);

// Removes leading and trailing spaces (the space character only).
std::string_view TrimSpaces(std::string_view text);

}  // namespace tarvo::shell
