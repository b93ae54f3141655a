#pragma once

#include <QString>
#include <QTableView>
#include <functional>

class QContextMenuEvent;
class QKeyEvent;

// A table of the results window that can be taken out: Ctrl+C (or Copy in
// its menu) puts the selection on the clipboard as tab-separated text with
// the header, and "Export as CSV..." writes the whole table as shown (its
// sort order and filter) to a file the user chooses.
namespace tarvo::shell {

class DesktopServices;

class ResultTableView final : public QTableView {
  public:
    // The export offers proposedCsv as the file's name; its failures are
    // shown through the desktop.
    ResultTableView(QString proposedCsv, DesktopServices& desktop, QWidget* parent = nullptr);

    void CopySelection() const;
    void ExportAsCsv();

    // Asks for the file to export to (empty: cancelled); a file dialog unless
    // the tests answer it.
    using SavePrompt = std::function<QString(QWidget* parent, const QString& proposed)>;
    void SetSavePrompt(SavePrompt prompt) { prompt_ = std::move(prompt); }

    // The table's page: what stands above the table (may be null), the
    // table, and the Export button below it.
    QWidget* MakePage(QWidget* above = nullptr);

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

  private:
    QString proposedCsv_;
    DesktopServices& desktop_;
    SavePrompt prompt_;
};

}  // namespace tarvo::shell
