#include "shell/results/options/options_tab.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPen>
#include <QSplitter>
#include <QVBoxLayout>
#include <QtCharts/QChart>
#include <QtCharts/QChartView>
#include <QtCharts/QLineSeries>
#include <QtCharts/QValueAxis>

#include "shell/results/result_table_model.h"
#include "shell/results/result_table_view.h"
#include "shell/results/results_charts.h"

namespace tarvo::shell {

namespace {

QChart* MakeTraceChart(const results::ItemTrace& trace) {
    QChart* chart = NewChart(QString::fromStdString(trace.title));
    auto* x = new QValueAxis;
    x->setTitleText(QString::fromStdString(trace.xTitle));
    auto* y = new QValueAxis;
    y->setTitleText(QStringLiteral("proportion choosing"));
    y->setRange(0, 1);
    chart->addAxis(x, Qt::AlignBottom);
    chart->addAxis(y, Qt::AlignLeft);
    double low = 0, high = 0;
    bool first = true;
    for (const results::TraceLine& line : trace.lines) {
        auto* series = new QLineSeries;
        series->setName(QString::fromStdString(line.name));
        series->setPointsVisible(true);
        for (std::size_t k = 0; k < line.x.size(); ++k) {
            series->append(line.x[k], line.y[k]);
            low = first ? line.x[k] : std::min(low, line.x[k]);
            high = first ? line.x[k] : std::max(high, line.x[k]);
            first = false;
        }
        Attach(chart, series, x, y);
        // The key drawn bold, a flagged option dashed.
        QPen pen = series->pen();
        if (line.isKey) pen.setWidthF(3.5);
        if (line.flagged && !line.isKey) pen.setStyle(Qt::DashLine);
        series->setPen(pen);
    }
    x->setRange(low, high > low ? high : low + 1);
    TidyAxes(chart);
    return chart;
}

}  // namespace

OptionsTab::OptionsTab(const RunReport& report,
                       const std::function<ResultTableView*(ResultTableModel*)>& makeView,
                       QWidget* parent)
    : QWidget(parent),
      table_(results::BuildOptionTable(report)),
      traces_(results::OptionTraces(report)),
      items_(new QListWidget),
      chart_(new QChartView) {
    const report::OptionAnalysis& analysis = *report.options;
    auto* note = new QLabel(
        QStringLiteral(
            "Each option's count and share, its share in %1 ability groups by %2 (G1 lowest), the "
            "mean %2 of those who chose it and its point-biserial with the %3. Flagged rows are "
            "coloured; point at a cell for the reason. An item's options are every code given to "
            "it "
            "and the codes of one kind (1 to 8, A to Z) up to the highest given or keyed.")
            .arg(analysis.groups)
            .arg(QString::fromStdString(analysis.abilityName),
                 QString::fromStdString(analysis.correlatedWith)));
    note->setWordWrap(true);
    ResultTableView* view = makeView(new ResultTableModel(table_, this));

    for (const results::ItemTrace& trace : traces_) {
        items_->addItem(QString::fromStdString(trace.title));
    }
    chart_->setRenderHint(QPainter::Antialiasing);
    connect(items_, &QListWidget::currentRowChanged, this, &OptionsTab::ShowItem);

    auto* lower = new QSplitter(Qt::Horizontal);
    lower->addWidget(items_);
    lower->addWidget(chart_);
    lower->setStretchFactor(1, 3);
    auto* page = new QSplitter(Qt::Vertical);
    page->addWidget(view->MakePage(note));
    page->addWidget(lower);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(page);
    if (!traces_.empty()) items_->setCurrentRow(0);
}

void OptionsTab::ShowItem(int index) {
    if (index < 0 || static_cast<std::size_t>(index) >= traces_.size()) return;
    QChart* old = chart_->chart();
    chart_->setChart(MakeTraceChart(traces_[static_cast<std::size_t>(index)]));
    // The view does not own a chart it was given; the one it held goes.
    delete old;
}

}  // namespace tarvo::shell
