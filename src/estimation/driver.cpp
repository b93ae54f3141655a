#include "estimation/driver.h"

namespace tarvo {

int RoundedPercent(std::size_t done, std::size_t total) {
    if (total == 0) return 0;
    const unsigned long long scaled = static_cast<unsigned long long>(done) * 100;
    unsigned long long quotient = scaled / total;
    const unsigned long long twiceRemainder = 2 * (scaled % total);
    if (twiceRemainder > total || (twiceRemainder == total && quotient % 2 == 1)) ++quotient;
    return static_cast<int>(quotient);
}

EstimationOutcome RunEstimation(int mode, ItemTable& items, PersonTable& persons, RunHost& host,
                                ResultWriter& writer, const Engine& engine) {
    switch (mode) {
        case 1:
        case 7:
            return RunThetaOnly(mode, items, persons, host, writer, engine);
        case 2:
        case 4:
        case 8:
            return RunItemsOnly(mode, items, persons, host, writer, engine);
        case 3:
        case 5:
        case 6:
            return RunJoint(mode, items, persons, host, writer, engine);
        default:
            return {};
    }
}

}  // namespace tarvo
