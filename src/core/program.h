#pragma once

#include <string_view>

// The program's name and version as the job file and the run report record
// them; the version comes from the project's, the one place it is set.
namespace tarvo {

#ifndef TARVO_VERSION
#error "TARVO_VERSION comes from the core target's compile definitions"
#endif
inline constexpr std::string_view kProgramName = "TARVO " TARVO_VERSION;

}  // namespace tarvo
