#pragma once

#include <string_view>

#include "shell/form/dialog_layout.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;

// The examinees' group field of the Response Input frame: a label and its
// start and length boxes, in the free space left of the column headings, so
// every other control keeps its place and size. The boxes are reached by
// their identifiers (control::kGroupStart, kGroupLength) like the others.
// "DIF..." sits on the same row, right of the column headings and under the
// response file's Browse, the one free place wide enough for its caption.
namespace tarvo::shell {

inline constexpr DialogRect kGroupLabelRect{10, 88, 23, 10};
inline constexpr DialogRect kGroupStartRect{35, 87, 20, 10};
inline constexpr DialogRect kGroupLengthRect{58, 87, 15, 10};
inline constexpr DialogRect kDifButtonRect{145, 86, 30, 13};

struct GroupControls {
    QLabel* label = nullptr;
    QLineEdit* start = nullptr;
    QLineEdit* length = nullptr;
    QPushButton* dif = nullptr;  // the DIF screens' dialog; enabled with a group field
};

class DialogUnits;

GroupControls BuildGroupControls(QWidget* dialog, const DialogUnits& units);

// Whether a run reads a group field, as the request parser does: a start
// column other than 0 (an empty length is one column), or a loaded job's
// group column of a delimited file, which has no box.
bool GroupFieldGiven(std::string_view start, std::string_view column);

// "DIF..." enabled while the group field is given, its tooltip saying what
// it does or, disabled, why.
void FollowGroupField(const GroupControls& controls, bool given);

}  // namespace tarvo::shell
