#include "shell/results/report/person_item_map_chart.h"

#include <QtCharts/QAreaSeries>
#include <QtCharts/QCategoryAxis>
#include <QtCharts/QLineSeries>
#include <QtCharts/QScatterSeries>
#include <QtCharts/QValueAxis>
#include <algorithm>
#include <map>

#include "report/html/person_item_map.h"
#include "shell/results/results_charts.h"

namespace tarvo::shell {

namespace {

// The labels of one bin of items stop at about this many characters.
constexpr int kLabelCharacters = 40;

}  // namespace

QChart* MakePersonItemMapChart(const RunReport& report, double scale) {
    const bool logits = scale != 1;
    const report::PersonItemMap map = report::MapOf(report, scale);
    QChart* chart = NewChart(QStringLiteral("Person-item map"));
    const double low = map.low;
    const double high = map.low + map.binWidth * static_cast<double>(map.counts.size());
    const std::size_t most =
        std::max<std::size_t>(1, *std::max_element(map.counts.begin(), map.counts.end()));

    // The bins as one stepped outline growing to the left of 0 (counts
    // drawn as negative values), theta upward.
    auto* outline = new QLineSeries;
    for (std::size_t bin = 0; bin < map.counts.size(); ++bin) {
        const double from = low + map.binWidth * static_cast<double>(bin);
        const double count = -static_cast<double>(map.counts[bin]);
        outline->append(0, from);
        outline->append(count, from);
        outline->append(count, from + map.binWidth);
        outline->append(0, from + map.binWidth);
    }
    auto* bars = new QAreaSeries(outline);
    outline->setParent(bars);
    bars->setName(QStringLiteral("Examinees (%1)").arg(map.examinees));
    bars->setColor(QColor(122, 156, 198, 200));
    bars->setBorderColor(QColor(70, 100, 150));

    // Each location a point right of 0, the items of a bin side by side,
    // and their numbers on the right-hand axis at the bin's middle.
    auto* items = new QScatterSeries;
    items->setName(QStringLiteral("Items"));
    items->setMarkerSize(7);
    items->setColor(QColor(170, 51, 51));
    std::map<std::size_t, QString> labels;
    std::map<std::size_t, int> used;
    const double step = static_cast<double>(most) / 12;
    for (const report::MapLocation& l : map.locations) {
        const auto bin = static_cast<std::size_t>(std::clamp(
            (l.location - low) / map.binWidth, 0.0, static_cast<double>(map.counts.size() - 1)));
        items->append(step * (1 + used[bin]++), l.location);
        QString& label = labels[bin];
        if (label.size() < kLabelCharacters) {
            label += (label.isEmpty() ? QString() : QStringLiteral(" ")) +
                     QString::fromStdString(l.label);
        } else if (!label.endsWith(QStringLiteral("..."))) {
            label += QStringLiteral(" ...");
        }
    }
    int widest = 1;
    for (const auto& [bin, count] : used) widest = std::max(widest, count);

    auto* x = new QValueAxis;
    x->setTitleText(QStringLiteral("examinees (left), items (right)"));
    x->setRange(-static_cast<double>(most) * 1.05, step * (widest + 1));
    x->setLabelFormat(QStringLiteral("%.0f"));
    auto* y = new QValueAxis;
    y->setTitleText(logits ? QStringLiteral("logits (theta x 1.7)") : QStringLiteral("theta"));
    y->setRange(low, high);
    auto* names = new QCategoryAxis;
    names->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    names->setRange(low, high);
    for (const auto& [bin, label] : labels) {
        names->append(label, low + map.binWidth * (static_cast<double>(bin) + 0.5));
    }
    chart->addAxis(x, Qt::AlignBottom);
    chart->addAxis(y, Qt::AlignLeft);
    chart->addAxis(names, Qt::AlignRight);
    Attach(chart, bars, x, y);
    Attach(chart, items, x, y);
    items->attachAxis(names);
    return chart;
}

}  // namespace tarvo::shell
