#include "estimation/classic/evaluation_counter.h"

namespace tarvo {

#ifdef TARVO_COUNT_EVALUATIONS
std::atomic<std::uint64_t>& EvaluationCounter() {
    static std::atomic<std::uint64_t> counter{0};
    return counter;
}
#endif

}  // namespace tarvo
