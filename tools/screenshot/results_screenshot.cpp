#include "results_screenshot.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QThread>

#include "platform/control_ids.h"
#include "shell/main_dialog.h"
#include "shell/results/plots_tab.h"
#include "shell/results/result_table_view.h"
#include "shell/results/results_window.h"

namespace tarvo::shell {
namespace {

// Answers Yes to the standardise question, runs despite the input check's
// findings and opens nothing.
class QuietDesktop final : public DesktopServices {
  public:
    void ShowMessage(const std::string&) override {}
    bool AskYesNo(const std::string&, const std::string&) override { return true; }
    bool AskRunAnyway(const std::string&) override { return true; }
    void OpenDocument(const std::string&) override {}
};

void Settle() {
    for (int i = 0; i < 20; ++i) {
        QApplication::processEvents();
        QThread::msleep(10);
    }
}

QString Slug(QString title) { return title.toLower().replace(QLatin1Char(' '), QLatin1Char('-')); }

}  // namespace

int SaveResultsScreenshots(const QString& sampleResponses, const QString& folder) {
    QTemporaryDir work;
    const QString saved = QDir::currentPath();
    SamplePicker picker(QFileInfo(sampleResponses).absoluteFilePath().toStdString());
    QuietDesktop desktop;
    ResultsWindows viewer(desktop);
    MainDialog dialog(nullptr, &picker, &desktop, &viewer);
    dialog.show();

    dialog.Commands().MainDialogProc(control::kBrowseResponseFile, kClicked);
    dialog.Controls().SetText(control::kOutputFile,
                              work.filePath(QStringLiteral("testdata.csv")).toStdString());
    static_cast<QRadioButton*>(dialog.Control(1005))->click();  // mode 3
    auto go = [&dialog] {
        static_cast<QPushButton*>(dialog.Control(control::kGo))->click();
        QElapsedTimer timer;
        timer.start();
        while (dialog.Runs().IsRunning() && timer.elapsed() < 120000) {
            QApplication::processEvents(QEventLoop::AllEvents, 20);
        }
    };
    go();
    QDir::setCurrent(saved);
    if (viewer.Open().empty()) return 1;

    ResultsWindow* window = viewer.Open().back();
    window->resize(960, 640);
    // Narrow columns, so the pictures show the statistics and flags beside
    // the estimates.
    window->ItemView()->resizeColumnsToContents();
    if (window->PersonView() != nullptr) window->PersonView()->resizeColumnsToContents();
    bool allSaved = true;
    auto save = [&](const QString& name) {
        Settle();
        allSaved &= window->grab().save(QDir(folder).filePath(name), "PNG");
    };
    for (int tab = 0; tab < window->Tabs()->count(); ++tab) {
        window->Tabs()->setCurrentIndex(tab);
        if (tab == 0) {
            // The file's text arrives from a thread of its own.
            while (!window->FileTextShown()) QApplication::processEvents(QEventLoop::AllEvents, 20);
        }
        const QString slug = Slug(window->Tabs()->tabText(tab));
        if (window->Tabs()->widget(tab) != window->Plots()) {
            save(QStringLiteral("tarvo-results-%1.png").arg(slug));
            continue;
        }
        QTabWidget* pages = window->Plots()->Pages();
        for (int page = 0; page < pages->count(); ++page) {
            pages->setCurrentIndex(page);
            save(QStringLiteral("tarvo-results-plots-%1.png").arg(Slug(pages->tabText(page))));
        }
    }

    // The same data with the marginal estimator: its summary names the
    // estimator, the priors and the EM cycles.
    dialog.MethodChoice().method->setCurrentIndex(static_cast<int>(EstimatorMethod::Marginal));
    dialog.Controls().SetText(control::kOutputFile,
                              work.filePath(QStringLiteral("testdata-mml.csv")).toStdString());
    go();
    if (viewer.Open().size() != 2) return 1;
    ResultsWindow* marginal = viewer.Open().back();
    marginal->resize(960, 640);
    marginal->Tabs()->setCurrentWidget(marginal->Summary());
    Settle();
    allSaved &= marginal->grab().save(
        QDir(folder).filePath(QStringLiteral("tarvo-results-summary-marginal.png")), "PNG");
    for (ResultsWindow* open : viewer.Open()) delete open;
    return allSaved ? 0 : 1;
}

}  // namespace tarvo::shell
