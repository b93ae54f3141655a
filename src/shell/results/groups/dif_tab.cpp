#include "shell/results/groups/dif_tab.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QItemSelectionModel>
#include <QLabel>
#include <QSplitter>
#include <QStackedWidget>
#include <QToolTip>
#include <QVBoxLayout>
#include <QtCharts/QChart>
#include <QtCharts/QChartView>
#include <QtCharts/QLegend>
#include <QtCharts/QLegendMarker>
#include <QtCharts/QLineSeries>
#include <QtCharts/QScatterSeries>
#include <QtCharts/QValueAxis>
#include <algorithm>
#include <cmath>

#include "shell/results/result_table_model.h"
#include "shell/results/result_table_view.h"
#include "shell/results/results_charts.h"

namespace tarvo::shell {

namespace {

// A group's points joined by a thin line, the count of a point shown when
// the pointer rests on it.
void AddGroup(QChart* chart, const results::DifPoints& points, const QColor& colour,
              QAbstractAxis* x, QAbstractAxis* y) {
    auto* line = new QLineSeries;
    auto* dots = new QScatterSeries;
    dots->setName(QString::fromStdString(points.name));
    dots->setColor(colour);
    dots->setBorderColor(colour);
    dots->setMarkerSize(8);
    for (std::size_t k = 0; k < points.score.size(); ++k) {
        line->append(points.score[k], points.meanScore[k]);
        dots->append(points.score[k], points.meanScore[k]);
    }
    line->setPen(QPen(colour, 1.2));
    Attach(chart, line, x, y);
    Attach(chart, dots, x, y);
    // The line's legend entry would repeat the points'.
    for (QLegendMarker* marker : chart->legend()->markers(line)) marker->setVisible(false);
    const std::vector<std::size_t> counts = points.count;
    const std::vector<double> scores = points.score;
    QObject::connect(
        dots, &QScatterSeries::hovered, dots, [counts, scores](const QPointF& at, bool entered) {
            if (!entered) {
                QToolTip::hideText();
                return;
            }
            for (std::size_t k = 0; k < scores.size(); ++k) {
                if (std::fabs(scores[k] - at.x()) > 1e-9) continue;
                QToolTip::showText(QCursor::pos(), QStringLiteral("%1 examinees, mean score %2")
                                                       .arg(counts[k])
                                                       .arg(at.y(), 0, 'f', 3));
                return;
            }
        });
}

QChart* MakeDifChart(const results::DifItemPlot& plot) {
    QChart* chart = NewChart(QString::fromStdString(plot.title));
    auto* x = new QValueAxis;
    x->setTitleText(QString::fromStdString(plot.xTitle));
    auto* y = new QValueAxis;
    y->setTitleText(QString::fromStdString(plot.yTitle));
    y->setRange(0, plot.yHigh);
    chart->addAxis(x, Qt::AlignBottom);
    chart->addAxis(y, Qt::AlignLeft);
    double low = 0, high = 1;
    bool first = true;
    for (const results::DifPoints* points : {&plot.reference, &plot.focal}) {
        for (const double s : points->score) {
            low = first ? s : std::min(low, s);
            high = first ? s : std::max(high, s);
            first = false;
        }
    }
    x->setRange(low, high > low ? high : low + 1);
    AddGroup(chart, plot.reference, QColor(31, 78, 154), x, y);
    AddGroup(chart, plot.focal, QColor(192, 57, 43), x, y);
    TidyAxes(chart);
    return chart;
}

}  // namespace

DifTab::DifTab(const RunReport& report,
               const std::function<ResultTableView*(ResultTableModel*)>& makeView, QWidget* parent)
    : QWidget(parent),
      report_(report),
      tables_(results::BuildDifTables(report)),
      chooser_(new QComboBox),
      stack_(new QStackedWidget),
      chart_(new QChartView) {
    auto* note = new QLabel(QString::fromStdString(results::DifNote(report)));
    note->setWordWrap(true);
    // The models hold the tables by reference: tables_ is not changed again.
    for (std::size_t k = 0; k < tables_.size(); ++k) {
        const results::DifScreenTable& screen = tables_[k];
        ResultTableView* view = makeView(new ResultTableModel(screen.table, this));
        views_.push_back(view);
        chooser_->addItem(QString::fromStdString(screen.title));
        auto* rule =
            new QLabel(QStringLiteral("Categories: ") + QString::fromStdString(screen.rule));
        rule->setWordWrap(true);
        stack_->addWidget(view->MakePage(rule));
        connect(view->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
                [this, k](const QModelIndex& current) { ShowRow(k, current); });
    }
    connect(chooser_, &QComboBox::currentIndexChanged, this, [this](int k) {
        if (k < 0 || static_cast<std::size_t>(k) >= tables_.size()) return;
        stack_->setCurrentIndex(k);
        const auto table = static_cast<std::size_t>(k);
        ShowRow(table, views_[table]->currentIndex());
    });
    chart_->setRenderHint(QPainter::Antialiasing);
    chart_->setMinimumHeight(180);

    auto* chooserRow = new QHBoxLayout;
    chooserRow->addWidget(new QLabel(QStringLiteral("Table:")));
    chooserRow->addWidget(chooser_, 1);
    auto* pointsNote = new QLabel(
        QStringLiteral("Each point: the mean item score of a group's examinees at a matching "
                       "score, adjacent scores pooled until a point holds %1 examinees; rest the "
                       "pointer on a point for its count.")
            .arg(results::kLeastPerDifPoint));
    pointsNote->setWordWrap(true);
    auto* lower = new QWidget;
    auto* lowerLayout = new QVBoxLayout(lower);
    lowerLayout->setContentsMargins(0, 0, 0, 0);
    lowerLayout->addWidget(chart_, 1);
    lowerLayout->addWidget(pointsNote);
    auto* split = new QSplitter(Qt::Vertical);
    split->addWidget(stack_);
    split->addWidget(lower);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(note);
    layout->addLayout(chooserRow);
    layout->addWidget(split, 1);
    chooser_->setVisible(!tables_.empty());
    if (!tables_.empty()) ShowItem(tables_[0].comparison, 0);
}

void DifTab::ShowRow(std::size_t table, const QModelIndex& current) {
    const std::size_t comparison = tables_[table].comparison;
    if (!current.isValid()) {
        ShowItem(comparison, 0);
        return;
    }
    const auto* model = static_cast<const ResultTableModel*>(views_[table]->model());
    const double item = tables_[table].table.Cell(model->TableRow(current.row()), 0).number;
    if (item >= 1) ShowItem(comparison, static_cast<std::size_t>(item) - 1);
}

void DifTab::ShowItem(std::size_t comparison, std::size_t item) {
    QChart* old = chart_->chart();
    chart_->setChart(MakeDifChart(results::DifPlotOf(report_, comparison, item)));
    // The view does not own a chart it was given; the one it held goes.
    delete old;
}

}  // namespace tarvo::shell
