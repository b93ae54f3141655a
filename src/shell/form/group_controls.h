#pragma once

#include "shell/form/dialog_layout.h"

class QLabel;
class QLineEdit;
class QWidget;

// The examinees' group field of the Response Input frame: a label and its
// start and length boxes, in the free space left of the column headings, so
// every other control keeps its place and size. The boxes are reached by
// their identifiers (control::kGroupStart, kGroupLength) like the others.
namespace tarvo::shell {

inline constexpr DialogRect kGroupLabelRect{10, 88, 23, 10};
inline constexpr DialogRect kGroupStartRect{35, 87, 20, 10};
inline constexpr DialogRect kGroupLengthRect{58, 87, 15, 10};

struct GroupControls {
    QLabel* label = nullptr;
    QLineEdit* start = nullptr;
    QLineEdit* length = nullptr;
};

class DialogUnits;

GroupControls BuildGroupControls(QWidget* dialog, const DialogUnits& units);

}  // namespace tarvo::shell
