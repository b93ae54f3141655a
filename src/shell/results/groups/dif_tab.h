#pragma once

#include <QWidget>
#include <functional>
#include <vector>

#include "report/run_report.h"
#include "shell/results/groups/dif_tables.h"

class QChartView;
class QComboBox;
class QModelIndex;
class QStackedWidget;

namespace tarvo::shell {

class ResultTableModel;
class ResultTableView;

// The results window's DIF tab: the screens' tables, one at a time by the
// chooser (a method's, for one focal group), sorted, copied and exported as
// the other tables are; below them the chosen row's item as both groups'
// observed scores against the matching score.
class DifTab final : public QWidget {
    Q_OBJECT

  public:
    // makeView: the window's table view, with its export, over the model
    // and the name its columns are kept under.
    DifTab(const RunReport& report,
           const std::function<ResultTableView*(ResultTableModel*)>& makeView,
           QWidget* parent = nullptr);

    QComboBox* Chooser() const { return chooser_; }
    QChartView* Chart() const { return chart_; }
    // The table view of table k of the chooser.
    ResultTableView* View(int k) const { return views_[static_cast<std::size_t>(k)]; }
    // Plots an item (0-based) of the comparison.
    void ShowItem(std::size_t comparison, std::size_t item);

  private:
    // Plots the item of a table's row (none: the comparison's first item).
    void ShowRow(std::size_t table, const QModelIndex& current);

    const RunReport& report_;
    std::vector<results::DifScreenTable> tables_;
    std::vector<ResultTableView*> views_;
    QComboBox* chooser_;
    QStackedWidget* stack_;
    QChartView* chart_;
};

}  // namespace tarvo::shell
