#pragma once

#include <QString>
#include <QWidget>
#include <functional>
#include <map>
#include <optional>

#include "shell/results/results_charts.h"
#include "shell/results/results_data.h"

class QChart;
class QComboBox;
class QChartView;
class QListWidget;
class QTabWidget;

// The results window's plots: one page per plot that has data in the run's
// mode, the list of items beside them (the characteristic curve follows the
// current item, the information plot every selected item) and buttons that
// save the plot on show as PNG or SVG at a size and resolution the user
// chooses (the plot's size on screen to begin with).
namespace tarvo::shell {

// Characteristic: the current item's characteristic curve, or an item
// scored 0..m's category curves; ExpectedScore: the current item's expected
// score against the groups' mean scores, in runs with such items;
// PersonItemMap: the abilities beside the items' locations, in runs with
// abilities (theta, or for the Rasch family logits, chosen on the page).
enum class Plot {
    Characteristic,
    ExpectedScore,
    Information,
    Histogram,
    Convergence,
    PersonItemMap
};

// Asks for a picture's width and height (in pixels, cm or inches) and its
// resolution, starting from the plot's size on screen at screen resolution;
// nullopt on Cancel.
std::optional<PictureSize> AskPictureSize(QWidget* parent, QSize screen);

class PlotsTab final : public QWidget {
  public:
    // Saving offers saveFolder first (the result file's).
    PlotsTab(const results::ResultsData& data, QString saveFolder = QString(),
             QWidget* parent = nullptr);

    bool Shows(Plot plot) const { return views_.count(plot) != 0; }
    // The chart on a plot's page; null when the plot is not shown.
    QChart* Chart(Plot plot) const;
    QListWidget* ItemList() const { return items_; }
    QTabWidget* Pages() const { return pages_; }
    // The person-item map's scale: 1 (theta) or logits; null when the run
    // is not of the Rasch family.
    QComboBox* MapScale() const { return mapScale_; }

    // Saves a plot drawn afresh at the given size in pixels and resolution
    // in dots per inch; false when it is not shown or the file cannot be
    // written.
    bool Save(Plot plot, const QString& path, QSize size, bool svg,
              double dpi = PictureSize::kScreenDpi) const;

  private:
    void AddPage(Plot plot, const QString& title);
    void ItemsChosen();
    std::vector<std::size_t> ChosenItems() const;
    QChart* MakeChart(Plot plot) const;
    void SaveWithDialog(bool svg);

    const results::ResultsData& data_;
    QString saveFolder_;
    QTabWidget* pages_;
    QListWidget* items_;
    std::map<Plot, QChartView*> views_;
    std::size_t currentItem_ = 0;
    QComboBox* mapScale_ = nullptr;
};

}  // namespace tarvo::shell
