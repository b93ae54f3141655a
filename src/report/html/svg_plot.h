#pragma once

// Plots as inline SVG for a page that needs no script and prints sharply:
// lines and points over two axes, and the person-item map.

#include <string>
#include <vector>

#include "report/html/person_item_map.h"

namespace tarvo::report::html {

struct Series {
    std::vector<double> x, y;  // points that are not finite are left out (a line breaks there)
    std::string colour = "#1f4e9a";
    std::string label;    // in the legend; empty: none
    bool points = false;  // circles at the points instead of a line
    bool dashed = false;
};

struct PlotFrame {
    double width = 420, height = 260;
    std::string title, xLabel, yLabel;
    // The axes' ranges; an axis whose low is not below its high is fitted to
    // the series.
    double xLow = 0, xHigh = 0, yLow = 0, yHigh = 0;
};

std::string LinePlot(const PlotFrame& frame, const std::vector<Series>& series);

// The map: the histogram of abilities to the left of the axis, the items'
// labels to the right at their locations; scaleName names the axis
// ("theta", "logits").
std::string PersonItemMapSvg(const PersonItemMap& map, const std::string& scaleName);

}  // namespace tarvo::report::html
