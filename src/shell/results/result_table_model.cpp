#include "shell/results/result_table_model.h"

#include <QColor>
#include <numeric>

#include "shell/desktop/fixed_colours.h"

namespace tarvo::shell {

ResultTableModel::ResultTableModel(const results::ResultTable& table, QObject* parent)
    : QAbstractTableModel(parent), table_(table), order_(table.RowCount()) {
    std::iota(order_.begin(), order_.end(), std::size_t{0});
    visible_ = order_;
}

int ResultTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(visible_.size());
}

int ResultTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(table_.columns.size());
}

QVariant ResultTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) return {};
    const auto column = static_cast<std::size_t>(index.column());
    const std::size_t row = TableRow(index.row());
    // A cell is formed when asked (the examinees' from the run's numbers):
    // its text alone for the display, the whole cell for its flag.
    switch (role) {
        case Qt::DisplayRole:
            return QString::fromStdString(table_.Text(row, column));
        case Qt::ToolTipRole: {
            const std::string why = table_.Cell(row, column).why;
            return why.empty() ? QVariant() : QVariant(QString::fromStdString(why));
        }
        case Qt::BackgroundRole:
            return table_.Cell(row, column).flagged ? QVariant(QColor(255, 214, 204)) : QVariant();
        case Qt::ForegroundRole:  // the theme's own text may be light
            return table_.Cell(row, column).flagged ? QVariant(TextOnFixedBackground())
                                                    : QVariant();
        case Qt::TextAlignmentRole:
            return table_.numeric[column] ? QVariant(int(Qt::AlignRight | Qt::AlignVCenter))
                                          : QVariant(int(Qt::AlignLeft | Qt::AlignVCenter));
        default:
            return {};
    }
}

QVariant ResultTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole) return {};
    if (orientation == Qt::Vertical) return section + 1;
    return QString::fromStdString(table_.columns[static_cast<std::size_t>(section)]);
}

void ResultTableModel::sort(int column, Qt::SortOrder order) {
    if (column < 0 || column >= columnCount()) return;
    Q_EMIT layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    order_ = table_.SortedOrder(static_cast<std::size_t>(column), order == Qt::AscendingOrder);
    Refilter();
    Q_EMIT layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

void ResultTableModel::SetFilter(int column, const QString& part) {
    beginResetModel();
    filterColumn_ = column;
    filter_ = part.trimmed().toStdString();
    Refilter();
    endResetModel();
}

void ResultTableModel::Refilter() {
    if (filterColumn_ < 0 || filter_.empty()) {
        visible_ = order_;
        return;
    }
    visible_.clear();
    visible_.reserve(order_.size());
    for (std::size_t row : order_) {
        if (table_.Matches(row, static_cast<std::size_t>(filterColumn_), filter_))
            visible_.push_back(row);
    }
}

}  // namespace tarvo::shell
