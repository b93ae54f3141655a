// The three Browse selections: picker arguments, the sample presets, the
// response file's folder and the proposed output name.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>

#include "platform/control_ids.h"
#include "shell/main_dialog.h"
#include "shell_test_support.h"

namespace tarvo::shell {
namespace {

using namespace std::string_literals;
namespace id = tarvo::control;

class FileSelectionTest : public ::testing::Test {
  protected:
    void SetUp() override {
        test_support::EnsureApplication();
        ASSERT_TRUE(folder.isValid());
        dialog = std::make_unique<MainDialog>(nullptr, &picker, &desktop);
    }

    void Browse(int button) { dialog->Commands().MainDialogProc(button, kClicked); }
    std::string Text(int box) const { return dialog->Controls().Text(box); }
    std::string Folder() const { return folder.path().toStdString() + "/"; }
    std::string MakeFolder(const std::string& name) const {
        QDir(folder.path()).mkpath(QString::fromStdString(name));
        return Folder() + name + "/";
    }

    test_support::CurrentDirectoryGuard restoreCurrentDirectory;
    QTemporaryDir folder;
    test_support::ScriptedPicker picker;
    test_support::RecordingDesktop desktop;
    std::unique_ptr<MainDialog> dialog;
};

TEST_F(FileSelectionTest, OpenPickersGetTheirTitlesNamesAndFilters) {
    QDir::setCurrent(folder.path());
    Browse(id::kBrowseItemFile);
    Browse(id::kBrowseResponseFile);
    ASSERT_EQ(picker.openRequests.size(), 2u);

    const PickerRequest& item = picker.openRequests[0];
    EXPECT_EQ(item.title, "Item Parameter File");
    EXPECT_EQ(item.name, "*.itm");
    EXPECT_EQ(item.folder, folder.path().toStdString());  // the current directory
    EXPECT_EQ(item.nulFilter,
              "ITM Files (*.itm)\0*.itm\0Text Files (*.txt)\0*.txt\0CSV Files (*.csv)\0*.csv\0"
              "Data Files (*.dat)\0*.dat\0All Files (*.*)\0*.*\0"s);
    EXPECT_EQ(item.filterIndex, 1);
    EXPECT_EQ(item.defaultExtension, ".asc");
    EXPECT_TRUE(item.fileMustExist);

    const PickerRequest& response = picker.openRequests[1];
    EXPECT_EQ(response.title, "Input File");
    EXPECT_EQ(response.name, "*.dat");
    EXPECT_EQ(response.nulFilter.substr(0, 29), "Data Files (*.dat)\0*.dat\0Text"s);
    EXPECT_EQ(response.defaultExtension, ".dat");
    EXPECT_TRUE(response.fileMustExist);
}

TEST_F(FileSelectionTest, PickersStartAtHomeUntilTheUserMovesAwayFromTheProgramsFolder) {
    MakeProgramFolderCurrent();  // as at start-up
    const std::string home = QDir::homePath().toStdString();
    Browse(id::kBrowseItemFile);
    Browse(id::kBrowseOutputFile);
    ASSERT_EQ(picker.openRequests.size(), 1u);
    ASSERT_EQ(picker.saveRequests.size(), 1u);
    EXPECT_EQ(picker.openRequests[0].folder, home);
    EXPECT_EQ(picker.saveRequests[0].folder, home);
    // The program's folder stays current: Help and relative names still start there.
    EXPECT_EQ(QDir::currentPath(), QCoreApplication::applicationDirPath());

    // A response file chosen elsewhere makes its folder current; the pickers follow.
    const std::string data = MakeFolder("data");
    picker.openAnswers = {data + "scores.dat"};
    Browse(id::kBrowseResponseFile);
    Browse(id::kBrowseItemFile);
    ASSERT_EQ(picker.openRequests.size(), 3u);
    EXPECT_EQ(picker.openRequests[1].folder, home);
    EXPECT_EQ(picker.openRequests[2].folder + "/", data);
}

TEST_F(FileSelectionTest, ItemPresetsFollowTheLowerCasedName) {
    picker.openAnswers = {Folder() + "TESTDATA0.ITM"};
    Browse(id::kBrowseItemFile);
    EXPECT_EQ(Text(id::kItemParameterFile), Folder() + "TESTDATA0.ITM");
    const std::pair<int, const char*> presets[] = {
        {id::kAStart, "22"}, {id::kALength, "9"}, {id::kBStart, "32"},     {id::kBLength, "9"},
        {id::kCStart, "42"}, {id::kCLength, "9"}, {id::kItemIdStart, "1"}, {id::kItemIdLength, "8"},
    };
    for (const auto& [box, text] : presets) EXPECT_EQ(Text(box), text) << box;
    EXPECT_EQ(Text(id::kItemCount), "");  // the response presets are untouched
}

TEST_F(FileSelectionTest, OtherItemFilesWriteOnlyTheirName) {
    dialog->Controls().SetText(id::kAStart, "7");
    picker.openAnswers = {Folder() + "items.itm"};
    Browse(id::kBrowseItemFile);
    EXPECT_EQ(Text(id::kItemParameterFile), Folder() + "items.itm");
    EXPECT_EQ(Text(id::kAStart), "7");
}

TEST_F(FileSelectionTest, ChoosingTheSampleResponseFileFillsEverything) {
    const std::string data = MakeFolder("data");
    picker.openAnswers = {data + "testdata.dat"};
    Browse(id::kBrowseResponseFile);

    EXPECT_EQ(Text(id::kResponseFile), data + "testdata.dat");
    const std::pair<int, const char*> presets[] = {
        {id::kExamineeIdStart, "1"}, {id::kExamineeIdLength, "8"}, {id::kThetaStart, "12"},
        {id::kThetaLength, "7"},     {id::kResponseStart, "20"},   {id::kItemCount, "45"},
    };
    for (const auto& [box, text] : presets) EXPECT_EQ(Text(box), text) << box;
    EXPECT_EQ(QDir::currentPath().toStdString() + "/", data);
    EXPECT_EQ(Text(id::kOutputFile), TempFolder() + "testdataout.csv");
}

TEST_F(FileSelectionTest, AFolderNamedLikeTheSampleTriggersThePresets) {
    const std::string odd = MakeFolder("testdata.dat");
    picker.openAnswers = {odd + "responses.txt"};
    Browse(id::kBrowseResponseFile);
    EXPECT_EQ(Text(id::kItemCount), "45");
    EXPECT_EQ(Text(id::kOutputFile), TempFolder() + "responsesout.csv");  // cut at its own "."
}

TEST_F(FileSelectionTest, ABareNameWithoutDotLeavesTheOutputBox) {
    const std::string old = MakeFolder("data.old");
    dialog->Controls().SetText(id::kOutputFile, "kept.csv");
    picker.openAnswers = {old + "resp"};
    Browse(id::kBrowseResponseFile);
    EXPECT_EQ(Text(id::kResponseFile), old + "resp");
    EXPECT_EQ(Text(id::kOutputFile), "kept.csv");
    EXPECT_EQ(QDir::currentPath().toStdString() + "/", old);
}

TEST_F(FileSelectionTest, AFolderThatCannotBeEnteredIsIgnored) {
    QDir::setCurrent(folder.path());
    picker.openAnswers = {"/no/such/folder/scores.dat"};
    Browse(id::kBrowseResponseFile);
    EXPECT_EQ(QDir::currentPath(), folder.path());
    EXPECT_EQ(Text(id::kOutputFile), TempFolder() + "scoresout.csv");
}

TEST_F(FileSelectionTest, CancellingLeavesEveryBoxAsItWas) {
    dialog->Controls().SetText(id::kResponseFile, "r.dat");
    dialog->Controls().SetText(id::kOutputFile, "o.csv");
    QDir::setCurrent(folder.path());
    Browse(id::kBrowseResponseFile);
    Browse(id::kBrowseItemFile);
    Browse(id::kBrowseOutputFile);
    EXPECT_EQ(Text(id::kResponseFile), "r.dat");
    EXPECT_EQ(Text(id::kItemParameterFile), "");
    EXPECT_EQ(Text(id::kOutputFile), "o.csv");
    EXPECT_EQ(QDir::currentPath(), folder.path());
}

TEST_F(FileSelectionTest, OutputPickerStartsFromTheOutputBox) {
    const struct {
        std::string boxText;
        std::string shownName;
        int filterPair;
    } cases[] = {
        {"", "*.csv", 1},
        {"   ", "*.csv", 1},
        {" result.DAT ", " result.DAT ", 2},  // untrimmed; trailing blanks do not hide .DAT
        {"listing.txt", "listing.txt", 3},
        {"result", "result", 5},
        {std::string(300, 'x') + ".csv", std::string(260, 'x'), 1},  // cut after choosing the pair
    };
    for (const auto& c : cases) {
        picker.saveRequests.clear();
        dialog->Controls().SetText(id::kOutputFile, c.boxText);
        Browse(id::kBrowseOutputFile);
        ASSERT_EQ(picker.saveRequests.size(), 1u);
        const PickerRequest& request = picker.saveRequests[0];
        EXPECT_EQ(request.name, c.shownName) << c.boxText;
        EXPECT_EQ(request.filterIndex, c.filterPair) << c.boxText;
        EXPECT_EQ(request.title, "Output File");
        EXPECT_EQ(request.defaultExtension, "txt");  // without its dot
        EXPECT_FALSE(request.fileMustExist);
        EXPECT_EQ(Text(id::kOutputFile), c.boxText);  // cancelled: unchanged
    }
}

TEST_F(FileSelectionTest, ChosenOutputNameReplacesTheBox) {
    picker.saveAnswers = {Folder() + "my result.csv"};
    Browse(id::kBrowseOutputFile);
    EXPECT_EQ(Text(id::kOutputFile), Folder() + "my result.csv");
}

TEST(PickerArguments, OpenNamesAreCutAt16384AndSaveNamesAt260) {
    PickerArguments arguments = ResponsePicker();
    arguments.name = std::string(20000, 'n');
    EXPECT_EQ(OpenRequest(arguments).name.size(), 16384u);
    arguments.name = std::string(16000, 'n');
    EXPECT_EQ(OpenRequest(arguments).name.size(), 16000u);

    PickerArguments save = OutputPicker("x");
    save.name = std::string(261, 's');
    EXPECT_EQ(SaveRequest(save).name.size(), 260u);
    save.name.clear();  // "." + default extension chooses the pair: Text Files
    EXPECT_EQ(SaveRequest(save).filterIndex, 3);
    save.defaultExtension = "..asc";
    EXPECT_EQ(SaveRequest(save).defaultExtension, "asc");
    EXPECT_EQ(SaveRequest(save).filterIndex, 4);
}

TEST(TempFolder, EndsWithASlash) {
    test_support::EnsureApplication();
    const std::string temp = TempFolder();
    ASSERT_FALSE(temp.empty());
    EXPECT_EQ(temp.back(), '/');
    EXPECT_EQ(temp, QDir::tempPath().toStdString() + (QDir::tempPath() == "/" ? "" : "/"));
}

TEST(ProposedOutputName, CutsAtTheLastDot) {
    EXPECT_EQ(ProposedOutputName("a.b.dat", "/t/"), "/t/a.bout.csv");
    EXPECT_EQ(ProposedOutputName(".dat", "/t/"), "/t/out.csv");
    EXPECT_EQ(ProposedOutputName("resp", "/t/"), std::nullopt);
}

}  // namespace
}  // namespace tarvo::shell
