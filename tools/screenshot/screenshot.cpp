// tarvo-screenshot: the pictures of the desktop program in docs/ (see
// scripts/screenshot). Not installed.
//
//   tarvo-screenshot DIALOG.png PROGRESS.png
//       the main dialog (with the sample response file chosen) and a
//       progress window, and the marginal options dialog as
//       tarvo-marginal-options.png beside DIALOG.png
//   tarvo-screenshot --results RESPONSES FOLDER
//       a mode 3 run of RESPONSES and every tab and plot of its results
//       window (see results_screenshot.h)
#include <QApplication>
#include <QDir>
#include <QFileInfo>
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
#include "shell/progress/progress_operations.h"
#include "shell/progress/progress_window.h"

namespace tarvo::shell {
namespace {

// Answers the response picker with the sample file, as a user would.
class SampleChoice final : public FilePicker {
  public:
    std::optional<std::string> PickOpen(const PickerRequest&) override {
        return "/home/user/tarvo/testdata.dat";
    }
    std::optional<std::string> PickSave(const PickerRequest&) override { return std::nullopt; }
};

void LetWindowsSettle() {
    for (int i = 0; i < 20; ++i) {
        QApplication::processEvents();
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

int SaveScreenshots(const QString& dialogPng, const QString& progressPng) {
    SampleChoice picker;
    QtDesktopServices desktop;
    MainDialog dialog(nullptr, &picker, &desktop);
    const QString folder = QDir::currentPath();
    dialog.show();
    dialog.Commands().MainDialogProc(tarvo::control::kBrowseResponseFile, kClicked);
    QDir::setCurrent(folder);  // the sample folder does not exist here
    LetWindowsSettle();
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

}  // namespace
}  // namespace tarvo::shell

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("TARVO"));
    const QStringList arguments = QApplication::arguments();
    if (arguments.size() == 4 && arguments[1] == QStringLiteral("--results")) {
        return tarvo::shell::SaveResultsScreenshots(arguments[2], arguments[3]);
    }
    if (arguments.size() != 3) {
        std::fprintf(stderr,
                     "usage: tarvo-screenshot DIALOG.png PROGRESS.png\n"
                     "       tarvo-screenshot --results RESPONSES FOLDER\n");
        return 2;
    }
    return tarvo::shell::SaveScreenshots(arguments[1], arguments[2]);
}
