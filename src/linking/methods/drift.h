#pragma once

#include <string>
#include <vector>

#include "linking/methods/link_methods.h"

// The drift screen: common items whose b, once the new form is on the base
// scale, lies unusually far from the base form's b. The difference of each
// pair is turned into a robust z, (d - median) / (0.74 IQR), which an
// outlier cannot inflate as it would an SD; an item beyond the threshold
// either way has drifted. The spread it is divided by is at least
// kDriftSdFloor: differences of b closer than that are the rounding of
// printed values (b with three decimals), not items that moved, and common
// items whose differences are all but equal would otherwise flag one that
// differs by a thousandth.
namespace tarvo::linking {

inline constexpr double kDriftThreshold = 2.7;
inline constexpr double kDriftSdFloor = 0.01;

struct DriftFinding {
    std::string baseId, newId;
    double bBase = 0;
    double bNewOnBase = 0;  // A b_new + B
    double difference = 0;  // bNewOnBase - bBase
    double z = kUnknown;
    bool drifting = false;
};

struct DriftScreen {
    std::vector<DriftFinding> items;  // in the order of the common items
    double median = kUnknown;
    double robustSd = kUnknown;  // 0.74 IQR; z divides by at least kDriftSdFloor
    bool screened = false;       // false: too few items, or no constants
    std::string note;            // why not screened
    std::size_t DriftingCount() const;
};

DriftScreen ScreenDrift(const AnchorSet& set, const LinkConstants& constants,
                        double threshold = kDriftThreshold);

}  // namespace tarvo::linking
