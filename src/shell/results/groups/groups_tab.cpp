#include "shell/results/groups/groups_tab.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QSplitter>
#include <QVBoxLayout>
#include <QtCharts/QAreaSeries>
#include <QtCharts/QChart>
#include <QtCharts/QChartView>
#include <QtCharts/QLineSeries>
#include <QtCharts/QValueAxis>
#include <algorithm>
#include <cmath>
#include <numbers>

#include "shell/results/result_table_model.h"
#include "shell/results/result_table_view.h"
#include "shell/results/results_charts.h"

namespace tarvo::shell {

namespace {

// The group's bars as counts, and its fitted normal population as the count
// a bar of that width expects at each ability.
QChart* MakeGroupChart(const results::GroupHistogram& h) {
    QChart* chart = NewChart(QStringLiteral("Group %1: abilities and the fitted population")
                                 .arg(QString::fromStdString(h.label)));
    auto* outline = new QLineSeries;
    double highest = 1, low = -3, high = 3;
    for (std::size_t b = 0; b < h.count.size(); ++b) {
        outline->append(h.from[b], 0);
        outline->append(h.from[b], h.count[b]);
        outline->append(h.to[b], h.count[b]);
        outline->append(h.to[b], 0);
        highest = std::max({highest, h.count[b], h.fitted[b]});
        low = std::min(low, h.from[b]);
        high = std::max(high, h.to[b]);
    }
    auto* bars = new QAreaSeries(outline);
    outline->setParent(bars);
    bars->setName(QStringLiteral("Examinees (%1)").arg(h.Total(), 0, 'f', 0));
    bars->setColor(QColor(150, 190, 120, 160));
    bars->setBorderColor(QColor(90, 130, 70));
    auto* x = new QValueAxis;
    x->setTitleText(QStringLiteral("theta"));
    x->setRange(low, high);
    auto* y = new QValueAxis;
    y->setTitleText(QStringLiteral("examinees"));
    y->setRange(0, highest * 1.05);
    chart->addAxis(x, Qt::AlignBottom);
    chart->addAxis(y, Qt::AlignLeft);
    Attach(chart, bars, x, y);

    const double width = h.to.empty() ? 0 : h.to[0] - h.from[0];
    if (std::isfinite(h.mean) && h.sd > 0 && width > 0) {
        auto* fitted = new QLineSeries;
        fitted->setName(QStringLiteral("Fitted normal, mean %1, SD %2")
                            .arg(h.mean, 0, 'f', 3)
                            .arg(h.sd, 0, 'f', 3));
        const double total = h.Total();
        for (int k = 0; k <= 160; ++k) {
            const double theta = low + (high - low) * k / 160.0;
            const double z = (theta - h.mean) / h.sd;
            fitted->append(theta, total * width * std::exp(-0.5 * z * z) /
                                      (h.sd * std::sqrt(2 * std::numbers::pi)));
        }
        fitted->setPen(QPen(Qt::black, 2));
        Attach(chart, fitted, x, y);
    }
    TidyAxes(chart);
    return chart;
}

}  // namespace

GroupsTab::GroupsTab(const RunReport& report,
                     const std::function<ResultTableView*(ResultTableModel*)>& makeView,
                     QWidget* parent)
    : QWidget(parent),
      table_(results::BuildGroupTable(report)),
      histograms_(results::GroupHistograms(report)) {
    auto* line = new QLabel(QString::fromStdString(results::GroupModelLine(report)));
    line->setWordWrap(true);
    line->setTextInteractionFlags(Qt::TextSelectableByMouse);
    ResultTableView* view = makeView(new ResultTableModel(table_, this));
    auto* layout = new QVBoxLayout(this);
    if (histograms_.empty()) {
        layout->addWidget(view->MakePage(line));
        return;
    }
    chooser_ = new QComboBox;
    for (const results::GroupHistogram& h : histograms_) {
        chooser_->addItem(QString::fromStdString(h.label));
    }
    chart_ = new QChartView;
    chart_->setRenderHint(QPainter::Antialiasing);
    chart_->setMinimumHeight(180);
    connect(chooser_, &QComboBox::currentIndexChanged, this, &GroupsTab::ShowGroup);
    auto* lower = new QWidget;
    auto* lowerLayout = new QVBoxLayout(lower);
    lowerLayout->setContentsMargins(0, 0, 0, 0);
    auto* chooserRow = new QHBoxLayout;
    chooserRow->addWidget(new QLabel(QStringLiteral("Group:")));
    chooserRow->addWidget(chooser_, 1);
    lowerLayout->addLayout(chooserRow);
    lowerLayout->addWidget(chart_, 1);
    auto* split = new QSplitter(Qt::Vertical);
    split->addWidget(view->MakePage(line));
    split->addWidget(lower);
    layout->addWidget(split);
    ShowGroup(0);
}

void GroupsTab::ShowGroup(int index) {
    if (chart_ == nullptr || index < 0 || static_cast<std::size_t>(index) >= histograms_.size()) {
        return;
    }
    QChart* old = chart_->chart();
    chart_->setChart(MakeGroupChart(histograms_[static_cast<std::size_t>(index)]));
    delete old;
}

}  // namespace tarvo::shell
