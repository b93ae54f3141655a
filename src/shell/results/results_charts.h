#pragma once

#include <QSize>
#include <QString>
#include <vector>

#include "output/result_file_open.h"
#include "report/run_report.h"
#include "shell/results/results_data.h"

class QAbstractAxis;
class QAbstractSeries;
class QChart;

// The plots of the results window as charts, each from the curves of the
// model layer, and saving a chart as a picture. The series carry the names
// the legends show ("Model", "Observed", "95% band", "Test information",
// "Standard error", ...), so a chart's data can be read back by name.
namespace tarvo::shell {

// A chart with its title, the legend below and no animation.
QChart* NewChart(const QString& title);
// Every value axis on round ticks (its range widened to them); a vertical
// axis after the first draws no grid of its own. Called once the series are in.
void TidyAxes(QChart* chart);
// Adds the series to the chart on the two axes.
void Attach(QChart* chart, QAbstractSeries* series, QAbstractAxis* x, QAbstractAxis* y);

// The characteristic curve of one item, with the observed proportions of the
// ability groups and the band the model expects them in, when known.
QChart* MakeCharacteristicChart(const results::PlottedItem& item);
// An item scored 0..m: the probability of every category over theta, one
// curve per category ("Category 0", ...).
QChart* MakeCategoryChart(const results::PlottedItem& item);
// The item's expected score over theta (a right/wrong item's: its
// probability correct) with the observed mean scores of the ability groups
// as points ("Observed").
QChart* MakeExpectedScoreChart(const results::PlottedItem& item);
// The test information of all items, the information of the chosen items on
// an axis of their own beside it, and the standard error of theta on the
// right.
QChart* MakeInformationChart(const std::vector<results::PlottedItem>& items,
                             const std::vector<std::size_t>& chosen);
// The test characteristic curve of the run's final items: the expected
// summed score over theta, from 0 to the number of items.
QChart* MakeTestCharacteristicChart(const SummedScoreReport& scores);
// The abilities' histogram as densities, with the standard normal density.
QChart* MakeHistogramChart(const std::vector<double>& thetas);
// The loop's convergence: MSError of every joint pass and its change from
// pass to pass, or the marginal log-likelihood of every EM cycle and the
// largest parameter change of the cycle; the change on a log axis with the
// settle tolerance.
QChart* MakeConvergenceChart(const LoopRecord& loop);

// A picture's size in pixels and the resolution it is printed at. The chart
// is laid out as it would show on a screen at that printed size (so text and
// lines keep their proportions) and drawn scaled up to the pixels.
struct PictureSize {
    static constexpr double kScreenDpi = 96;
    QSize pixels;
    double dpi = kScreenDpi;
    // The size the chart is laid out at: the pixels at screen resolution.
    QSize LayoutSize() const;
};

// Draws the chart at the given size into a PNG or SVG file, opened by the
// program's checked open (never over one of notThese); the chart is taken
// over and deleted. The PNG records its resolution; the SVG has the printed
// size (in mm) and a viewBox of the pixels. False when the file cannot be
// written or the picture is too large to hold.
bool SaveChartAsPng(QChart* chart, const QString& path, const PictureSize& size,
                    const std::vector<NamedFile>& notThese = {});
bool SaveChartAsSvg(QChart* chart, const QString& path, const PictureSize& size,
                    const std::vector<NamedFile>& notThese = {});

}  // namespace tarvo::shell
