#include "report/html/person_item_map.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace tarvo::report {

namespace {

// The axis never reaches past this many theta on either side.
constexpr double kAxisReach = 6;

bool PolytomousRow(const ItemReport& item) {
    return item.categories > 2 && !item.thresholds.empty();
}

}  // namespace

bool HasPersonItemMap(const RunReport& report) {
    return std::any_of(
        report.personRows.begin(), report.personRows.end(),
        [](const PersonReport& p) { return std::isfinite(p.theta) && p.nvalid > 0; });
}

bool RaschFamily(const RunReport& report) {
    const std::string& m = report.model;
    return m == "1pl" || m == "rasch" || m == "pcm" || m == "rsm" ||
           (report.method == "jml" && (report.mode == 6 || report.mode == 7 || report.mode == 8));
}

PersonItemMap MapOf(const RunReport& report, double scale, double binWidth) {
    PersonItemMap map;
    map.scale = scale;
    for (std::size_t i = 0; i < report.itemRows.size(); ++i) {
        const ItemReport& item = report.itemRows[i];
        const std::string seq = std::to_string(item.seqItem);
        if (PolytomousRow(item)) {
            for (std::size_t k = 0; k < item.thresholds.size(); ++k) {
                map.locations.push_back({i, static_cast<int>(k + 1), item.thresholds[k],
                                         seq + "." + std::to_string(k + 1)});
            }
        } else {
            map.locations.push_back({i, 0, item.b, seq});
        }
    }
    std::erase_if(map.locations, [](const MapLocation& l) {
        return !std::isfinite(l.location) || std::fabs(l.location) > kAxisReach;
    });
    std::stable_sort(
        map.locations.begin(), map.locations.end(),
        [](const MapLocation& x, const MapLocation& y) { return x.location < y.location; });

    // The axis: whole bins over the abilities and the locations, at least
    // -3 to 3, never past the reach.
    double low = -3, high = 3;
    for (const PersonReport& p : report.personRows) {
        if (!std::isfinite(p.theta) || p.nvalid == 0) continue;
        low = std::min(low, std::max(p.theta, -kAxisReach));
        high = std::max(high, std::min(p.theta, kAxisReach));
    }
    for (const MapLocation& l : map.locations) {
        low = std::min(low, l.location);
        high = std::max(high, l.location);
    }
    low = std::floor(low / binWidth) * binWidth;
    high = std::ceil(high / binWidth) * binWidth;
    const auto bins = static_cast<std::size_t>(std::llround((high - low) / binWidth));
    map.counts.assign(std::max<std::size_t>(bins, 1), 0);
    for (const PersonReport& p : report.personRows) {
        if (!std::isfinite(p.theta) || p.nvalid == 0) continue;
        const double at = std::floor((p.theta - low) / binWidth);
        if (p.theta < low || p.theta > high) ++map.outside;
        const auto bin = static_cast<std::size_t>(
            std::clamp(at, 0.0, static_cast<double>(map.counts.size() - 1)));
        ++map.counts[bin];
        ++map.examinees;
    }
    map.low = low * scale;
    map.binWidth = binWidth * scale;
    for (MapLocation& l : map.locations) l.location *= scale;
    return map;
}

}  // namespace tarvo::report
