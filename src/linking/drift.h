#pragma once

#include <string>
#include <vector>

#include "linking/link_methods.h"

// The drift screen: common items whose b, once the new form is on the base
// scale, lies unusually far from the base form's b. The difference of each
// pair is turned into a robust z, (d - median) / (0.74 IQR), which an
// outlier cannot inflate as it would an SD; an item beyond the threshold
// either way has drifted.
namespace tarvo::linking {

inline constexpr double kDriftThreshold = 2.7;

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
    double robustSd = kUnknown;  // 0.74 IQR
    bool screened = false;       // false: too few items, or differences without spread
    std::string note;            // why not screened
    std::size_t DriftingCount() const;
};

DriftScreen ScreenDrift(const AnchorSet& set, const LinkConstants& constants,
                        double threshold = kDriftThreshold);

}  // namespace tarvo::linking
