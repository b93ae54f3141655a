#include "estimation/classic/driver.h"

#include "core/modes.h"

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
    if (!IsMode(mode)) return {};
    switch (RulesOf(mode).path) {
        case RunPath::ThetaOnly:
            return RunThetaOnly(mode, items, persons, host, writer, engine);
        case RunPath::ItemsOnly:
            return RunItemsOnly(mode, items, persons, host, writer, engine);
        case RunPath::Joint:
            return RunJoint(mode, items, persons, host, writer, engine);
    }
    return {};
}

}  // namespace tarvo
