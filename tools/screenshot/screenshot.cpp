// tarvo-screenshot: the pictures of the desktop program in docs/ (see
// scripts/screenshot). Not installed.
//
//   tarvo-screenshot DIALOG.png PROGRESS.png
//       the main dialog (with the sample response file chosen) and a
//       progress window, and beside DIALOG.png the marginal options dialog
//       as tarvo-marginal-options.png and the dialog under a dark desktop
//       theme as tarvo-dialog-dark.png
//   tarvo-screenshot --results RESPONSES FOLDER
//       a mode 3 run of RESPONSES and every tab and plot of its results
//       window (see results_screenshot.h)
//   tarvo-screenshot --preview RESPONSES CSV FOLDER
//       the Preview window over RESPONSES with the sample preset as
//       tarvo-preview.png, and over CSV after Detect as tarvo-preview-csv.png
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QPalette>
#include <QPixmap>
#include <QStringList>
#include <chrono>
#include <cstdio>
#include <thread>

#include "platform/control_ids.h"
#include "results_screenshot.h"
#include "shell/files/file_selection.h"
#include "shell/main_dialog.h"
#include "shell/options/marginal_options_dialog.h"
#include "shell/preview/preview_window.h"
#include "shell/progress/progress_operations.h"
#include "shell/progress/progress_window.h"

namespace tarvo::shell {
namespace {

void LetWindowsSettle() {
    for (int i = 0; i < 20; ++i) {
        QApplication::processEvents();
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

// The dialog shown with the sample file chosen, as a user would choose it.
void ChooseSample(MainDialog& dialog) {
    const QString folder = QDir::currentPath();
    dialog.show();
    dialog.Commands().MainDialogProc(tarvo::control::kBrowseResponseFile, kClicked);
    QDir::setCurrent(folder);  // the sample folder does not exist here
    LetWindowsSettle();
}

int SaveScreenshots(const QString& dialogPng, const QString& progressPng) {
    SamplePicker picker("/home/user/tarvo/testdata.dat");
    QtDesktopServices desktop;
    MainDialog dialog(nullptr, &picker, &desktop);
    ChooseSample(dialog);
    const bool dialogSaved = dialog.grab().save(dialogPng, "PNG");

    // The marginal estimator's options, beside the dialog's picture.
    MarginalOptionsDialog options(DefaultMarginalOptions(), dialog.Commands().CalibrationMode(),
                                  &dialog);
    options.show();
    LetWindowsSettle();
    const bool optionsSaved = options.grab().save(
        QFileInfo(dialogPng).dir().filePath(QStringLiteral("tarvo-marginal-options.png")), "PNG");
    options.hide();

    const ProgressHandle handle =
        OpenProgressWindow(&dialog, QStringLiteral("Calibrating theta and items ..."));
    SetProgressWindow(
        handle, 3,
        QStringLiteral("Iteration 4 of no more than 100.  MSError change =  0.00012345678"));
    LetWindowsSettle();
    bool progressSaved = false;
    if (ProgressWindow* window = FindProgressWindow(handle)) {
        progressSaved = window->grab().save(progressPng, "PNG");
    }
    ShutdownProgressWindow(handle, &dialog);
    return dialogSaved && optionsSaved && progressSaved ? 0 : 1;
}

// The dialog as a dark desktop theme shows it: the light palette with every
// colour's lightness turned over, on the application before the dialog is built.
bool SaveDarkThemeScreenshot(const QString& png) {
    const QPalette light = QApplication::palette();
    QPalette dark = light;
    for (int group = 0; group < QPalette::NColorGroups; ++group) {
        for (int role = 0; role < QPalette::NColorRoles; ++role) {
            const auto g = static_cast<QPalette::ColorGroup>(group);
            const auto r = static_cast<QPalette::ColorRole>(role);
            const QColor colour = light.color(g, r);
            dark.setColor(g, r,
                          QColor::fromHslF(colour.hslHueF(), colour.hslSaturationF(),
                                           1 - colour.lightnessF()));
        }
    }
    QApplication::setPalette(dark);
    bool saved = false;
    {
        SamplePicker picker("/home/user/tarvo/testdata.dat");
        QtDesktopServices desktop;
        MainDialog dialog(nullptr, &picker, &desktop);
        ChooseSample(dialog);
        saved = dialog.grab().save(png, "PNG");
    }
    QApplication::setPalette(light);
    return saved;
}

int SavePreviewScreenshots(const QString& responses, const QString& csv, const QString& folder) {
    SamplePicker picker(QFileInfo(responses).absoluteFilePath().toStdString());
    QtDesktopServices desktop;
    const QString current = QDir::currentPath();
    MainDialog dialog(nullptr, &picker, &desktop);
    dialog.Commands().MainDialogProc(tarvo::control::kBrowseResponseFile, kClicked);
    QDir::setCurrent(current);

    PreviewWindow preview(dialog.Controls(), &dialog, [&dialog] {
        return dialog.RequestFor(dialog.Commands().CalibrationMode());
    });
    // The input check's findings arrive from a thread of their own.
    const auto settle = [&preview] {
        QElapsedTimer waited;
        waited.start();
        while (preview.Checking() && waited.elapsed() < 30000) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        }
        LetWindowsSettle();
    };
    preview.show();
    settle();
    const bool fixedSaved =
        preview.grab().save(QDir(folder).filePath(QStringLiteral("tarvo-preview.png")), "PNG");

    dialog.Controls().SetText(tarvo::control::kResponseFile,
                              QFileInfo(csv).absoluteFilePath().toStdString());
    preview.Detect();
    settle();
    const bool csvSaved =
        preview.grab().save(QDir(folder).filePath(QStringLiteral("tarvo-preview-csv.png")), "PNG");
    return fixedSaved && csvSaved ? 0 : 1;
}

}  // namespace
}  // namespace tarvo::shell

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("TARVO"));
    const QStringList arguments = QApplication::arguments();
    if (arguments.size() == 4 && arguments[1] == QStringLiteral("--results")) {
        return tarvo::shell::SaveResultsScreenshots(arguments[2], arguments[3]);
    }
    if (arguments.size() == 5 && arguments[1] == QStringLiteral("--preview")) {
        return tarvo::shell::SavePreviewScreenshots(arguments[2], arguments[3], arguments[4]);
    }
    if (arguments.size() != 3) {
        std::fprintf(stderr,
                     "usage: tarvo-screenshot DIALOG.png PROGRESS.png\n"
                     "       tarvo-screenshot --results RESPONSES FOLDER\n"
                     "       tarvo-screenshot --preview RESPONSES CSV FOLDER\n");
        return 2;
    }
    const int status = tarvo::shell::SaveScreenshots(arguments[1], arguments[2]);
    const QString dark =
        QFileInfo(arguments[1]).dir().filePath(QStringLiteral("tarvo-dialog-dark.png"));
    return tarvo::shell::SaveDarkThemeScreenshot(dark) ? status : 1;
}
