#pragma once

#include <time.h>

namespace tarvo::bench {

// The processor time of the calling thread: less disturbed by other load
// on the machine than the wall time.
inline double ThreadCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

}  // namespace tarvo::bench
