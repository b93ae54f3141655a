// The TARVO desktop program: one dialog for IRT calibration.
#include <QApplication>

#include "shell/main_dialog.h"

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("TARVO"));

    return tarvo::shell::BuildMainDialog(nullptr);
}
