#pragma once

#include <QString>
#include <QTableView>
#include <functional>
#include <vector>

#include "output/result_file_open.h"
#include "report/run_report.h"

class QContextMenuEvent;
class QKeyEvent;

// A table of the results window that can be taken out: Ctrl+C (or Copy in
// its menu) puts the selection on the clipboard as tab-separated text with
// the header, and "Export as CSV..." writes the whole table as shown (its
// sort order and filter) to a file the user chooses.
namespace tarvo::shell {

class DesktopServices;

// The files of the run a results window shows, which no export of it may
// replace: its result, response and item parameter files.
std::vector<NamedFile> RunFilesOf(const RunReport& report);

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

    // The files the export may not be written over.
    void SetRunFiles(std::vector<NamedFile> files) { runFiles_ = std::move(files); }

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
    std::vector<NamedFile> runFiles_;
};

}  // namespace tarvo::shell
