// The Result file tab: the file's first whole lines read off the window's
// thread, a note for what is left out, and a FIFO or a device in the file's
// place refused at once instead of hanging or exhausting memory.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <string>

#include "report/run_report.h"
#include "shell/results/file_head.h"
#include "shell/results/result_table_model.h"
#include "shell/results/results_window.h"
#include "shell_test_support.h"

namespace tarvo::shell {
namespace {

using results::FileHead;
using results::ReadFileHead;

class FileHeadTest : public ::testing::Test {
  protected:
    std::string Path(const char* name) const { return folder.filePath(name).toStdString(); }
    QTemporaryDir folder;
};

TEST_F(FileHeadTest, ASmallFileIsReadWholeAndALargeOneCutAfterAWholeLine) {
    const std::string path = Path("result.csv");
    test_support::WriteFileBytes(path, "line one\r\nline two\r\nline three\r\n");
    FileHead head = ReadFileHead(path, 1000);
    EXPECT_TRUE(head.error.empty());
    EXPECT_TRUE(head.whole);
    EXPECT_EQ(head.size, 32u);
    EXPECT_EQ(head.text, "line one\r\nline two\r\nline three\r\n");

    head = ReadFileHead(path, 25);
    EXPECT_FALSE(head.whole);
    EXPECT_EQ(head.size, 32u);
    EXPECT_EQ(head.text, "line one\r\nline two\r\n");

    head = ReadFileHead(path, 32);  // exactly the file
    EXPECT_TRUE(head.whole);
    EXPECT_EQ(head.text.size(), 32u);

    test_support::WriteFileBytes(path, "");
    head = ReadFileHead(path, 10);
    EXPECT_TRUE(head.whole);
    EXPECT_TRUE(head.text.empty());
    EXPECT_TRUE(head.error.empty());
}

TEST_F(FileHeadTest, WhatIsNotARegularFileIsRefusedWithoutWaiting) {
    const std::string fifo = Path("fifo.csv");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string zero = Path("zero.csv");
    ASSERT_EQ(::symlink("/dev/zero", zero.c_str()), 0);
    const struct {
        std::string path;
        const char* reason;
    } cases[] = {
        {fifo, "it is a FIFO, not a regular file"},
        {zero, "it is a device, not a regular file"},
        {folder.path().toStdString(), "it is a folder, not a regular file"},
        {Path("missing.csv"), "it cannot be opened (No such file or directory)"},
    };
    for (const auto& c : cases) {
        QElapsedTimer timer;
        timer.start();
        const FileHead head = ReadFileHead(c.path, 1 << 20);
        EXPECT_LT(timer.elapsed(), 2000) << c.path;
        EXPECT_EQ(head.error, c.reason) << c.path;
        EXPECT_TRUE(head.text.empty()) << c.path;
    }
}

class ResultFileTabTest : public ::testing::Test {
  protected:
    void SetUp() override {
        test_support::EnsureApplication();
        report.mode = 3;
    }

    std::string Path(const char* name) const { return folder.filePath(name).toStdString(); }

    // The window on a file, its file tab shown and its text arrived.
    std::unique_ptr<ResultsWindow> OpenShown(const std::string& path) {
        auto window =
            std::make_unique<ResultsWindow>(QString::fromStdString(path), report, desktop);
        window->FileText();
        EXPECT_TRUE(test_support::WaitUntil([&] { return window->FileTextShown(); }, 10000));
        return window;
    }

    QTemporaryDir folder;
    test_support::RecordingDesktop desktop;
    RunReport report;
};

TEST_F(ResultFileTabTest, AFifoOrALinkToADeviceInTheResultsPlaceIsNamedNotRead) {
    const std::string fifo = Path("fifo.csv");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string zero = Path("zero.csv");
    ASSERT_EQ(::symlink("/dev/zero", zero.c_str()), 0);
    for (const auto& [path, kind] :
         std::vector<std::pair<std::string, QString>>{{fifo, "a FIFO"}, {zero, "a device"}}) {
        const auto window = OpenShown(path);
        EXPECT_TRUE(window->FileText()->toPlainText().isEmpty());
        EXPECT_FALSE(window->FileNote()->isHidden());
        EXPECT_NE(window->FileNote()->text().indexOf(kind), -1)
            << window->FileNote()->text().toStdString();
    }
}

TEST_F(ResultFileTabTest, ALongFileShowsItsFirstWholeLinesAndSaysTheRestIsOutside) {
    const std::string path = Path("long.csv");
    std::string text;
    const std::string line(78, 'x');
    while (text.size() < ResultsWindow::kShownFileBytes + 100000) text += line + "\r\n";
    test_support::WriteFileBytes(path, text);

    const auto window = OpenShown(path);
    // As many whole lines as the shown bytes hold, each CR LF a line break.
    const QString shown = window->FileText()->toPlainText();
    const std::size_t lines = ResultsWindow::kShownFileBytes / (line.size() + 2);
    EXPECT_EQ(static_cast<std::size_t>(shown.size()), lines * (line.size() + 1));
    EXPECT_TRUE(shown.endsWith(QString::fromStdString(line + "\n")));
    EXPECT_EQ(shown.count(QLatin1Char('\r')), 0);
    EXPECT_FALSE(window->FileNote()->isHidden());
    EXPECT_NE(window->FileNote()->text().indexOf(QStringLiteral("Open with default application")),
              -1);
    EXPECT_NE(window->FileNote()->text().indexOf(QStringLiteral("2.2 MB")), -1)
        << window->FileNote()->text().toStdString();

    // The whole file is the default application's.
    for (QPushButton* button : window->findChildren<QPushButton*>()) {
        if (button->text() == QStringLiteral("Open with default application")) button->click();
    }
    ASSERT_EQ(desktop.openedDocuments.size(), 1u);
    EXPECT_EQ(test_support::ReadFileBytes(desktop.openedDocuments[0]).size(), text.size());
}

// The tables are the run's, not the file's: a result replaced after the run
// by a FIFO (which would wait for a writer) or by a link to /dev/zero (which
// never ends) neither holds up the window nor changes what its tables show.
TEST_F(ResultFileTabTest, TheTablesAreTheRunsWhateverBecameOfTheFile) {
    for (int i = 0; i < 2; ++i) {
        ItemReport item;
        item.seqItem = i + 1;
        item.accNo = "Q" + std::to_string(i + 1);
        item.a = 1.25;
        item.nobs = 40;
        report.itemRows.push_back(item);
    }
    PersonReport person;
    person.examinId = "A001";
    person.theta = -0.5;
    report.personRows.push_back(person);

    const std::string fifo = Path("fifo.csv");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string zero = Path("zero.csv");
    ASSERT_EQ(::symlink("/dev/zero", zero.c_str()), 0);
    for (const std::string& path : {fifo, zero}) {
        SCOPED_TRACE(path);
        QElapsedTimer timer;
        timer.start();
        const ResultsWindow window(QString::fromStdString(path), report, desktop);
        EXPECT_LT(timer.elapsed(), 5000);
        ASSERT_NE(window.ItemModel(), nullptr);
        ASSERT_EQ(window.ItemModel()->rowCount(), 2);
        EXPECT_EQ(
            window.ItemModel()->data(window.ItemModel()->index(1, 1), Qt::DisplayRole).toString(),
            QStringLiteral("Q2"));
        const int a = static_cast<int>(window.Data().itemTable.Column("a_calib"));
        EXPECT_EQ(
            window.ItemModel()->data(window.ItemModel()->index(0, a), Qt::DisplayRole).toString(),
            QStringLiteral("1.250"));
        ASSERT_NE(window.PersonModel(), nullptr);
        EXPECT_EQ(window.PersonModel()->rowCount(), 1);
    }
}

}  // namespace
}  // namespace tarvo::shell
