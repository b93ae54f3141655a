#pragma once

#include <QAbstractTableModel>
#include <string>
#include <vector>

#include "shell/results/result_table.h"

// A result table for a table view: sorted by a column on request (numbers by
// the printed value), filtered by the text of one column, flagged cells
// highlighted with their reason as tooltip. Sorting and filtering work on
// row indexes, and the cells are formed only for the rows shown, so a table
// of millions of examinees stays quick.
namespace tarvo::shell {

class ResultTableModel final : public QAbstractTableModel {
  public:
    explicit ResultTableModel(const results::ResultTable& table, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    void sort(int column, Qt::SortOrder order) override;

    // Shows only the rows whose text in the column contains part (any case).
    void SetFilter(int column, const QString& part);
    // The table's row shown at a view row.
    std::size_t TableRow(int row) const { return visible_[static_cast<std::size_t>(row)]; }

  private:
    void Refilter();

    const results::ResultTable& table_;
    std::vector<std::size_t> order_;    // every row, in the sorted order
    std::vector<std::size_t> visible_;  // the rows that pass the filter, in order
    int filterColumn_ = -1;
    std::string filter_;
};

}  // namespace tarvo::shell
