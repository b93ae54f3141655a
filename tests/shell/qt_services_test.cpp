// The real message boxes and file dialogs, inspected while they are open and
// then answered.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <functional>

#include "shell/desktop/desktop_services.h"
#include "shell/files/qt_file_picker.h"
#include "shell_test_support.h"

namespace tarvo::shell {
namespace {

// Runs inspect on the modal window as soon as it is up.
template <class Window>
void WhenModalOpens(std::function<void(Window*)> inspect) {
    QTimer::singleShot(0, [inspect] {
        auto* window = qobject_cast<Window*>(QApplication::activeModalWidget());
        ASSERT_NE(window, nullptr) << "no modal window of the expected kind";
        inspect(window);
    });
}

TEST(QtDesktopServices, ShowMessageIsAnOkBoxWithPlainText) {
    test_support::EnsureApplication();
    WhenModalOpens<QMessageBox>([](QMessageBox* box) {
        EXPECT_EQ(box->text(), QStringLiteral("ERROR Response file <b>x</b> does not exists."));
        EXPECT_EQ(box->textFormat(), Qt::PlainText);
        EXPECT_EQ(box->standardButtons(), QMessageBox::Ok);
        EXPECT_EQ(box->icon(), QMessageBox::NoIcon);
        box->button(QMessageBox::Ok)->click();
    });
    QtDesktopServices().ShowMessage("ERROR Response file <b>x</b> does not exists.");
}

TEST(QtDesktopServices, AskYesNoDefaultsToYes) {
    test_support::EnsureApplication();
    for (const bool pressYes : {true, false}) {
        WhenModalOpens<QMessageBox>([pressYes](QMessageBox* box) {
            EXPECT_EQ(box->windowTitle(), QStringLiteral("Tarvo"));
            EXPECT_EQ(box->standardButtons(), QMessageBox::Yes | QMessageBox::No);
            EXPECT_EQ(static_cast<QAbstractButton*>(box->defaultButton()),
                      box->button(QMessageBox::Yes));
            box->button(pressYes ? QMessageBox::Yes : QMessageBox::No)->click();
        });
        EXPECT_EQ(QtDesktopServices().AskYesNo("Do you want to standardize theta?", "Tarvo"),
                  pressYes);
    }
}

TEST(QtDesktopServices, AMissingDocumentIsNotHandled) {
    // Nothing is launched: "Help" then shows the help in its own window.
    test_support::EnsureApplication();
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    QtDesktopServices desktop;
    EXPECT_FALSE(desktop.OpenDocumentIfHandled(""));
    EXPECT_FALSE(desktop.OpenDocumentIfHandled(folder.filePath("aboutTARVO.rtf").toStdString()));
    EXPECT_FALSE(desktop.OpenDocumentIfHandled(folder.path().toStdString()));  // a folder
}

TEST(QtFilePicker, ShowsTheRequestInAFileDialog) {
    test_support::EnsureApplication();
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    QtFilePicker picker(nullptr);

    PickerRequest request = SaveRequest(OutputPicker("result.DAT"));
    request.folder = folder.path().toStdString();
    WhenModalOpens<QFileDialog>([&](QFileDialog* dialog) {
        EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Output File"));
        EXPECT_EQ(dialog->acceptMode(), QFileDialog::AcceptSave);
        EXPECT_EQ(dialog->nameFilters().size(), 5);
        EXPECT_EQ(dialog->selectedNameFilter(), QStringLiteral("Data Files (*.dat)"));
        EXPECT_EQ(dialog->defaultSuffix(), QStringLiteral("txt"));
        EXPECT_EQ(dialog->directory().absolutePath(), folder.path());
        dialog->reject();
    });
    EXPECT_EQ(picker.PickSave(request), std::nullopt);

    request = OpenRequest(ItemParameterPicker());
    request.folder = folder.path().toStdString();
    const QString chosen = folder.path() + QStringLiteral("/items.itm");
    WhenModalOpens<QFileDialog>([&](QFileDialog* dialog) {
        EXPECT_EQ(dialog->acceptMode(), QFileDialog::AcceptOpen);
        EXPECT_EQ(dialog->fileMode(), QFileDialog::ExistingFile);  // the file must exist
        EXPECT_EQ(dialog->selectedNameFilter(), QStringLiteral("ITM Files (*.itm)"));
        dialog->selectFile(chosen);
        static_cast<QDialog*>(dialog)->accept();  // public through the base
    });
    QFile file(chosen);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    EXPECT_EQ(picker.PickOpen(request), chosen.toStdString());
}

}  // namespace
}  // namespace tarvo::shell
