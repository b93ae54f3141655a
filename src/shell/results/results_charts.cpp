#include "shell/results/results_charts.h"

#include <QGraphicsScene>
#include <QImage>
#include <QPainter>
#include <QSvgGenerator>
#include <QtCharts/QAreaSeries>
#include <QtCharts/QChart>
#include <QtCharts/QLineSeries>
#include <QtCharts/QLogValueAxis>
#include <QtCharts/QScatterSeries>
#include <QtCharts/QValueAxis>
#include <algorithm>
#include <cmath>

#include "shell/desktop/checked_file.h"
#include "shell/desktop/fixed_colours.h"
#include "shell/results/fit_tables.h"

namespace tarvo::shell {
namespace {

using results::Curve;

constexpr double kThetaFrom = -4;
constexpr double kThetaTo = 4;
constexpr int kThetaSteps = 160;
// More chosen items than this would make the chart unreadable.
constexpr std::size_t kMostItemCurves = 12;

QLineSeries* Line(const QString& name, const Curve& curve) {
    auto* series = new QLineSeries;
    series->setName(name);
    QList<QPointF> points;
    points.reserve(static_cast<qsizetype>(curve.theta.size()));
    for (std::size_t i = 0; i < curve.theta.size(); ++i)
        points.append({curve.theta[i], curve.value[i]});
    series->replace(points);
    return series;
}

QValueAxis* Axis(const QString& title, double from, double to) {
    auto* axis = new QValueAxis;
    axis->setTitleText(title);
    axis->setRange(from, to);
    axis->applyNiceNumbers();  // round ticks, the range widened to them
    return axis;
}

// The largest value of a curve, at least a little above 0 for an axis's range.
double Highest(const Curve& curve) {
    double highest = 1e-6;
    for (double value : curve.value) highest = std::max(highest, value);
    return highest;
}

QString ItemName(const results::PlottedItem& item) {
    QString name = QStringLiteral("Item %1").arg(item.seqItem);
    if (!item.accNo.empty())
        name += QStringLiteral(" (%1)").arg(QString::fromStdString(item.accNo));
    return name;
}

// Lays the chart out at the picture's layout size and paints it scaled to
// fill its pixels.
bool Render(QChart* chart, const PictureSize& size, QPaintDevice& device) {
    QGraphicsScene scene;  // owns the chart from here on
    scene.addItem(chart);
    const QSize layout = size.LayoutSize();
    chart->resize(layout);
    scene.setSceneRect(QRectF(QPointF(0, 0), layout));
    QPainter painter(&device);
    if (!painter.isActive()) return false;
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.fillRect(QRect(QPoint(0, 0), size.pixels), Qt::white);
    scene.render(&painter, QRectF(QPointF(0, 0), size.pixels), QRectF(QPointF(0, 0), layout),
                 Qt::IgnoreAspectRatio);
    return painter.end();
}

}  // namespace

void Attach(QChart* chart, QAbstractSeries* series, QAbstractAxis* x, QAbstractAxis* y) {
    chart->addSeries(series);
    series->attachAxis(x);
    series->attachAxis(y);
}

void TidyAxes(QChart* chart) {
    bool firstVertical = true;
    for (QAbstractAxis* axis : chart->axes()) {
        if (auto* value = qobject_cast<QValueAxis*>(axis)) value->applyNiceNumbers();
        if (axis->orientation() != Qt::Vertical) continue;
        if (!firstVertical) {
            // Its lines would fall between the first axis's and read as one grid.
            axis->setGridLineVisible(false);
            axis->setMinorGridLineVisible(false);
        }
        firstVertical = false;
    }
}

QChart* NewChart(const QString& title) {
    auto* chart = new QChart;
    chart->setTitle(title);
    chart->legend()->setAlignment(Qt::AlignBottom);
    chart->setAnimationOptions(QChart::NoAnimation);
    return chart;
}

// The residuals' axis: most standardised residuals of a fitting item lie
// within +-2; the axis widens for larger ones.
constexpr double kResidualAxis = 4;

// ", S-X2 12.34, p 0.0312", or nothing when S-X2 is not defined.
QString FitTitle(const results::PlottedItem& item) {
    if (!std::isfinite(item.sx2)) return {};
    return QStringLiteral(", S-X2 %1, p %2")
        .arg(QString::fromStdString(results::FitNumber(item.sx2, 2)),
             QString::fromStdString(results::FitProbability(item.p)));
}

// The groups' standardised residuals on a right axis of their own.
void AttachResiduals(QChart* chart, const results::PlottedItem& item, QAbstractAxis* x) {
    auto* residuals = new QScatterSeries;
    residuals->setName(QStringLiteral("Standardised residual"));
    residuals->setMarkerShape(QScatterSeries::MarkerShapeRectangle);
    residuals->setMarkerSize(7);
    double largest = kResidualAxis;
    for (std::size_t g = 0; g < item.groups.size() && g < item.groupResiduals.size(); ++g) {
        const double r = item.groupResiduals[g];
        if (!std::isfinite(r)) continue;
        residuals->append(item.groups[g].meanTheta, r);
        largest = std::max(largest, std::fabs(r));
    }
    auto* axis = Axis(QStringLiteral("Standardised residual"), -largest, largest);
    chart->addAxis(axis, Qt::AlignRight);
    Attach(chart, residuals, x, axis);
}

QChart* MakeCharacteristicChart(const results::PlottedItem& item) {
    QChart* chart =
        NewChart(QStringLiteral("Item characteristic curve: ") + ItemName(item) + FitTitle(item));
    auto* x = Axis(QStringLiteral("theta"), kThetaFrom, kThetaTo);
    auto* y = Axis(QStringLiteral("Probability correct"), 0, 1);
    chart->addAxis(x, Qt::AlignBottom);
    chart->addAxis(y, Qt::AlignLeft);

    if (!item.groups.empty()) {
        const results::Band band = results::ExpectedBand(item.parameters, item.groups);
        auto* upper = new QLineSeries;
        auto* lower = new QLineSeries;
        for (std::size_t i = 0; i < band.theta.size(); ++i) {
            upper->append(band.theta[i], band.upper[i]);
            lower->append(band.theta[i], band.lower[i]);
        }
        auto* area = new QAreaSeries(upper, lower);
        // The area does not own its outlines: they go with it.
        upper->setParent(area);
        lower->setParent(area);
        area->setName(QStringLiteral("95% band"));
        area->setColor(QColor(120, 160, 230, 70));
        area->setBorderColor(QColor(120, 160, 230, 140));
        Attach(chart, area, x, y);
    }
    // The grid holds b itself, where the curve is halfway between c and 1.
    const std::vector<double> grid =
        results::ThetaGrid(kThetaFrom, kThetaTo, kThetaSteps, {item.parameters.b});
    Attach(chart,
           Line(QStringLiteral("Model"), results::CharacteristicCurve(item.parameters, grid)), x,
           y);
    if (!item.groups.empty()) {
        auto* observed = new QScatterSeries;
        observed->setName(QStringLiteral("Observed"));
        observed->setMarkerSize(9);
        for (const results::AbilityGroup& group : item.groups) {
            observed->append(group.meanTheta, group.proportion);
        }
        Attach(chart, observed, x, y);
    }
    if (!item.groupResiduals.empty() && !item.groups.empty()) AttachResiduals(chart, item, x);
    TidyAxes(chart);
    return chart;
}

QChart* MakeCategoryChart(const results::PlottedItem& item) {
    // A nominal item's curves are its options', labelled by option code.
    const bool options = item.scored.nominal;
    QChart* chart =
        NewChart((options ? QStringLiteral("Option response curves: ")
                          : QStringLiteral("Category response curves: ")) +
                 ItemName(item) + QStringLiteral(", ") + QString::fromStdString(item.model));
    auto* x = Axis(QStringLiteral("theta"), kThetaFrom, kThetaTo);
    auto* y = Axis(options ? QStringLiteral("Probability of the option")
                           : QStringLiteral("Probability of the category"),
                   0, 1);
    chart->addAxis(x, Qt::AlignBottom);
    chart->addAxis(y, Qt::AlignLeft);
    const std::vector<double> grid =
        results::ThetaGrid(kThetaFrom, kThetaTo, kThetaSteps, item.scored.b);
    const std::vector<Curve> curves = results::CategoryCurves(item.scored, grid);
    // Each category its own colour (the theme's five repeat from the sixth),
    // added in order so the legend lists them 0, 1, 2, ...
    for (std::size_t k = 0; k < curves.size(); ++k) {
        QString name = QStringLiteral("Category %1").arg(k);
        if (options) {
            name = QStringLiteral("Option %1").arg(k + 1);
            if (static_cast<int>(k) == item.scored.keyed) name += QStringLiteral(" (key)");
        }
        QLineSeries* line = Line(name, curves[k]);
        const int index = static_cast<int>(k);
        const bool repeated = index >= DistinctCurveColourCount();
        line->setPen(QPen(DistinctCurveColour(index), 2, repeated ? Qt::DashLine : Qt::SolidLine));
        Attach(chart, line, x, y);
    }
    return chart;
}

QChart* MakeExpectedScoreChart(const results::PlottedItem& item) {
    QChart* chart = NewChart(QStringLiteral("Expected score: ") + ItemName(item));
    const double top =
        item.Polytomous() && !item.scored.nominal ? static_cast<double>(item.scored.b.size()) : 1;
    auto* x = Axis(QStringLiteral("theta"), kThetaFrom, kThetaTo);
    auto* y = Axis(QStringLiteral("Item score"), 0, top);
    chart->addAxis(x, Qt::AlignBottom);
    chart->addAxis(y, Qt::AlignLeft);
    const std::vector<double> grid = results::ThetaGrid(kThetaFrom, kThetaTo, kThetaSteps);
    const Curve expected = item.Polytomous() ? results::ExpectedScoreCurve(item.scored, grid)
                                             : results::CharacteristicCurve(item.parameters, grid);
    QLineSeries* line = Line(QStringLiteral("Model"), expected);
    line->setPen(QPen(Qt::black, 2));
    Attach(chart, line, x, y);
    auto* observed = new QScatterSeries;
    observed->setName(QStringLiteral("Observed"));
    observed->setMarkerSize(9);
    if (item.Polytomous()) {
        for (const results::ScoreGroup& group : item.scoreGroups) {
            if (group.count > 0) observed->append(group.meanTheta, group.meanScore);
        }
    } else {
        for (const results::AbilityGroup& group : item.groups) {
            if (group.count > 0) observed->append(group.meanTheta, group.proportion);
        }
    }
    Attach(chart, observed, x, y);
    return chart;
}

namespace {

// An item's information by its own model.
Curve InformationOf(const results::PlottedItem& item, const std::vector<double>& grid) {
    return item.Polytomous() ? results::InformationCurve(item.scored, grid)
                             : results::InformationCurve(item.parameters, grid);
}

}  // namespace

QChart* MakeInformationChart(const std::vector<results::PlottedItem>& items,
                             const std::vector<std::size_t>& chosen) {
    QChart* chart = NewChart(QStringLiteral("Information"));
    const std::vector<double> grid = results::ThetaGrid(kThetaFrom, kThetaTo, kThetaSteps);
    Curve test{grid, std::vector<double>(grid.size(), 0.0)};
    for (const auto& item : items) {
        const Curve own = InformationOf(item, grid);
        for (std::size_t i = 0; i < grid.size(); ++i) test.value[i] += own.value[i];
    }
    const Curve error = results::StandardErrorCurve(test);

    auto* x = Axis(QStringLiteral("theta"), kThetaFrom, kThetaTo);
    auto* y = Axis(QStringLiteral("Test information"), 0, Highest(test) * 1.05);
    chart->addAxis(x, Qt::AlignBottom);
    chart->addAxis(y, Qt::AlignLeft);

    // One item holds a small part of the test's information: on the test's
    // scale its curve would lie flat, so the items have an axis of their own.
    std::vector<Curve> itemCurves;
    double itemsHighest = 0;
    for (std::size_t k = 0; k < chosen.size() && k < kMostItemCurves; ++k) {
        itemCurves.push_back(InformationOf(items[chosen[k]], grid));
        itemsHighest = std::max(itemsHighest, Highest(itemCurves.back()));
    }
    if (!itemCurves.empty()) {
        auto* itemAxis = Axis(QStringLiteral("Item information"), 0, itemsHighest * 1.05);
        chart->addAxis(itemAxis, Qt::AlignLeft);
        for (std::size_t k = 0; k < itemCurves.size(); ++k) {
            Attach(chart, Line(ItemName(items[chosen[k]]), itemCurves[k]), x, itemAxis);
        }
    }
    QLineSeries* testLine = Line(QStringLiteral("Test information"), test);
    testLine->setPen(QPen(Qt::black, 2));
    Attach(chart, testLine, x, y);

    if (!error.value.empty()) {
        // Far from the items the error grows without bound: the axis shows
        // up to four times its smallest value.
        const double least = *std::min_element(error.value.begin(), error.value.end());
        const double largest = *std::max_element(error.value.begin(), error.value.end());
        auto* right = Axis(QStringLiteral("Standard error of theta"), 0,
                           std::min(largest, std::max(4 * least, 0.5)) * 1.05);
        chart->addAxis(right, Qt::AlignRight);
        QLineSeries* errorLine = Line(QStringLiteral("Standard error"), error);
        errorLine->setPen(QPen(QColor(200, 40, 40), 2, Qt::DashLine));
        Attach(chart, errorLine, x, right);
    }
    TidyAxes(chart);
    return chart;
}

QChart* MakeTestCharacteristicChart(const SummedScoreReport& scores) {
    QChart* chart = NewChart(QStringLiteral("Test characteristic curve"));
    const linking::TestCurves& curves = scores.curves;
    const double top = std::max(1.0, static_cast<double>(scores.rows.size()) - 1);
    auto* x = Axis(QStringLiteral("theta"), kThetaFrom, kThetaTo);
    auto* y = Axis(QStringLiteral("Expected score"), 0, top);
    chart->addAxis(x, Qt::AlignBottom);
    chart->addAxis(y, Qt::AlignLeft);
    QLineSeries* line =
        Line(QStringLiteral("Expected score"), Curve{curves.theta, curves.expected});
    line->setPen(QPen(Qt::black, 2));
    Attach(chart, line, x, y);
    return chart;
}

QChart* MakeHistogramChart(const std::vector<double>& thetas) {
    QChart* chart = NewChart(QStringLiteral("Abilities"));
    const results::Histogram histogram = results::AbilityHistogram(thetas);
    const double end =
        histogram.from + histogram.width * static_cast<double>(histogram.counts.size());
    const double from = std::min(histogram.from, -3.5);
    const double to = std::max(end, 3.5);

    // The bins as one stepped outline over the axis.
    auto* outline = new QLineSeries;
    double highest = 0.4;
    for (std::size_t bin = 0; bin < histogram.counts.size(); ++bin) {
        const double left = histogram.from + histogram.width * static_cast<double>(bin);
        const double height = histogram.Density(bin);
        outline->append(left, 0);
        outline->append(left, height);
        outline->append(left + histogram.width, height);
        outline->append(left + histogram.width, 0);
        highest = std::max(highest, height);
    }
    auto* bars = new QAreaSeries(outline);
    outline->setParent(bars);  // not owned by the area otherwise
    bars->setName(QStringLiteral("Examinees (%1)").arg(histogram.total));
    bars->setColor(QColor(150, 190, 120, 160));
    bars->setBorderColor(QColor(90, 130, 70));

    auto* x = Axis(QStringLiteral("theta"), from, to);
    auto* y = Axis(QStringLiteral("Density"), 0, highest * 1.05);
    chart->addAxis(x, Qt::AlignBottom);
    chart->addAxis(y, Qt::AlignLeft);
    Attach(chart, bars, x, y);

    Curve normal;
    for (double theta : results::ThetaGrid(from, to, 160)) {
        normal.theta.push_back(theta);
        normal.value.push_back(results::StandardNormalDensity(theta));
    }
    QLineSeries* density = Line(QStringLiteral("Standard normal"), normal);
    density->setPen(QPen(Qt::black, 2));
    Attach(chart, density, x, y);
    return chart;
}

QChart* MakeConvergenceChart(const LoopRecord& loop) {
    // The joint loop: MSError of every pass and its change from the pass
    // before; the EM cycles: the marginal log-likelihood of every cycle and
    // the largest parameter change it made. Each against its stop rule's
    // tolerance.
    const bool cycles = loop.step == LoopStep::EmCycle;
    const std::vector<double>& fit = cycles ? loop.logLikelihood : loop.msError;
    std::vector<double> changes(fit.size(), 0.0);
    for (std::size_t i = 0; i < fit.size(); ++i) {
        if (cycles) {
            changes[i] = i < loop.largestChange.size() ? loop.largestChange[i] : 0;
        } else if (i > 0) {
            changes[i] = std::fabs(loop.msError[i] - loop.msError[i - 1]);
        }
    }
    const QString step = cycles ? QStringLiteral("EM cycle") : QStringLiteral("Pass");
    const QString fitName =
        cycles ? QStringLiteral("Marginal log-likelihood") : QStringLiteral("MSError");
    QChart* chart = NewChart(cycles ? QStringLiteral("Convergence of the EM cycles")
                                    : QStringLiteral("Convergence of the joint estimation"));
    const std::size_t steps = fit.size();
    auto* x = Axis(step, 1, std::max<double>(2, static_cast<double>(steps)));
    x->setLabelFormat(QStringLiteral("%d"));
    chart->addAxis(x, Qt::AlignBottom);

    auto* fitSeries = new QLineSeries;
    fitSeries->setName(fitName);
    double low = INFINITY, high = -INFINITY;
    for (std::size_t i = 0; i < steps; ++i) {
        fitSeries->append(static_cast<double>(i + 1), fit[i]);
        if (std::isfinite(fit[i])) {
            low = std::min(low, fit[i]);
            high = std::max(high, fit[i]);
        }
    }
    if (!(low <= high)) low = 0, high = 1;
    const double margin = std::max((high - low) * 0.05, 1e-12);
    auto* y = Axis(fitName, low - margin, high + margin);
    chart->addAxis(y, Qt::AlignLeft);
    // Its own colour: the theme's first colour is a blue like the change's.
    fitSeries->setPen(QPen(QColor(30, 130, 60), 2));
    Attach(chart, fitSeries, x, y);

    // The change against the tolerance that settles the loop; a change of
    // zero has no place on a log axis and is left out.
    auto* change = new QLineSeries;
    change->setName(cycles ? QStringLiteral("Largest parameter change")
                           : QStringLiteral("MSError change"));
    double least = loop.tolerance, largest = loop.tolerance;
    for (std::size_t i = cycles ? 0 : 1; i < steps; ++i) {
        const double amount = changes[i];
        if (!(amount > 0) || !std::isfinite(amount)) continue;
        change->append(static_cast<double>(i + 1), amount);
        least = std::min(least, amount);
        largest = std::max(largest, amount);
    }
    auto* logAxis = new QLogValueAxis;
    logAxis->setTitleText(cycles ? QStringLiteral("Largest change in the cycle")
                                 : QStringLiteral("Change from the previous pass"));
    logAxis->setBase(10);
    logAxis->setLabelFormat(QStringLiteral("%.0e"));
    // Whole powers of ten, so that every tick is one.
    logAxis->setRange(std::pow(10.0, std::floor(std::log10(least / 10))),
                      std::pow(10.0, std::ceil(std::log10(largest * 10))));
    chart->addAxis(logAxis, Qt::AlignRight);
    change->setPen(QPen(QColor(40, 110, 200), 1.5, Qt::DashLine));
    Attach(chart, change, x, logAxis);

    auto* tolerance = new QLineSeries;
    tolerance->setName(QStringLiteral("Settle tolerance"));
    tolerance->append(1, loop.tolerance);
    tolerance->append(std::max<double>(2, static_cast<double>(steps)), loop.tolerance);
    tolerance->setPen(QPen(QColor(200, 40, 40), 1.5, Qt::DotLine));
    Attach(chart, tolerance, x, logAxis);
    TidyAxes(chart);
    return chart;
}

QSize PictureSize::LayoutSize() const {
    const double scale = dpi > 0 ? kScreenDpi / dpi : 1;
    return QSize(std::max(1, static_cast<int>(std::lround(pixels.width() * scale))),
                 std::max(1, static_cast<int>(std::lround(pixels.height() * scale))));
}

bool SaveChartAsPng(QChart* chart, const QString& path, const PictureSize& size,
                    const std::vector<NamedFile>& notThese) {
    QImage image(size.pixels, QImage::Format_ARGB32);
    if (image.isNull() || !(size.dpi > 0)) {  // too large to hold in memory
        delete chart;
        return false;
    }
    image.fill(Qt::white);
    // Painted at the screen's resolution the layout was measured at; the
    // picture's own is recorded afterwards (fonts would grow otherwise).
    if (!Render(chart, size, image)) return false;
    const int dotsPerMeter = static_cast<int>(std::lround(size.dpi / 0.0254));
    image.setDotsPerMeterX(dotsPerMeter);
    image.setDotsPerMeterY(dotsPerMeter);
    CheckedFile file(path, notThese);
    const bool written = file.IsOpen() && image.save(&file.Device(), "PNG");
    return file.Finish() && written;
}

bool SaveChartAsSvg(QChart* chart, const QString& path, const PictureSize& size,
                    const std::vector<NamedFile>& notThese) {
    if (size.pixels.isEmpty() || !(size.dpi > 0)) {
        delete chart;
        return false;
    }
    CheckedFile file(path, notThese);
    if (!file.IsOpen()) {
        delete chart;
        return false;
    }
    // The generator writes its size in mm from the resolution and sizes text
    // by it too, so it keeps the layout's resolution and is given the layout
    // size: the printed size comes out as asked, the viewBox in pixels.
    const QSize layout = size.LayoutSize();
    QSvgGenerator svg;
    svg.setOutputDevice(&file.Device());
    svg.setResolution(static_cast<int>(PictureSize::kScreenDpi));
    svg.setSize(layout);
    svg.setViewBox(QRect(QPoint(0, 0), size.pixels));
    svg.setTitle(chart->title());
    const bool drawn = Render(chart, size, svg);
    return file.Finish() && drawn;
}

}  // namespace tarvo::shell
