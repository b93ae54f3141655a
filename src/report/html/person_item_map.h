#pragma once

// The person-item map: the examinees' abilities as a histogram and the
// items' locations (an item scored 0..m by each of its thresholds) on one
// theta axis, as plain data that the HTML report and the results window
// both draw.

#include <cstddef>
#include <string>
#include <vector>

#include "report/run_report.h"

namespace tarvo::report {

// The logit scale of the Rasch family: theta times the model's D.
inline constexpr double kLogitsPerTheta = 1.7;

struct MapLocation {
    std::size_t item = 0;  // index into the report's items
    int threshold = 0;     // 0: a right/wrong item's b; k: threshold k of an item scored 0..m
    double location = 0;   // on the map's scale
    std::string label;     // "12", or "12.3" for threshold 3 of item 12
};

struct PersonItemMap {
    double scale = 1;  // 1: theta; kLogitsPerTheta: logits
    double low = 0;    // the axis, on the map's scale
    double binWidth = 0;
    std::vector<std::size_t> counts;     // examinees per bin, from low upward
    std::size_t examinees = 0;           // with a finite theta, on the map
    std::size_t outside = 0;             // finite thetas beyond the axis, counted in the end bins
    std::vector<MapLocation> locations;  // finite locations, lowest first
};

// Whether the run has abilities to map (estimated or given): an examinee
// with a valid response and a finite theta.
bool HasPersonItemMap(const RunReport& report);

// Whether the run is of the Rasch family (the 1PL or Rasch model, the PCM or
// the RSM), whose users read the map in logits too.
bool RaschFamily(const RunReport& report);

// The map on the scale (1: theta, kLogitsPerTheta: logits): bins of
// binWidth theta over the abilities and locations that are finite, the axis
// cut at +-6 theta (abilities beyond go into the end bins, locations beyond
// are left off).
PersonItemMap MapOf(const RunReport& report, double scale, double binWidth = 0.25);

}  // namespace tarvo::report
