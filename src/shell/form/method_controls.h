#pragma once

#include "shell/form/dialog_layout.h"

class QComboBox;
class QLabel;
class QPalette;
class QPushButton;
class QWidget;

// The estimator choice of the main dialog: a "Method" label, the choice
// between the classic and the marginal estimator, "Options..." for the
// marginal one, and "Save settings..." and "Load settings..." for a job
// file. They sit in the strip below the Output frame and the buttons, which
// no other control uses, so every other control keeps its place and size;
// they come after the others in the tab order.
namespace tarvo::shell {

inline constexpr DialogRect kMethodLabelRect{10, 207, 27, 10};
inline constexpr DialogRect kMethodBoxRect{38, 205, 97, 13};
inline constexpr DialogRect kMethodOptionsRect{140, 204, 40, 15};
inline constexpr DialogRect kSaveSettingsRect{200, 204, 65, 15};
inline constexpr DialogRect kLoadSettingsRect{270, 204, 65, 15};

// The entries of the Method box, in the order of EstimatorMethod.
inline constexpr const char* kMethodEntries[] = {"Classic (JML)", "Marginal (MML)"};

struct MethodControls {
    QLabel* label = nullptr;
    QComboBox* method = nullptr;     // Classic at start
    QPushButton* options = nullptr;  // enabled only with Marginal
    QPushButton* saveSettings = nullptr;
    QPushButton* loadSettings = nullptr;
};

class DialogUnits;

MethodControls BuildMethodControls(QWidget* dialog, const DialogUnits& units);

// "Link..." opens the Link window. It sits at the end of the same strip,
// after "Load settings...", clear of every other control and inside the
// dialog's 382 units.
inline constexpr DialogRect kLinkButtonRect{340, 204, 38, 15};

}  // namespace tarvo::shell
