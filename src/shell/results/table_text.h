#pragma once

#include <QItemSelection>
#include <QModelIndexList>
#include <QString>
#include <vector>

#include "output/result_file_open.h"

class QAbstractItemModel;

// A table view's rows as text to take elsewhere: the selection as
// tab-separated lines for the clipboard (a spreadsheet pastes them into
// cells), and the whole table as a CSV file. Both start with the header
// line and follow the model's order, as the view shows it.
namespace tarvo::shell {

// The selected cells' rows and columns; a cell of those rows and columns
// that is not selected stays empty. Nothing selected gives an empty text.
// The selection is read by its ranges (a whole table selected is one), so
// a large selection costs its text and no more.
QString SelectionAsTabSeparated(const QAbstractItemModel& model, const QItemSelection& selection);
QString SelectionAsTabSeparated(const QAbstractItemModel& model, const QModelIndexList& selected);

// Writes every row of the model as CSV to path through the program's
// checked open (never over one of notThese), a block of rows at a time (the
// table's text is never held whole): cells with a comma, a quote or a line
// break are quoted, quotes doubled; lines end in CR LF. On failure gives the
// message to show, naming the file and the reason, and leaves no half file.
QString WriteTableAsCsv(const QString& path, const QAbstractItemModel& model,
                        const std::vector<NamedFile>& notThese = {});

}  // namespace tarvo::shell
