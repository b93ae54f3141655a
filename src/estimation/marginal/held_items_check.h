#pragma once

#include <string>

#include "core/marginal_models.h"
#include "input/front_part.h"

namespace tarvo::mml {

// Empty, or the refusal of the first held item whose value the model takes
// from the item parameter file and cannot use: text that is not a number,
// a value that is not finite, a <= 0, a or b too large for its column in
// the result, c outside [0, 1) (ItemValueFault). It names the file, the line (the item's number)
// and the text as the file gives it.
std::string CheckHeldItems(const RunInputs& inputs, const MarginalModelRules& rules);

}  // namespace tarvo::mml
