#include "shell/results/table_text.h"

#include <QAbstractItemModel>
#include <QDir>
#include <algorithm>
#include <utility>
#include <vector>

#include "shell/desktop/checked_file.h"

namespace tarvo::shell {
namespace {

QString CellText(const QAbstractItemModel& model, int row, int column) {
    return model.data(model.index(row, column), Qt::DisplayRole).toString();
}

QString HeaderText(const QAbstractItemModel& model, int column) {
    return model.headerData(column, Qt::Horizontal, Qt::DisplayRole).toString();
}

// A tab or a line break inside a cell would split it in the spreadsheet.
QString ForTabSeparated(QString text) {
    for (QChar breaking : {QLatin1Char('\t'), QLatin1Char('\r'), QLatin1Char('\n')}) {
        text.replace(breaking, QLatin1Char(' '));
    }
    return text;
}

QString ForCsv(QString text) {
    const bool quoted = text.contains(QLatin1Char(',')) || text.contains(QLatin1Char('"')) ||
                        text.contains(QLatin1Char('\r')) || text.contains(QLatin1Char('\n'));
    if (!quoted) return text;
    text.replace(QLatin1String("\""), QLatin1String("\"\""));
    return QLatin1Char('"') + text + QLatin1Char('"');
}

}  // namespace

QString SelectionAsTabSeparated(const QAbstractItemModel& model, const QItemSelection& selection) {
    // The rows as merged spans, the columns one by one (a table has few).
    std::vector<std::pair<int, int>> spans;
    std::vector<int> columns;
    for (const QItemSelectionRange& range : selection) {
        if (!range.isValid() || range.isEmpty()) continue;
        spans.emplace_back(range.top(), range.bottom());
        for (int column = range.left(); column <= range.right(); ++column)
            columns.push_back(column);
    }
    if (spans.empty()) return {};
    std::sort(columns.begin(), columns.end());
    columns.erase(std::unique(columns.begin(), columns.end()), columns.end());
    std::sort(spans.begin(), spans.end());
    std::vector<std::pair<int, int>> rows;
    for (const auto& span : spans) {
        if (!rows.empty() && span.first <= rows.back().second + 1) {
            rows.back().second = std::max(rows.back().second, span.second);
        } else {
            rows.push_back(span);
        }
    }
    const auto selected = [&](int row, int column) {
        for (const QItemSelectionRange& range : selection) {
            if (row >= range.top() && row <= range.bottom() && column >= range.left() &&
                column <= range.right()) {
                return true;
            }
        }
        return false;
    };
    QString text;
    for (std::size_t k = 0; k < columns.size(); ++k) {
        if (k > 0) text += QLatin1Char('\t');
        text += ForTabSeparated(HeaderText(model, columns[k]));
    }
    text += QLatin1Char('\n');
    for (const auto& [first, last] : rows) {
        for (int row = first; row <= last; ++row) {
            for (std::size_t k = 0; k < columns.size(); ++k) {
                if (k > 0) text += QLatin1Char('\t');
                if (selected(row, columns[k])) {
                    text += ForTabSeparated(CellText(model, row, columns[k]));
                }
            }
            text += QLatin1Char('\n');
        }
    }
    return text;
}

QString SelectionAsTabSeparated(const QAbstractItemModel& model, const QModelIndexList& selected) {
    QItemSelection selection;
    for (const QModelIndex& index : selected) selection.select(index, index);
    return SelectionAsTabSeparated(model, selection);
}

QString WriteTableAsCsv(const QString& path, const QAbstractItemModel& model,
                        const std::vector<NamedFile>& notThese) {
    CheckedFile file(path, notThese);
    bool written = file.IsOpen();
    const int columns = model.columnCount();
    QString text;
    auto addLine = [&](auto cellAt) {
        for (int column = 0; column < columns; ++column) {
            if (column > 0) text += QLatin1Char(',');
            text += ForCsv(cellAt(column));
        }
        text += QLatin1String("\r\n");
    };
    auto flush = [&] {
        const QByteArray bytes = text.toUtf8();
        written = written && file.Device().write(bytes) == bytes.size();
        text.clear();
    };
    // Rows go out in blocks: the whole table's text of two million
    // examinees would be hundreds of megabytes.
    constexpr int kRowsPerBlock = 4096;
    addLine([&](int column) { return HeaderText(model, column); });
    for (int row = 0; written && row < model.rowCount(); ++row) {
        addLine([&](int column) { return CellText(model, row, column); });
        if ((row + 1) % kRowsPerBlock == 0) flush();
    }
    flush();
    // A failed export is emptied: no half file is left.
    if (file.Finish() && written) return {};
    return QStringLiteral("The table could not be saved as %1: %2.")
        .arg(QDir::toNativeSeparators(path), file.Failure());
}

}  // namespace tarvo::shell
