#include "shell/results/table_text.h"

#include <QAbstractItemModel>
#include <QDir>
#include <QSaveFile>
#include <QStringList>
#include <set>

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

QString SelectionAsTabSeparated(const QAbstractItemModel& model, const QModelIndexList& selected) {
    std::set<int> rows, columns;
    std::set<std::pair<int, int>> cells;
    for (const QModelIndex& index : selected) {
        rows.insert(index.row());
        columns.insert(index.column());
        cells.emplace(index.row(), index.column());
    }
    if (cells.empty()) return {};
    QStringList lines;
    QStringList header;
    for (int column : columns) header << ForTabSeparated(HeaderText(model, column));
    lines << header.join(QLatin1Char('\t'));
    for (int row : rows) {
        QStringList line;
        for (int column : columns) {
            line << (cells.count({row, column}) != 0 ? ForTabSeparated(CellText(model, row, column))
                                                     : QString());
        }
        lines << line.join(QLatin1Char('\t'));
    }
    return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

QString TableAsCsv(const QAbstractItemModel& model) {
    const int columns = model.columnCount();
    QString text;
    auto addLine = [&](auto cellAt) {
        for (int column = 0; column < columns; ++column) {
            if (column > 0) text += QLatin1Char(',');
            text += ForCsv(cellAt(column));
        }
        text += QLatin1String("\r\n");
    };
    addLine([&](int column) { return HeaderText(model, column); });
    for (int row = 0; row < model.rowCount(); ++row) {
        addLine([&](int column) { return CellText(model, row, column); });
    }
    return text;
}

QString WriteTextFile(const QString& path, const QString& text) {
    // Written beside and then put in place: a failed export leaves no half file.
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly)) {
        const QByteArray bytes = text.toUtf8();
        if (file.write(bytes) == bytes.size() && file.commit()) return {};
    }
    return QStringLiteral("The table could not be saved as %1: %2.")
        .arg(QDir::toNativeSeparators(path), file.errorString());
}

}  // namespace tarvo::shell
