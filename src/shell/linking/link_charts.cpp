#include "shell/linking/link_charts.h"

#include <QtCharts/QChart>
#include <QtCharts/QLineSeries>
#include <QtCharts/QScatterSeries>
#include <QtCharts/QValueAxis>
#include <cmath>

#include "shell/results/results_charts.h"

namespace tarvo::shell {
namespace {

QLineSeries* Line(const QString& name, const std::vector<double>& x, const std::vector<double>& y) {
    auto* series = new QLineSeries;
    series->setName(name);
    for (std::size_t i = 0; i < x.size(); ++i) {
        if (std::isfinite(x[i]) && std::isfinite(y[i])) series->append(x[i], y[i]);
    }
    return series;
}

QValueAxis* Axis(QChart* chart, const QString& title, Qt::Alignment side) {
    auto* axis = new QValueAxis;
    axis->setTitleText(title);
    chart->addAxis(axis, side);
    return axis;
}

}  // namespace

QChart* MakeLinkedCharacteristicChart(const linking::LinkOutcome& outcome) {
    QChart* chart = NewChart(QStringLiteral("Test characteristic curves on the base scale"));
    QValueAxis* x = Axis(chart, QStringLiteral("theta (base scale)"), Qt::AlignBottom);
    QValueAxis* y = Axis(chart, QStringLiteral("Expected score"), Qt::AlignLeft);
    Attach(chart,
           Line(QStringLiteral("Base form"), outcome.baseCurves.theta, outcome.baseCurves.expected),
           x, y);
    Attach(chart,
           Line(QStringLiteral("New form"), outcome.newCurves.theta, outcome.newCurves.expected), x,
           y);
    y->setMin(0);
    TidyAxes(chart);
    return chart;
}

QChart* MakeLinkedInformationChart(const linking::LinkOutcome& outcome) {
    QChart* chart = NewChart(QStringLiteral("Test information on the base scale"));
    QValueAxis* x = Axis(chart, QStringLiteral("theta (base scale)"), Qt::AlignBottom);
    QValueAxis* info = Axis(chart, QStringLiteral("Information"), Qt::AlignLeft);
    QValueAxis* se = Axis(chart, QStringLiteral("Standard error"), Qt::AlignRight);
    Attach(chart,
           Line(QStringLiteral("Base information"), outcome.baseCurves.theta,
                outcome.baseCurves.information),
           x, info);
    Attach(chart,
           Line(QStringLiteral("New information"), outcome.newCurves.theta,
                outcome.newCurves.information),
           x, info);
    Attach(chart,
           Line(QStringLiteral("Base standard error"), outcome.baseCurves.theta,
                outcome.baseCurves.se),
           x, se);
    Attach(
        chart,
        Line(QStringLiteral("New standard error"), outcome.newCurves.theta, outcome.newCurves.se),
        x, se);
    info->setMin(0);
    se->setRange(0, 2);
    TidyAxes(chart);
    return chart;
}

QChart* MakeEquatingChart(const linking::LinkOutcome& outcome) {
    QChart* chart = NewChart(QStringLiteral("True-score equating"));
    QValueAxis* x = Axis(chart, QStringLiteral("New form raw score"), Qt::AlignBottom);
    QValueAxis* y = Axis(chart, QStringLiteral("Base form equivalent"), Qt::AlignLeft);
    std::vector<double> fresh, base;
    if (outcome.equating.rows) {
        for (const linking::EquatingRow& row : *outcome.equating.rows) {
            fresh.push_back(row.newScore);
            base.push_back(row.baseScore);
        }
    }
    Attach(chart, Line(QStringLiteral("Equivalent"), fresh, base), x, y);
    auto* points = new QScatterSeries;
    points->setName(QStringLiteral("Raw scores"));
    points->setMarkerSize(6);
    for (std::size_t i = 0; i < fresh.size(); ++i) points->append(fresh[i], base[i]);
    Attach(chart, points, x, y);
    x->setMin(0);
    y->setMin(0);
    TidyAxes(chart);
    return chart;
}

}  // namespace tarvo::shell
