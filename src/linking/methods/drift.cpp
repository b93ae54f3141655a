#include "linking/methods/drift.h"

#include <algorithm>
#include <cmath>

namespace tarvo::linking {
namespace {

// The p quantile of sorted values with linear interpolation between order
// statistics (the usual "type 7" definition).
double Quantile(const std::vector<double>& sorted, double p) {
    const double position = p * static_cast<double>(sorted.size() - 1);
    const std::size_t below = static_cast<std::size_t>(std::floor(position));
    const std::size_t above = std::min(below + 1, sorted.size() - 1);
    return sorted[below] +
           (position - static_cast<double>(below)) * (sorted[above] - sorted[below]);
}

// Fewer items than this leave no quartiles worth the name.
constexpr std::size_t kFewestScreened = 4;

}  // namespace

const char* DriftRuleName(DriftRule rule) {
    switch (rule) {
        case DriftRule::Both:
            return "robust z and standard error";
        case DriftRule::RobustZ:
            return "robust z alone (standard errors not known)";
        case DriftRule::None:
            break;
    }
    return "";
}

std::size_t DriftScreen::DriftingCount() const {
    return static_cast<std::size_t>(std::count_if(
        items.begin(), items.end(), [](const DriftFinding& f) { return f.drifting; }));
}

DriftScreen ScreenDrift(const AnchorSet& set, const LinkConstants& constants, double threshold) {
    DriftScreen screen;
    std::vector<double> sorted;
    for (std::size_t k = 0; k < set.size(); ++k) {
        DriftFinding finding;
        finding.baseId = set.baseId[k];
        finding.newId = set.newId[k];
        finding.bBase = set.bBase[k];
        finding.bNewOnBase = constants.A * set.bNew[k] + constants.B;
        finding.difference = finding.bNewOnBase - finding.bBase;
        const double seNew = constants.A * set.seBNew[k];
        finding.seDifference = std::sqrt(seNew * seNew + set.seBBase[k] * set.seBBase[k]);
        // Both b known exactly: only an exact match is within the errors.
        finding.differenceOverSe = finding.difference == 0 && !std::isnan(finding.seDifference)
                                       ? 0
                                       : finding.difference / finding.seDifference;
        sorted.push_back(finding.difference);
        screen.items.push_back(std::move(finding));
    }
    if (!constants.ok) {
        screen.note = "the constants were not found";
        return screen;
    }
    if (set.size() < kFewestScreened) {
        screen.note = "fewer than " + std::to_string(kFewestScreened) + " common items";
        return screen;
    }
    std::sort(sorted.begin(), sorted.end());
    screen.median = Quantile(sorted, 0.5);
    screen.robustSd = 0.74 * (Quantile(sorted, 0.75) - Quantile(sorted, 0.25));
    const double spread = std::fmax(screen.robustSd, kDriftSdFloor);
    screen.screened = true;
    for (DriftFinding& finding : screen.items) {
        finding.z = (finding.difference - screen.median) / spread;
        if (!(std::fabs(finding.z) > threshold)) continue;
        const bool errorsKnown = !std::isnan(finding.differenceOverSe);
        if (errorsKnown && !(std::fabs(finding.differenceOverSe) > threshold)) continue;
        finding.drifting = true;
        finding.flaggedBy = errorsKnown ? DriftRule::Both : DriftRule::RobustZ;
    }
    return screen;
}

}  // namespace tarvo::linking
