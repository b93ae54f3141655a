#pragma once

#include "core/run_tables.h"
#include "platform/control_texts.h"

namespace tarvo {

// The run settings from the dialog's boxes, by the number box rule: the item
// count, the item parameter file name (trimmed of spaces), its four fields
// (a, b, c, Item ID; start then length) when that name is not empty, the
// response file name exactly as typed, then the Examinee ID, theta and
// response start fields. Whether the files exist is the run's to check.
RunSettings ReadRunSettings(const ControlTexts& texts);

}  // namespace tarvo
