#pragma once

#include <QByteArray>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <memory>
#include <string>
#include <vector>

#include "shell/desktop/results_viewer.h"
#include "shell/results/results_data.h"

class QLineEdit;
class QPlainTextEdit;
class QTabWidget;
class QTableView;
class QTextBrowser;

// The results window of one run: the result file's text, the item and
// examinee tables, the plots and a summary in sentences. It is not modal and
// deletes itself when closed; the main dialog stays usable.
namespace tarvo::shell {

class DesktopServices;
class PlotsTab;
class ResultTableModel;

class ResultsWindow final : public QWidget {
  public:
    ResultsWindow(const QString& resultFile, RunReport report, DesktopServices& desktop,
                  QWidget* parent = nullptr);
    ~ResultsWindow() override;

    QTabWidget* Tabs() const { return tabs_; }
    QStringList TabTitles() const;
    const results::ResultsData& Data() const { return data_; }
    QTableView* ItemView() const { return itemView_; }
    QTableView* PersonView() const { return personView_; }
    ResultTableModel* ItemModel() const { return itemModel_; }
    ResultTableModel* PersonModel() const { return personModel_; }
    QLineEdit* IdFilter() const { return idFilter_; }
    PlotsTab* Plots() const { return plots_; }
    // The result file's text as shown (loaded when its tab is first shown).
    QPlainTextEdit* FileText();
    QTextBrowser* Summary() const { return summary_; }

  private:
    QWidget* MakeFileTab();
    QTableView* MakeTableView(ResultTableModel* model);
    QWidget* MakeExamineesTab();
    void LoadFileText();

    QString resultFile_;
    QByteArray bytes_;
    DesktopServices& desktop_;
    results::ResultsData data_;
    QTabWidget* tabs_;
    QPlainTextEdit* fileText_ = nullptr;
    bool fileTextLoaded_ = false;
    QTableView* itemView_ = nullptr;
    QTableView* personView_ = nullptr;
    ResultTableModel* itemModel_ = nullptr;
    ResultTableModel* personModel_ = nullptr;
    QLineEdit* idFilter_ = nullptr;
    PlotsTab* plots_ = nullptr;
    QTextBrowser* summary_ = nullptr;
};

// The desktop program's viewer: a new results window for every run shown.
class ResultsWindows final : public ResultsViewer {
  public:
    explicit ResultsWindows(DesktopServices& desktop) : desktop_(desktop) {}
    void ShowResults(const std::string& resultFile, const RunReport& report) override;
    // The windows still open, oldest first.
    std::vector<ResultsWindow*> Open() const;

  private:
    DesktopServices& desktop_;
    std::vector<QPointer<ResultsWindow>> windows_;
};

// The window's title for a result file.
QString ResultsWindowTitle(const QString& resultFile);

}  // namespace tarvo::shell
