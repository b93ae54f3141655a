#pragma once

#include <QIcon>
#include <array>

namespace tarvo::shell {

// The sizes in which the program's icon is drawn, in pixels; the same images
// are installed in the desktop's icon theme.
inline constexpr std::array<int, 6> kProgramIconSizes{16, 32, 48, 64, 128, 256};

// The main dialog's title bar icon: an item characteristic curve on the
// dialog's yellow, built into the program from the installed icon's images.
QIcon ProgramIcon();

}  // namespace tarvo::shell
