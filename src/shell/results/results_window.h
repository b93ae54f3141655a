#pragma once

#include <QPointer>
#include <QSize>
#include <QString>
#include <QTime>
#include <QWidget>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "shell/desktop/results_viewer.h"
#include "shell/results/file_head.h"
#include "shell/results/results_data.h"

class QLabel;
class QLayout;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QPlainTextEdit;
class QTabWidget;
class QTextBrowser;

// The results window of one run: the result file's text, the item and
// examinee tables, the plots and a summary in sentences. It is not modal and
// deletes itself when closed (also by Esc and Ctrl+W); the main dialog stays
// usable. Its title names the run, so that two windows can be told apart.
namespace tarvo::shell {

class DesktopServices;
class PlotsTab;
class ResultTableModel;
class ResultTableView;

class ResultsWindow final : public QWidget {
  public:
    // The size the window asks for; it opens smaller on a smaller screen.
    static constexpr QSize kWantedSize{900, 620};
    // The Result file tab shows the file's first bytes, whole lines up to this.
    static constexpr std::size_t kShownFileBytes = std::size_t{2} << 20;

    ResultsWindow(const QString& resultFile, RunReport report, DesktopServices& desktop,
                  QWidget* parent = nullptr);
    ~ResultsWindow() override;

    QTabWidget* Tabs() const { return tabs_; }
    QStringList TabTitles() const;
    const results::ResultsData& Data() const { return data_; }
    ResultTableView* ItemView() const { return itemView_; }
    ResultTableView* PersonView() const { return personView_; }
    ResultTableModel* ItemModel() const { return itemModel_; }
    ResultTableModel* PersonModel() const { return personModel_; }
    QLineEdit* IdFilter() const { return idFilter_; }
    PlotsTab* Plots() const { return plots_; }
    ResultTableModel* ScoreModel() const { return scoreModel_; }
    ResultTableModel* PairModel() const { return pairModel_; }
    // The result file's text as shown: read off the user-interface thread
    // once its tab is first shown (or this is called); FileTextShown() tells
    // when it has arrived. The note above it says what is left out and why.
    QPlainTextEdit* FileText();
    bool FileTextShown() const { return fileTextShown_; }
    QLabel* FileNote() const { return fileNote_; }
    QTextBrowser* Summary() const { return summary_; }
    // "Save report..." and, beside it, how many examinees the page lists
    // before it summarises them (remembered for the next window). The
    // prompt asks for the page's file (by default a file dialog); empty: not
    // saved.
    QPushButton* SaveReportButton() const { return saveReport_; }
    QSpinBox* ExamineeLimitBox() const { return examineeLimit_; }
    using ReportPrompt = std::function<QString(QWidget* parent, const QString& folder)>;
    void SetReportPrompt(ReportPrompt prompt) { reportPrompt_ = std::move(prompt); }

  private:
    QWidget* MakeFileTab();
    ResultTableView* MakeTableView(ResultTableModel* model, const QString& tableName);
    QWidget* MakeExamineesTab();
    QWidget* MakeScoreTableTab();
    QWidget* MakeLocalDependenceTab();
    void LoadFileText();
    void ShowFileText(const results::FileHead& head);
    QLayout* MakeReportRow();
    void SaveReport();

    QString resultFile_;
    DesktopServices& desktop_;
    results::ResultsData data_;
    QTabWidget* tabs_;
    QPlainTextEdit* fileText_ = nullptr;
    QLabel* fileNote_ = nullptr;
    bool fileTextRequested_ = false;
    bool fileTextShown_ = false;
    ResultTableView* itemView_ = nullptr;
    ResultTableView* personView_ = nullptr;
    ResultTableModel* itemModel_ = nullptr;
    ResultTableModel* personModel_ = nullptr;
    ResultTableModel* scoreModel_ = nullptr;
    ResultTableModel* pairModel_ = nullptr;
    QLineEdit* idFilter_ = nullptr;
    PlotsTab* plots_ = nullptr;
    QTextBrowser* summary_ = nullptr;
    QPushButton* saveReport_ = nullptr;
    QSpinBox* examineeLimit_ = nullptr;
    ReportPrompt reportPrompt_;
};

// The desktop program's viewer: a new results window for every run shown.
class ResultsWindows final : public ResultsViewer {
  public:
    explicit ResultsWindows(DesktopServices& desktop) : desktop_(desktop) {}
    void ShowResults(const std::string& resultFile, RunReport report) override;
    void KeepProgramOpen() override;
    // The windows still open, oldest first.
    std::vector<ResultsWindow*> Open() const;

  private:
    DesktopServices& desktop_;
    std::vector<QPointer<ResultsWindow>> windows_;
};

// The window's title: the result file's name, the run (its mode, or the
// marginal estimator's model) and the time the window opened.
QString ResultsWindowTitle(const QString& resultFile, const RunReport& report, const QTime& opened);

}  // namespace tarvo::shell
