#pragma once

#include <QWidget>
#include <functional>
#include <vector>

#include "report/run_report.h"
#include "shell/results/groups/group_tables.h"

class QChartView;
class QComboBox;

namespace tarvo::shell {

class ResultTableModel;
class ResultTableView;

// The results window's Groups tab: the model's fit in a line, the groups'
// table and, when they were calibrated together, a group's abilities
// against its fitted normal population, the group chosen above the chart.
class GroupsTab final : public QWidget {
    Q_OBJECT

  public:
    GroupsTab(const RunReport& report,
              const std::function<ResultTableView*(ResultTableModel*)>& makeView,
              QWidget* parent = nullptr);

    // Null when the groups were not calibrated together.
    QComboBox* Chooser() const { return chooser_; }
    QChartView* Chart() const { return chart_; }
    void ShowGroup(int index);

  private:
    results::ResultTable table_;
    std::vector<results::GroupHistogram> histograms_;
    QComboBox* chooser_ = nullptr;
    QChartView* chart_ = nullptr;
};

}  // namespace tarvo::shell
