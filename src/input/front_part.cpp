#include "input/front_part.h"

namespace tarvo {

std::optional<RunInputs> ReadRunInputs(RunHost&) { return std::nullopt; }

}  // namespace tarvo
