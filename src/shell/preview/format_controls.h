#pragma once

#include "shell/form/dialog_layout.h"

class QComboBox;
class QLabel;
class QPushButton;
class QWidget;

// The response file's Format choice, its "Key..." and "Preview..." buttons:
// they sit in the free strip at the bottom of the Response Input frame,
// below the item responses row, so every other control keeps its place and
// size; they come after the Method choice in the tab order.
namespace tarvo::shell {

inline constexpr DialogRect kFormatLabelRect{10, 147, 24, 10};
inline constexpr DialogRect kFormatBoxRect{35, 145, 69, 13};
inline constexpr DialogRect kKeyButtonRect{106, 144, 22, 14};
inline constexpr DialogRect kPreviewButtonRect{130, 144, 45, 14};

struct FormatControls {
    QLabel* label = nullptr;
    QComboBox* format = nullptr;     // the entries of kFormatEntries; Fixed columns at start
    QPushButton* preview = nullptr;  // enabled while a response file is named
    QPushButton* key = nullptr;      // checked while a key is typed
};

class DialogUnits;

FormatControls BuildFormatControls(QWidget* dialog, const DialogUnits& units);

}  // namespace tarvo::shell
