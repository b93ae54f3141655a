#include "estimation/estimator.h"

namespace tarvo {

int RoundedPercent(std::size_t done, std::size_t total) {
    if (total == 0) return 0;
    const unsigned long long scaled = static_cast<unsigned long long>(done) * 100;
    unsigned long long quotient = scaled / total;
    const unsigned long long twiceRemainder = 2 * (scaled % total);
    if (twiceRemainder > total || (twiceRemainder == total && quotient % 2 == 1)) ++quotient;
    return static_cast<int>(quotient);
}

}  // namespace tarvo
