#pragma once

#include <string>

// The one range check of an item's values read from a file (held items of
// either kind, the forms a link reads): what the program can compute with
// and print in the value's column of a result file ("* #.000": -99.999 to
// 999.999). Each reader names the file, the line and the text around it.
namespace tarvo {

enum class ItemValue {
    A,        // a right/wrong item's slope: above 0
    SignedA,  // the slope of an item scored 0..m: either sign, not 0
    B,        // a difficulty or threshold
    C,        // a lower asymptote: from 0 to below 1
    Error,    // a standard error: 0 or above
};

// Empty when value can be used, or why not in the run's words: "must be a
// finite number", "must be above 0", "must not be 0", "must be from 0 to
// below 1", "must fit its column of the result (below 1000)" and, for b,
// "(from -99.999 to 999.999)".
std::string ItemValueFault(ItemValue kind, double value);

}  // namespace tarvo
