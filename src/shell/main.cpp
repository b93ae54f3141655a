// The TARVO desktop program: one dialog for IRT calibration.
#include <QApplication>
#include <QStringList>

#include "shell/main_dialog.h"
#include "shell/results/results_screenshot.h"
#include "shell/results/results_window.h"
#include "shell/screenshot.h"

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("TARVO"));

    // Not for users: "--screenshot DIALOG.png PROGRESS.png" saves pictures of
    // the two windows for the documentation and exits.
    const QStringList arguments = QApplication::arguments();
    const qsizetype option = arguments.indexOf(QStringLiteral("--screenshot"));
    if (option >= 0 && option + 2 < arguments.size()) {
        return tarvo::shell::SaveScreenshots(arguments[option + 1], arguments[option + 2]);
    }
    // "--screenshot-results RESPONSES FOLDER": a mode 3 run of the sample and
    // pictures of its results window.
    const qsizetype resultsOption = arguments.indexOf(QStringLiteral("--screenshot-results"));
    if (resultsOption >= 0 && resultsOption + 2 < arguments.size()) {
        return tarvo::shell::SaveResultsScreenshots(arguments[resultsOption + 1],
                                                    arguments[resultsOption + 2]);
    }

    // A run's result opens in a results window of this program.
    tarvo::shell::QtDesktopServices desktop;
    tarvo::shell::ResultsWindows results(desktop);
    return tarvo::shell::BuildMainDialog(nullptr, &desktop, &results);
}
