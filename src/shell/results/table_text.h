#pragma once

#include <QModelIndexList>
#include <QString>

class QAbstractItemModel;

// A table view's rows as text to take elsewhere: the selection as
// tab-separated lines for the clipboard (a spreadsheet pastes them into
// cells), and the whole table as a CSV file. Both start with the header
// line and follow the model's order, as the view shows it.
namespace tarvo::shell {

// The selected cells' rows and columns; a cell of those rows and columns
// that is not selected stays empty. Nothing selected gives an empty text.
QString SelectionAsTabSeparated(const QAbstractItemModel& model, const QModelIndexList& selected);

// Every row of the model: cells with a comma, a quote or a line break are
// quoted, quotes doubled; lines end in CR LF.
QString TableAsCsv(const QAbstractItemModel& model);

// Writes the text as UTF-8 to a new file in its place; on failure gives the
// message to show, naming the file and the reason.
QString WriteTextFile(const QString& path, const QString& text);

}  // namespace tarvo::shell
