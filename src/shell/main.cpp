// The TARVO desktop program: one dialog for IRT calibration.
#include <QApplication>

#include "shell/linking/link_window.h"
#include "shell/main_dialog.h"
#include "shell/results/results_window.h"

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("TARVO"));

    // A run's result opens in a results window of this program.
    tarvo::shell::QtDesktopServices desktop;
    tarvo::shell::ResultsWindows results(desktop);
    return tarvo::shell::BuildMainDialog(nullptr, &desktop, &results, [&desktop](QWidget* dialog) {
        tarvo::shell::OpenLinkWindow(desktop, dialog);
    });
}
