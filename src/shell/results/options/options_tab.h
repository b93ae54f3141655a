#pragma once

#include <QWidget>
#include <functional>
#include <vector>

#include "report/run_report.h"
#include "shell/results/options/option_table.h"
#include "shell/results/result_table.h"

class QChartView;
class QListWidget;

namespace tarvo::shell {

class ResultTableModel;
class ResultTableView;

// The results window's Options tab: the option analysis as a table (sorted,
// copied and exported as the other tabs are) above the list of items and
// the chosen item's trace plot, the share choosing each option against the
// ability groups.
class OptionsTab final : public QWidget {
    Q_OBJECT

  public:
    // makeView: the window's table view, with its export, over the model.
    OptionsTab(const RunReport& report,
               const std::function<ResultTableView*(ResultTableModel*)>& makeView,
               QWidget* parent = nullptr);

    // The plot of the item at index (of the analysis's items).
    void ShowItem(int index);
    QChartView* Chart() const { return chart_; }
    QListWidget* Items() const { return items_; }

  private:
    results::ResultTable table_;
    std::vector<results::ItemTrace> traces_;
    QListWidget* items_;
    QChartView* chart_;
};

}  // namespace tarvo::shell
