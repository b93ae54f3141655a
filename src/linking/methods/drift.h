#pragma once

#include <string>
#include <vector>

#include "linking/methods/link_methods.h"

// The drift screen: common items whose b, once the new form is on the base
// scale, lies unusually far from the base form's b. Each difference is
// judged twice. Against the others: its robust z, (d - median) / (0.74 IQR),
// which an outlier cannot inflate as it would an SD; the spread it is
// divided by is at least kDriftSdFloor, for differences of b closer than
// that are the rounding of printed values (b with three decimals), not items
// that moved. Against its own errors: d over sqrt(A^2 seB_new^2 +
// seB_base^2), for a difference a calibration's own uncertainty explains
// (a b-c trade-off in one form, a small sample) is no drift however it
// stands among the others. An item drifts when both pass the threshold;
// where either b's error is not known, the robust z alone decides, and the
// finding says so.
namespace tarvo::linking {

inline constexpr double kDriftThreshold = 2.7;
inline constexpr double kDriftSdFloor = 0.01;

// Which rules flagged a drifting item.
enum class DriftRule {
    None,     // not drifting
    Both,     // the robust z and the difference over its error
    RobustZ,  // the robust z; the standard errors are not known
};

// "robust z and standard error", "robust z alone (standard errors not
// known)", "".
const char* DriftRuleName(DriftRule rule);

struct DriftFinding {
    std::string baseId, newId;
    double bBase = 0;
    double bNewOnBase = 0;  // A b_new + B
    double difference = 0;  // bNewOnBase - bBase
    double z = kUnknown;
    // sqrt(A^2 seB_new^2 + seB_base^2), the constants taken as known; NaN
    // where either error is not known.
    double seDifference = kUnknown;
    double differenceOverSe = kUnknown;  // difference / seDifference
    bool drifting = false;
    DriftRule flaggedBy = DriftRule::None;
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
