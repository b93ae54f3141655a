#pragma once

#include <cstddef>
#include <vector>

namespace tarvo::bench {

// Prints how long a whole link of two forms takes, every item common, for
// each number of items given.
void PrintLinkTimes(const std::vector<std::size_t>& counts);

}  // namespace tarvo::bench
