// The program's own folder (the real file's, links resolved), the help
// document's fall-back on it, and the window icon as installed.
#include "shell/program_folder.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <cstdio>
#include <memory>

#include "platform/control_ids.h"
#include "shell/desktop/program_icon.h"
#include "shell/main_dialog.h"
#include "shell_test_support.h"

namespace tarvo::shell {
namespace {

using test_support::CurrentDirectoryGuard;
using test_support::EnsureApplication;
using test_support::RecordingDesktop;
using test_support::ScriptedPicker;

constexpr const char* kReportFolder = "TARVO_TEST_REPORT_PROGRAM_FOLDER";

std::string Path(const QTemporaryDir& dir) { return dir.path().toStdString(); }

void PutHelpDocument(const std::string& folder) {
    test_support::WriteFileBytes(folder + "/aboutTARVO.rtf", "{\\rtf1 help}");
}

TEST(HelpDocumentToOpen, PrefersTheCurrentFolderThenTheProgramFolder) {
    struct Case {
        const char* name;
        bool inCurrent;
        bool inProgram;
        bool programFolderKnown;
        bool expectProgramCopy;
    };
    const Case cases[] = {
        {"in both: the current folder's", true, true, true, false},
        {"only in the current folder", true, false, true, false},
        {"only beside the program", false, true, true, true},
        {"nowhere: the bare name", false, false, true, false},
        {"program folder unknown", false, true, false, false},
    };
    EnsureApplication();
    for (const Case& c : cases) {
        CurrentDirectoryGuard guard;
        QTemporaryDir current;
        QTemporaryDir program;
        if (c.inCurrent) PutHelpDocument(Path(current));
        if (c.inProgram) PutHelpDocument(Path(program));
        QDir::setCurrent(current.path());

        const std::string opened = HelpDocumentToOpen(c.programFolderKnown ? Path(program) : "");
        EXPECT_EQ(opened,
                  c.expectProgramCopy ? Path(program) + "/aboutTARVO.rtf" : "aboutTARVO.rtf")
            << c.name;
    }
}

TEST(HelpDocumentToOpen, AFolderNamedLikeTheDocumentDoesNotCount) {
    EnsureApplication();
    CurrentDirectoryGuard guard;
    QTemporaryDir current;
    QTemporaryDir program;
    ASSERT_TRUE(QDir(current.path()).mkdir(QStringLiteral("aboutTARVO.rtf")));
    PutHelpDocument(Path(program));
    QDir::setCurrent(current.path());
    EXPECT_EQ(HelpDocumentToOpen(Path(program)), Path(program) + "/aboutTARVO.rtf");
}

class HelpFallBackTest : public ::testing::Test {
  protected:
    void SetUp() override {
        EnsureApplication();
        dialog = std::make_unique<MainDialog>(nullptr, &picker, &desktop);
    }

    CurrentDirectoryGuard guard;
    ScriptedPicker picker;
    RecordingDesktop desktop;
    std::unique_ptr<MainDialog> dialog;
};

TEST_F(HelpFallBackTest, TheDialogKnowsTheProgramFolder) {
    EXPECT_EQ(dialog->Commands().ProgramFolder(),
              QCoreApplication::applicationDirPath().toStdString());
}

TEST_F(HelpFallBackTest, AfterBrowsingElsewhereHelpOpensTheProgramsCopy) {
    QTemporaryDir program;
    QTemporaryDir data;
    PutHelpDocument(Path(program));
    dialog->Commands().SetProgramFolder(Path(program));
    QDir::setCurrent(program.path());  // as at start-up

    static_cast<QAbstractButton*>(dialog->Control(control::kHelp))->click();
    ASSERT_EQ(desktop.openedDocuments.size(), 1u);
    EXPECT_EQ(desktop.openedDocuments[0], "aboutTARVO.rtf");

    // Choosing a response file in another folder makes that folder current.
    picker.openAnswers = {Path(data) + "/responses.dat"};
    dialog->Commands().MainDialogProc(control::kBrowseResponseFile, kClicked);
    ASSERT_EQ(QDir::current().canonicalPath(), QDir(data.path()).canonicalPath());

    static_cast<QAbstractButton*>(dialog->Control(control::kHelp))->click();
    ASSERT_EQ(desktop.openedDocuments.size(), 2u);
    EXPECT_EQ(desktop.openedDocuments[1], Path(program) + "/aboutTARVO.rtf");

    // A document of the data folder's own wins again.
    PutHelpDocument(Path(data));
    dialog->Commands().MainDialogProc(control::kHelp, kClicked);
    ASSERT_EQ(desktop.openedDocuments.size(), 3u);
    EXPECT_EQ(desktop.openedDocuments[2], "aboutTARVO.rtf");
}

// Started through a symbolic link in another folder, the program's folder is
// still the real file's: this test runs its own binary that way and reads
// back what ProgramFolder() says there.
TEST(StartUp, ProgramFolderIsTheRealFilesFolderWhenStartedThroughALink) {
    EnsureApplication();
    if (qEnvironmentVariableIsSet(kReportFolder)) {
        std::printf("program folder: %s\n", ProgramFolder().c_str());
        return;
    }
    QTemporaryDir links;
    const QString link = links.path() + QStringLiteral("/linked-tests");
    ASSERT_TRUE(QFile::link(QCoreApplication::applicationFilePath(), link));

    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QString::fromLatin1(kReportFolder), QStringLiteral("1"));
    child.setProcessEnvironment(environment);
    child.start(
        link,
        {QStringLiteral(
            "--gtest_filter=StartUp.ProgramFolderIsTheRealFilesFolderWhenStartedThroughALink")});
    ASSERT_TRUE(child.waitForFinished(60000));
    const QString output = QString::fromLocal8Bit(child.readAllStandardOutput());
    EXPECT_TRUE(output.contains(QStringLiteral("program folder: ") +
                                QCoreApplication::applicationDirPath() + QLatin1Char('\n')))
        << output.toStdString();
}

TEST(ProgramIcon, IsTheInstalledIconsImages) {
    EnsureApplication();
    const QIcon icon = ProgramIcon();
    for (int size : kProgramIconSizes) {
        const QString installed =
            QStringLiteral(TARVO_SOURCE_DIR "/packaging/icons/tarvo-%1.png").arg(size);
        const QImage expected(installed);
        ASSERT_FALSE(expected.isNull()) << installed.toStdString();
        ASSERT_EQ(expected.size(), QSize(size, size)) << size;
        const QImage built = icon.pixmap(QSize(size, size)).toImage();
        // A pixmap holds premultiplied pixels: compare in that form.
        EXPECT_EQ(built.convertToFormat(QImage::Format_ARGB32_Premultiplied),
                  expected.convertToFormat(QImage::Format_ARGB32_Premultiplied))
            << size;
    }
}

}  // namespace
}  // namespace tarvo::shell
