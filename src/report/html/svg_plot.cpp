#include "report/html/svg_plot.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "report/html/html_writer.h"

namespace tarvo::report::html {

namespace {

std::string Fixed(double x, int decimals = 1) {
    char text[48];
    std::snprintf(text, sizeof text, "%.*f", decimals, x);
    return text;
}

// A round step giving about `count` ticks over [low, high].
double TickStep(double low, double high, int count) {
    const double raw = (high - low) / std::max(count, 1);
    if (!(raw > 0) || !std::isfinite(raw)) return 1;
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    for (double m : {1.0, 2.0, 2.5, 5.0, 10.0}) {
        if (m * power >= raw) return m * power;
    }
    return 10 * power;
}

std::string TickText(double x, double step) {
    const int decimals = step >= 1 ? 0 : static_cast<int>(std::ceil(-std::log10(step) - 1e-9));
    if (std::fabs(x) < step * 1e-6) x = 0;
    return Fixed(x, std::min(decimals, 6));
}

void FitRange(double& low, double& high, const std::vector<Series>& series, bool alongX) {
    if (low < high) return;
    low = INFINITY;
    high = -INFINITY;
    for (const Series& s : series) {
        for (double v : alongX ? s.x : s.y) {
            if (std::isfinite(v)) {
                low = std::min(low, v);
                high = std::max(high, v);
            }
        }
    }
    if (!std::isfinite(low)) low = 0, high = 1;
    if (low == high) low -= 0.5, high += 0.5;
    if (!alongX) {
        const double margin = (high - low) * 0.05;
        low -= margin;
        high += margin;
    }
}

}  // namespace

std::string LinePlot(const PlotFrame& frame, const std::vector<Series>& series) {
    double xLow = frame.xLow, xHigh = frame.xHigh, yLow = frame.yLow, yHigh = frame.yHigh;
    FitRange(xLow, xHigh, series, true);
    FitRange(yLow, yHigh, series, false);
    const double left = 52, right = 12, top = frame.title.empty() ? 10 : 24, bottom = 38;
    const double w = frame.width - left - right, h = frame.height - top - bottom;
    auto px = [&](double x) { return left + (x - xLow) / (xHigh - xLow) * w; };
    auto py = [&](double y) { return top + (yHigh - y) / (yHigh - yLow) * h; };

    std::string svg = "<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 " +
                      Fixed(frame.width, 0) + " " + Fixed(frame.height, 0) + "\" width=\"" +
                      Fixed(frame.width, 0) + "\" height=\"" + Fixed(frame.height, 0) +
                      "\" role=\"img\" aria-label=\"" + Escape(frame.title) + "\">";
    if (!frame.title.empty()) {
        svg += "<text x=\"" + Fixed(left) + "\" y=\"14\" font-weight=\"bold\">" +
               Escape(frame.title) + "</text>";
    }
    svg += "<rect x=\"" + Fixed(left) + "\" y=\"" + Fixed(top) + "\" width=\"" + Fixed(w) +
           "\" height=\"" + Fixed(h) + "\" fill=\"none\" stroke=\"#888\"/>";
    const double xStep = TickStep(xLow, xHigh, 6), yStep = TickStep(yLow, yHigh, 5);
    for (double x = std::ceil(xLow / xStep) * xStep; x <= xHigh + xStep * 1e-9; x += xStep) {
        svg += "<line x1=\"" + Fixed(px(x)) + "\" x2=\"" + Fixed(px(x)) + "\" y1=\"" + Fixed(top) +
               "\" y2=\"" + Fixed(top + h) + "\" stroke=\"#e4e4e4\"/>";
        svg += "<text x=\"" + Fixed(px(x)) + "\" y=\"" + Fixed(top + h + 14) +
               "\" text-anchor=\"middle\">" + TickText(x, xStep) + "</text>";
    }
    for (double y = std::ceil(yLow / yStep) * yStep; y <= yHigh + yStep * 1e-9; y += yStep) {
        svg += "<line x1=\"" + Fixed(left) + "\" x2=\"" + Fixed(left + w) + "\" y1=\"" +
               Fixed(py(y)) + "\" y2=\"" + Fixed(py(y)) + "\" stroke=\"#e4e4e4\"/>";
        svg += "<text x=\"" + Fixed(left - 4) + "\" y=\"" + Fixed(py(y) + 4) +
               "\" text-anchor=\"end\">" + TickText(y, yStep) + "</text>";
    }
    svg += "<text x=\"" + Fixed(left + w / 2) + "\" y=\"" + Fixed(frame.height - 6) +
           "\" text-anchor=\"middle\">" + Escape(frame.xLabel) + "</text>";
    svg += "<text transform=\"translate(12," + Fixed(top + h / 2) +
           ") rotate(-90)\" text-anchor=\"middle\">" + Escape(frame.yLabel) + "</text>";
    double legendY = top + 12;
    for (const Series& s : series) {
        const std::size_t n = std::min(s.x.size(), s.y.size());
        auto inside = [&](std::size_t i) {
            return std::isfinite(s.x[i]) && std::isfinite(s.y[i]) && s.x[i] >= xLow &&
                   s.x[i] <= xHigh && s.y[i] >= yLow && s.y[i] <= yHigh;
        };
        if (s.points) {
            for (std::size_t i = 0; i < n; ++i) {
                if (!inside(i)) continue;
                svg += "<circle cx=\"" + Fixed(px(s.x[i])) + "\" cy=\"" + Fixed(py(s.y[i])) +
                       "\" r=\"2.8\" fill=\"" + s.colour + "\"/>";
            }
        } else {
            std::string path;
            bool open = false;
            for (std::size_t i = 0; i < n; ++i) {
                if (!inside(i)) {
                    open = false;
                    continue;
                }
                path += (open ? "L" : "M") + Fixed(px(s.x[i])) + " " + Fixed(py(s.y[i]));
                open = true;
            }
            if (!path.empty()) {
                svg += "<path d=\"" + path + "\" fill=\"none\" stroke=\"" + s.colour +
                       "\" stroke-width=\"1.5\"" + (s.dashed ? " stroke-dasharray=\"4 3\"" : "") +
                       "/>";
            }
        }
        if (!s.label.empty()) {
            svg += "<rect x=\"" + Fixed(left + w - 110) + "\" y=\"" + Fixed(legendY - 8) +
                   "\" width=\"10\" height=\"3\" fill=\"" + s.colour + "\"/>";
            svg += "<text x=\"" + Fixed(left + w - 96) + "\" y=\"" + Fixed(legendY - 4) + "\">" +
                   Escape(s.label) + "</text>";
            legendY += 13;
        }
    }
    svg += "</svg>";
    return svg;
}

std::string PersonItemMapSvg(const PersonItemMap& map, const std::string& scaleName) {
    const std::size_t bins = map.counts.size();
    const double rowHeight = 12, top = 24, bottom = 16;
    const double axisX = 300, width = 760;
    const double height = top + bottom + rowHeight * static_cast<double>(bins);
    const std::size_t most =
        std::max<std::size_t>(1, *std::max_element(map.counts.begin(), map.counts.end()));
    // Bin k runs from low + k binWidth upward; the top row is the highest.
    auto rowTop = [&](std::size_t k) {
        return top + rowHeight * static_cast<double>(bins - 1 - k);
    };
    auto yOf = [&](double location) {
        return top + rowHeight * static_cast<double>(bins) -
               (location - map.low) / map.binWidth * rowHeight;
    };
    std::string svg = "<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 " + Fixed(width, 0) +
                      " " + Fixed(height, 0) + "\" width=\"" + Fixed(width, 0) + "\" height=\"" +
                      Fixed(height, 0) + "\" role=\"img\" aria-label=\"Person-item map\">";
    svg += "<text x=\"" + Fixed(axisX - 8) +
           "\" y=\"14\" text-anchor=\"end\" font-weight=\"bold\">"
           "Examinees</text><text x=\"" +
           Fixed(axisX + 40) + "\" y=\"14\" font-weight=\"bold\">Items</text>";
    const double barReach = axisX - 80;
    for (std::size_t k = 0; k < bins; ++k) {
        const double y = rowTop(k);
        const double length =
            barReach * static_cast<double>(map.counts[k]) / static_cast<double>(most);
        if (map.counts[k] > 0) {
            svg += "<rect x=\"" + Fixed(axisX - 36 - length) + "\" y=\"" + Fixed(y + 1) +
                   "\" width=\"" + Fixed(length) + "\" height=\"" + Fixed(rowHeight - 2) +
                   "\" fill=\"#7a9cc6\"><title>" + std::to_string(map.counts[k]) +
                   "</title></rect>";
        }
        // The bin's lower edge on the axis, every other bin.
        const double edge = map.low + map.binWidth * static_cast<double>(k);
        if (k % 2 == 0) {
            svg += "<text x=\"" + Fixed(axisX - 4) + "\" y=\"" + Fixed(y + rowHeight + 4) +
                   "\" text-anchor=\"end\">" + Fixed(edge, 2) + "</text>";
        }
    }
    svg += "<line x1=\"" + Fixed(axisX) + "\" x2=\"" + Fixed(axisX) + "\" y1=\"" + Fixed(top) +
           "\" y2=\"" + Fixed(height - bottom) + "\" stroke=\"#333\"/>";
    svg += "<text x=\"" + Fixed(axisX) + "\" y=\"" + Fixed(height - 2) +
           "\" text-anchor=\"middle\">" + Escape(scaleName) + "</text>";
    // Items in a bin are set side by side, as many as fit, then "+n".
    const double labelWidth = 34;
    const auto perRow = static_cast<std::size_t>((width - axisX - 12) / labelWidth);
    std::vector<std::size_t> used(bins, 0);
    for (const MapLocation& l : map.locations) {
        const double at = std::floor((l.location - map.low) / map.binWidth);
        const auto k = static_cast<std::size_t>(std::clamp(at, 0.0, static_cast<double>(bins - 1)));
        const std::size_t slot = used[k]++;
        const double y = yOf(l.location);
        if (slot < perRow) {
            svg += "<text x=\"" + Fixed(axisX + 8 + labelWidth * static_cast<double>(slot)) +
                   "\" y=\"" + Fixed(rowTop(k) + rowHeight - 2) + "\"><title>item " +
                   Escape(l.label) + " at " + Fixed(l.location, 3) + "</title>" + Escape(l.label) +
                   "</text>";
        } else if (slot == perRow) {
            svg += "<text x=\"" + Fixed(width - 4) + "\" y=\"" + Fixed(rowTop(k) + rowHeight - 2) +
                   "\" text-anchor=\"end\">+</text>";
        }
        svg += "<line x1=\"" + Fixed(axisX) + "\" x2=\"" + Fixed(axisX + 5) + "\" y1=\"" +
               Fixed(y) + "\" y2=\"" + Fixed(y) + "\" stroke=\"#a33\"/>";
    }
    svg += "</svg>";
    return svg;
}

}  // namespace tarvo::report::html
