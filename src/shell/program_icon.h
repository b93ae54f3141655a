#pragma once

#include <QIcon>

namespace tarvo::shell {

// The main dialog's title bar icon: an item characteristic curve on the
// dialog's yellow, drawn at run time so the program needs no image file.
QIcon ProgramIcon();

}  // namespace tarvo::shell
