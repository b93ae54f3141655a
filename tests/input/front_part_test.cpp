#include "input/front_part.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <string>

#include "input/text/settings_reader.h"
#include "input/text/text_rules.h"
#include "platform/control_ids.h"
#include "support/scripted_host.h"
#include "support/temp_dir.h"

// The program is linked with every read() going through __wrap_read, so that
// a test can make the reads of one file fail part way, as a failing disk
// would: after the reads it lets through, each read of that file gives EIO.
namespace {
std::atomic<ino_t> failingInode{0};
std::atomic<int> readsLetThrough{0};
}  // namespace

extern "C" ssize_t __real_read(int descriptor, void* bytes, size_t count);
extern "C" ssize_t __wrap_read(int descriptor, void* bytes, size_t count) {
    struct stat info {};
    if (failingInode != 0 && ::fstat(descriptor, &info) == 0 && info.st_ino == failingInode &&
        readsLetThrough-- <= 0) {
        errno = EIO;
        return -1;
    }
    return __real_read(descriptor, bytes, count);
}

namespace tarvo {
namespace {

using test_support::ScriptedHost;
using test_support::TempDir;
namespace id = control;

// The host's control texts as the dialog's controls.
class BoxTexts final : public ControlTexts {
  public:
    explicit BoxTexts(const ScriptedHost& host) : host_(host) {}
    std::string ControlText(int controlId) const override {
        const auto found = host_.texts.find(controlId);
        return found == host_.texts.end() ? std::string() : found->second;
    }

  private:
    const ScriptedHost& host_;
};

RunSettings SettingsOf(const ScriptedHost& host) { return ReadRunSettings(BoxTexts(host)); }

// The front part of a run whose request the host's texts give.
std::optional<RunInputs> ReadInputs(ScriptedHost& host) {
    RunRequest request;
    request.settings = SettingsOf(host);
    return ReadRunInputs(request, host);
}

TEST(RunSettingsReader, EachFieldComesFromItsOwnControl) {
    ScriptedHost host;
    host.texts = {
        {id::kItemCount, "45"},
        {id::kItemParameterFile, "  items.txt "},
        {id::kAStart, "22"},
        {id::kALength, "9"},
        {id::kBStart, "32"},
        {id::kBLength, "8"},
        {id::kCStart, "42"},
        {id::kCLength, "7"},
        {id::kItemIdStart, "1"},
        {id::kItemIdLength, "6"},
        {id::kResponseFile, " resp.dat "},
        {id::kExamineeIdStart, "2"},
        {id::kExamineeIdLength, "5"},
        {id::kThetaStart, "12"},
        {id::kThetaLength, "3"},
        {id::kResponseStart, "20"},
    };
    const RunSettings s = SettingsOf(host);
    EXPECT_EQ(s.itemCount, 45);
    EXPECT_EQ(s.itemParameterFile, "items.txt");
    EXPECT_EQ(s.responseFile, " resp.dat ");
    EXPECT_EQ(s.responseStart, 20);
    auto expectField = [](FieldSpec field, int start, int length, const char* name) {
        EXPECT_EQ(field.start, start) << name;
        EXPECT_EQ(field.length, length) << name;
    };
    expectField(s.aField, 22, 9, "a");
    expectField(s.bField, 32, 8, "b");
    expectField(s.cField, 42, 7, "c");
    expectField(s.itemIdField, 1, 6, "Item ID");
    expectField(s.examineeIdField, 2, 5, "Examinee ID");
    expectField(s.thetaField, 12, 3, "theta");
}

TEST(RunSettingsReader, PastedNumbersFollowTheNumberBoxRule) {
    ScriptedHost host;
    host.texts = {{id::kItemCount, "3.5"},
                  {id::kResponseStart, "-1"},
                  {id::kThetaStart, "2.5"},
                  {id::kThetaLength, "12abc"},
                  {id::kAStart, "9"}};
    const RunSettings s = SettingsOf(host);
    EXPECT_EQ(s.itemCount, 4);
    EXPECT_EQ(s.responseStart, 65535);
    EXPECT_EQ(s.thetaField.start, 2);
    EXPECT_EQ(s.thetaField.length, 12);
    EXPECT_EQ(s.examineeIdField.start, 0);  // empty box
    EXPECT_EQ(s.aField.start, 0);           // no item file: its fields are not read
}

class FrontPart : public ::testing::Test {
  protected:
    void SetUp() override {
        itemFile = dir.Write("items.txt", "I1       1.5\r\nI2       0.5\r\n");
        responseFile = dir.Write("resp.dat", "P1 1.0 10\r\n\r\nP2 2.0 01\r\n");
        host.texts = {
            {id::kItemCount, "2"},
            {id::kItemParameterFile, "   " + itemFile + "  "},
            {id::kItemIdStart, "1"},
            {id::kItemIdLength, "2"},
            {id::kAStart, "10"},
            {id::kALength, "3"},
            {id::kResponseFile, responseFile},
            {id::kExamineeIdStart, "1"},
            {id::kExamineeIdLength, "2"},
            {id::kThetaStart, "4"},
            {id::kThetaLength, "3"},
            {id::kResponseStart, "8"},
        };
    }

    TempDir dir;
    std::string itemFile, responseFile;
    ScriptedHost host;
};

TEST_F(FrontPart, ReadsBothFilesWithTheItemFileNameTrimmed) {
    const auto inputs = ReadInputs(host);
    ASSERT_TRUE(inputs.has_value());
    EXPECT_TRUE(host.messages.empty());
    EXPECT_EQ(inputs->settings.itemParameterFile, itemFile);
    EXPECT_EQ(inputs->items.AccNo, (std::vector<std::string>{"I1", "I2"}));
    EXPECT_EQ(inputs->items.a, (std::vector<double>{1.5, 0.5}));
    EXPECT_EQ(inputs->items.Nobs.size(), 2u);

    const PersonTable& persons = inputs->persons;
    EXPECT_EQ(persons.ExaminID, (std::vector<std::string>{"P1", "P2"}));
    EXPECT_EQ(persons.theta, (std::vector<double>{1.0, 2.0}));
    EXPECT_EQ(persons.responses, (std::vector<std::uint8_t>{1, 0, 0, 1}));
    EXPECT_EQ(persons.seetheta.size(), 2u);
    EXPECT_EQ(persons.Nvalid.size(), 2u);
}

TEST_F(FrontPart, MissingItemFileIsReportedAndTheRunGoesOn) {
    const std::string missing = (dir.path() / "none.txt").string();
    host.texts[id::kItemParameterFile] = " " + missing + " ";
    const auto inputs = ReadInputs(host);
    ASSERT_TRUE(inputs.has_value());
    EXPECT_EQ(host.messages,
              std::vector<std::string>{"ERROR: Param file " + missing + " does not exists."});
    EXPECT_EQ(inputs->settings.itemParameterFile, "");
    EXPECT_EQ(inputs->items.AccNo, (std::vector<std::string>{"", ""}));
    EXPECT_EQ(inputs->items.a, (std::vector<double>{0.0, 0.0}));
    EXPECT_EQ(inputs->persons.personCount(), 2u);
}

TEST_F(FrontPart, EmptyItemFileNameIsNoError) {
    host.texts[id::kItemParameterFile] = "    ";
    const auto inputs = ReadInputs(host);
    ASSERT_TRUE(inputs.has_value());
    EXPECT_TRUE(host.messages.empty());
    EXPECT_EQ(inputs->items.itemCount(), 2u);
    EXPECT_EQ(inputs->persons.personCount(), 2u);
}

TEST_F(FrontPart, ResponseFileNameIsTakenExactlyAsTyped) {
    const std::string typed = " " + responseFile + " ";
    host.texts[id::kResponseFile] = typed;
    EXPECT_FALSE(ReadInputs(host).has_value());
    EXPECT_EQ(host.messages,
              std::vector<std::string>{"ERROR Response file " + typed + " does not exists."});
}

TEST_F(FrontPart, BothFilesMissingGiveBothMessagesInOrder) {
    host.texts[id::kItemParameterFile] = "none.txt";
    host.texts[id::kResponseFile] = "";
    EXPECT_FALSE(ReadInputs(host).has_value());
    EXPECT_EQ(host.messages, (std::vector<std::string>{
                                 "ERROR: Param file none.txt does not exists.",
                                 "ERROR Response file  does not exists.",
                             }));
}

// A file that exists but cannot be read fails like a missing one: the run
// goes on without item parameters, and ends without responses.
TEST_F(FrontPart, InputThatCannotBeReadIsReported) {
    const std::string folder = dir.path().string();
    host.texts[id::kItemParameterFile] = folder;
    auto inputs = ReadInputs(host);
    ASSERT_TRUE(inputs.has_value());
    EXPECT_EQ(host.messages,
              std::vector<std::string>{"ERROR: Param file " + folder + " cannot be read."});
    EXPECT_EQ(inputs->settings.itemParameterFile, "");
    EXPECT_EQ(inputs->items.AccNo, (std::vector<std::string>{"", ""}));
    EXPECT_EQ(inputs->persons.personCount(), 2u);

    host.messages.clear();
    host.texts[id::kItemParameterFile] = itemFile;
    host.texts[id::kResponseFile] = folder;
    EXPECT_FALSE(ReadInputs(host).has_value());
    EXPECT_EQ(host.messages,
              std::vector<std::string>{"ERROR Response file " + folder + " cannot be read."});
}

// Both lines of the item file are read before the next read fails (the last
// line has no end, so the reader asks for more): the run goes on as without
// the file, and none of its items, lines or texts stay behind for the
// estimation or the held items' check.
TEST_F(FrontPart, ItemFileFailingPartWayLeavesNoneOfItsItems) {
    dir.Write("items.txt", "I1       1.5\r\nI2       0.5");
    struct stat info {};
    ASSERT_EQ(::stat(itemFile.c_str(), &info), 0);
    readsLetThrough = 1;
    failingInode = info.st_ino;
    const auto inputs = ReadInputs(host);
    failingInode = 0;
    ASSERT_TRUE(inputs.has_value());
    EXPECT_EQ(host.messages,
              std::vector<std::string>{"ERROR: Param file " + itemFile + " cannot be read."});
    EXPECT_EQ(inputs->settings.itemParameterFile, "");
    EXPECT_EQ(inputs->items.AccNo, (std::vector<std::string>{"", ""}));
    EXPECT_EQ(inputs->items.a, (std::vector<double>{0.0, 0.0}));
    EXPECT_EQ(inputs->itemLinesGiven, (std::vector<char>{0, 0}));
    for (const auto& texts : inputs->itemFieldTexts) EXPECT_EQ(texts[0], "");
    EXPECT_EQ(inputs->persons.personCount(), 2u);
}

TEST_F(FrontPart, InputHeldForWritingByAnotherRunIsNotRead) {
    const struct {
        int control;
        std::string message;
        bool runGoesOn;
    } cases[] = {
        {id::kItemParameterFile, "ERROR: Param file " + itemFile, true},
        {id::kResponseFile, "ERROR Response file " + responseFile, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        host.messages.clear();
        const std::string path = TrimSpaces(host.texts[c.control]);
        const int writer = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
        ASSERT_EQ(::flock(writer, LOCK_EX | LOCK_NB), 0);
        const auto inputs = ReadInputs(host);
        ::close(writer);
        EXPECT_EQ(inputs.has_value(), c.runGoesOn);
        EXPECT_EQ(host.messages,
                  std::vector<std::string>{c.message + " cannot be read. (in use by another run)"});
    }
}

TEST(CheckRequestInputs, GivesTheFindingsOrTheMessageOfTheRunsFrontPart) {
    TempDir dir;
    ScriptedHost host;
    host.texts = {{id::kResponseFile, dir.Write("r.dat", "P1  ABCA\r\nP1  ABCD\r\n")},
                  {id::kItemCount, "4"},
                  {id::kResponseStart, "5"},
                  {id::kExamineeIdStart, "1"},
                  {id::kExamineeIdLength, "2"}};
    RunRequest request;
    request.boxTexts = host.texts;
    request.settings = SettingsOf(host);
    InputCheckPreview preview = CheckRequestInputs(request);
    EXPECT_EQ(preview.messages, std::vector<std::string>{});
    std::vector<std::string> codes;
    for (const InputFinding& finding : preview.findings) codes.push_back(finding.code);
    EXPECT_EQ(codes, (std::vector<std::string>{"letters-without-key", "duplicate-ids"}));

    request.settings.responseFile = dir.File("none.dat");
    preview = CheckRequestInputs(request);
    EXPECT_EQ(preview.findings.size(), 0u);
    ASSERT_EQ(preview.messages.size(), 1u);
    EXPECT_NE(preview.messages[0].find("none.dat does not exists"), std::string::npos);
}

// The front part reads the groups, names a label the file lacks before any
// estimation, and reports the group field's findings with the others.
TEST(CheckRequestInputs, GroupsAreReadCheckedAndTheirFindingsGiven) {
    TempDir dir;
    ScriptedHost host;
    host.texts = {
        {id::kResponseFile, dir.Write("r.dat", "P1 F 1010\r\nP2 M 0101\r\nP3   1100\r\n")},
        {id::kItemCount, "4"},
        {id::kResponseStart, "6"},
        {id::kExamineeIdStart, "1"},
        {id::kExamineeIdLength, "2"}};
    RunRequest request;
    request.boxTexts = host.texts;
    request.settings = SettingsOf(host);
    request.groups.start = 4;
    request.groups.length = 1;
    std::optional<RunInputs> inputs = ReadRunInputs(request, host);
    ASSERT_TRUE(inputs);
    EXPECT_EQ(inputs->persons.group, (std::vector<std::int32_t>{0, 1, PersonTable::kNoGroup}));
    std::vector<std::string> codes;
    for (const InputFinding& finding : inputs->findings) codes.push_back(finding.code);
    EXPECT_EQ(codes, std::vector<std::string>{"small-group"});
    EXPECT_NE(inputs->findings[0].message.find("'F' (1), 'M' (1)"), std::string::npos);

    request.groups.reference = "X";
    const InputCheckPreview preview = CheckRequestInputs(request);
    ASSERT_EQ(preview.messages.size(), 1u);
    EXPECT_EQ(preview.messages[0],
              "ERROR Response file " + request.settings.responseFile +
                  ": the reference group (--reference-group) 'X' is no group of the file, whose "
                  "groups are 'F', 'M': name one of them.");
}

}  // namespace
}  // namespace tarvo
