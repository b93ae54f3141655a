#pragma once

#include <cstddef>

namespace tarvo::bench {

// The bytes that operator new has handed out and not yet taken back, and the
// most there were at any moment since the program started. tarvo-bench
// replaces the global operator new and delete to keep these, so that a run's
// memory can be told apart from the program's code and libraries, which the
// resident-memory figures also hold.
std::size_t HeapInUse();
std::size_t HeapPeak();

}  // namespace tarvo::bench
