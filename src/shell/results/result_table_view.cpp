#include "shell/results/result_table_view.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QMenu>
#include <QPushButton>
#include <QVBoxLayout>

#include "shell/desktop/desktop_services.h"
#include "shell/results/table_text.h"

namespace tarvo::shell {
namespace {

QString AskWithFileDialog(QWidget* parent, const QString& proposed) {
    return QFileDialog::getSaveFileName(parent, QStringLiteral("Export as CSV"), proposed,
                                        QStringLiteral("CSV files (*.csv)"));
}

}  // namespace

ResultTableView::ResultTableView(QString proposedCsv, DesktopServices& desktop, QWidget* parent)
    : QTableView(parent),
      proposedCsv_(std::move(proposedCsv)),
      desktop_(desktop),
      prompt_(AskWithFileDialog) {}

std::vector<NamedFile> RunFilesOf(const RunReport& report) {
    return {{report.resultFile, "the result file"},
            {report.responseFile, "the response file"},
            {report.itemFile, "the item parameter file"}};
}

void ResultTableView::CopySelection() const {
    if (model() == nullptr) return;
    const QString text = SelectionAsTabSeparated(*model(), selectionModel()->selection());
    if (!text.isEmpty()) QApplication::clipboard()->setText(text);
}

void ResultTableView::ExportAsCsv() {
    if (model() == nullptr) return;
    QString path = prompt_(this, proposedCsv_);
    if (path.isEmpty()) return;
    if (!path.endsWith(QStringLiteral(".csv"), Qt::CaseInsensitive)) path += QStringLiteral(".csv");
    const QString failure = WriteTableAsCsv(path, *model(), runFiles_);
    if (!failure.isEmpty()) desktop_.ShowMessage(failure.toStdString());
}

QWidget* ResultTableView::MakePage(QWidget* above) {
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    if (above != nullptr) layout->addWidget(above);
    layout->addWidget(this, 1);
    auto* exportButton = new QPushButton(QStringLiteral("Export as CSV..."));
    exportButton->setToolTip(QStringLiteral(
        "Save the table as shown, sorted and filtered, as a CSV file; Ctrl+C copies the "
        "selected rows with the header"));
    connect(exportButton, &QPushButton::clicked, this, [this] { ExportAsCsv(); });
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(exportButton);
    layout->addLayout(buttons);
    return page;
}

void ResultTableView::keyPressEvent(QKeyEvent* event) {
    // The view's own Copy takes the current cell only.
    if (event->matches(QKeySequence::Copy)) {
        CopySelection();
        event->accept();
        return;
    }
    QTableView::keyPressEvent(event);
}

void ResultTableView::contextMenuEvent(QContextMenuEvent* event) {
    QMenu menu(this);
    QAction* copy = menu.addAction(QStringLiteral("Copy"), this, [this] { CopySelection(); });
    copy->setShortcut(QKeySequence::Copy);
    copy->setEnabled(selectionModel() != nullptr && selectionModel()->hasSelection());
    menu.addAction(QStringLiteral("Export as CSV..."), this, [this] { ExportAsCsv(); });
    menu.exec(event->globalPos());
}

}  // namespace tarvo::shell
