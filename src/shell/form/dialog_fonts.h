#pragma once

#include <QFont>

// The two fonts of the program's windows.
namespace tarvo::shell {

// "MS Sans Serif" 8 point when installed, else the system's sans-serif font
// at 8 point: every control of the main dialog and the progress window.
QFont DialogFont();

// The bold caption font of the group boxes: "Comic Sans MS" when installed,
// else "Comic Neue", else the dialog font in bold. Its pixel height is the
// display's vertical dots per inch times 8, divided by 72, truncated.
QFont GroupFont();

}  // namespace tarvo::shell
