// The input check over small files read by the run's own front part: each
// finding from a file that has its fault, and none from sound files.
#include "input/check/input_check.h"

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <string>
#include <vector>

#include "input/front_part.h"
#include "input/text/settings_reader.h"
#include "platform/control_ids.h"
#include "platform/control_texts.h"
#include "support/scripted_host.h"
#include "support/temp_dir.h"

namespace tarvo {
namespace {

namespace id = control;
using test_support::ScriptedHost;
using test_support::TempDir;

// ID in columns 1-4, theta in 6-10, four responses from column 12.
std::map<int, std::string> Layout(const std::string& file) {
    return {{id::kResponseFile, file},   {id::kItemCount, "4"},        {id::kResponseStart, "12"},
            {id::kExamineeIdStart, "1"}, {id::kExamineeIdLength, "4"}, {id::kThetaStart, "6"},
            {id::kThetaLength, "5"}};
}

// The host's texts as the dialog's boxes.
class BoxesOf final : public ControlTexts {
  public:
    explicit BoxesOf(const ScriptedHost& host) : host_(host) {}
    std::string ControlText(int controlId) const override {
        const auto found = host_.texts.find(controlId);
        return found == host_.texts.end() ? std::string() : found->second;
    }

  private:
    const ScriptedHost& host_;
};

struct Checked {
    std::vector<InputFinding> findings;
    std::vector<std::string> warnings;
    std::vector<std::string> codes() const {
        std::vector<std::string> list;
        for (const InputFinding& f : findings) list.push_back(f.code);
        return list;
    }
    const InputFinding* Find(const std::string& code) const {
        for (const InputFinding& f : findings) {
            if (f.code == code) return &f;
        }
        return nullptr;
    }
};

Checked Check(const std::string& bytes, std::map<int, std::string> changes = {},
              const char* name = "resp.dat", int mode = 2, Method method = Method::Classic) {
    TempDir dir;
    ScriptedHost host;
    host.texts = Layout(dir.Write(name, bytes));
    // In a delimited file the boxes would name cells.
    if (changes.count(id::kResponseFormat) != 0)
        host.texts = {{id::kResponseFile, host.texts[id::kResponseFile]}};
    for (auto& [control, text] : changes) {
        if (text == "@key") text = dir.Write("key.txt", "ABCD\r\n");
        host.texts[control] = text;
    }
    RunRequest request;
    request.mode = mode;
    request.method = method;
    request.boxTexts = host.texts;
    request.settings = ReadRunSettings(BoxesOf(host));
    const auto inputs = ReadRunInputs(request, host);
    EXPECT_TRUE(inputs.has_value());
    EXPECT_TRUE(host.messages.empty()) << host.messages.front();
    if (!inputs) return {};
    EXPECT_EQ(host.warnings.size(), inputs->findings.size());
    return {inputs->findings, host.warnings};
}

const std::string kSound =
    "KEY        ABCD\r\n"
    "P1    0.5  ABCA\r\n"
    "P2   -1.0  AB D\r\n"
    "P3    1.25 DCBA\r\n";

TEST(InputCheck, SoundFilesHaveNoFinding) {
    EXPECT_EQ(Check(kSound).codes(), std::vector<std::string>{});
    EXPECT_EQ(Check("P1    0.5  1010\r\nP2    0.1  0 11\r\n").codes(), std::vector<std::string>{});
    EXPECT_EQ(Check("id,th,a,b,c,d\r\nKEY,,A,B,C,D\r\nP1,0.5,A,B,C,A\r\nP2,0.2,A,,NA,D\r\n",
                    {{id::kResponseFormat, "csv"}, {id::kIdColumn, "id"}, {id::kThetaColumn, "th"}},
                    "resp.csv")
                  .codes(),
              std::vector<std::string>{});
}

TEST(InputCheck, AKeyReadAsAnExamineeNamesTheMissingIdField) {
    const Checked c = Check(kSound, {{id::kExamineeIdLength, ""}});
    ASSERT_NE(c.Find("key-read-as-examinee"), nullptr);
    EXPECT_NE(c.warnings.front().find("no Examinee ID field is set, so the key was scored as an "
                                      "examinee"),
              std::string::npos);
    // Its letters are then scored against '1': the second finding says so.
    EXPECT_NE(c.Find("letters-without-key"), nullptr);
    EXPECT_EQ(c.Find("foreign-characters"), nullptr);  // the letters are reported once

    // An ID field that misses the KEY text.
    EXPECT_NE(Check(" " + kSound, {{id::kResponseStart, "13"}}).Find("key-read-as-examinee"),
              nullptr);
}

TEST(InputCheck, FieldsThatOverlapAndRecordsThatEndEarly) {
    Checked c = Check(kSound, {{id::kResponseStart, "3"}});
    EXPECT_NE(c.Find("fields-overlap"), nullptr);

    c = Check("P1    0.5  ABCA\r\nP2    0.5  AB\r\nP3    0.1  A\r\nP4    0.1  AC\r\n");
    const InputFinding* shortRecords = c.Find("short-records");
    ASSERT_NE(shortRecords, nullptr);
    EXPECT_EQ(shortRecords->count, 3u);
    EXPECT_NE(shortRecords->message.find("items 3, 4 are missing for most examinees"),
              std::string::npos)
        << shortRecords->message;

    c = Check(kSound, {{id::kItemCount, "9"}});
    const InputFinding* beyond = c.Find("item-count-beyond-records");
    ASSERT_NE(beyond, nullptr);
    EXPECT_NE(beyond->message.find("items 5-9 are missing for every examinee"), std::string::npos);
    EXPECT_EQ(c.Find("short-records"), nullptr);
}

TEST(InputCheck, ForeignCharactersSayWhatTheFileLooksLike) {
    // A comma-separated 0/1 matrix with a header, read as fixed columns.
    const std::string csv = "id,i1,i2,i3\r\nP1,1,0,1\r\nP2,0,0,1\r\n";
    Checked c = Check(
        csv, {{id::kResponseStart, "3"}, {id::kExamineeIdLength, "2"}, {id::kThetaLength, ""}});
    ASSERT_NE(c.Find("foreign-characters"), nullptr);
    EXPECT_NE(c.Find("foreign-characters")
                  ->message.find("the file looks comma-separated: use "
                                 "--format csv"),
              std::string::npos);

    std::string tsv = csv;
    for (char& ch : tsv) ch = ch == ',' ? '\t' : ch;
    c = Check(tsv,
              {{id::kResponseStart, "3"}, {id::kExamineeIdLength, "2"}, {id::kThetaLength, ""}});
    ASSERT_NE(c.Find("foreign-characters"), nullptr);
    EXPECT_NE(c.Find("foreign-characters")->message.find("use --format tsv"), std::string::npos);

    // Lower-case letters against an upper-case key.
    c = Check("KEY        ABCD\r\nP1    0.5  abca\r\nP2    0.5  ABCD\r\n");
    EXPECT_NE(c.Find("foreign-characters")->message.find("lower-case"), std::string::npos);
}

// A file split by semicolons (what spreadsheets save in many locales), bars
// or commas, read in fixed columns: the check names the delimiter whatever it
// is, and the options that read the file; the finding is serious.
TEST(InputCheck, ADelimitedFileReadInFixedColumnsIsSeriousWhateverItsDelimiter) {
    const std::map<char, std::string> options = {
        {';', "--format csv --delimiter ';'"},
        {'|', "--format csv --delimiter '|'"},
        {',', "--format csv (the dialog: Format \"CSV with header\")"},
        {'\t', "--format tsv"}};
    for (const auto& [delimiter, fix] : options) {
        std::string file = "id;i1;i2;i3;i4\r\nP1;1;0;1;1\r\nP2;0;0;1;0\r\nP3;1;1;1;0\r\n";
        for (char& ch : file) ch = ch == ';' ? delimiter : ch;
        // As Detect proposed before it knew semicolons: one item.
        const Checked c = Check(file, {{id::kResponseStart, "4"},
                                       {id::kItemCount, "1"},
                                       {id::kExamineeIdLength, "2"},
                                       {id::kThetaLength, ""}});
        const InputFinding* found = c.Find("delimiter-in-fixed-columns");
        ASSERT_NE(found, nullptr) << delimiter;
        EXPECT_TRUE(found->serious);
        EXPECT_EQ(found->count, 4u);
        EXPECT_NE(found->message.find("every record holds"), std::string::npos) << found->message;
        EXPECT_NE(found->message.find(fix), std::string::npos) << found->message;
    }
    // A name field "Last,First" holds one comma on every line: no delimiter
    // (only the comma the result file keeps in the ID is named).
    EXPECT_EQ(Check("D,J  0.5   1010\r\nR,A  0.1   0 11\r\n").codes(),
              std::vector<std::string>{"id-separators"});
    // Commas in one record's ID only (a name "D,J,"): the other records hold
    // none, so the file is not split by commas.
    EXPECT_EQ(Check("D,J, 0.5   1010\r\nRAB  0.1   0011\r\nXYZ  0.2   1100\r\nQRS  0.3   0101\r\n")
                  .Find("delimiter-in-fixed-columns"),
              nullptr);
    // Semicolons in the response field are named with the delimiter's options.
    const Checked c = Check("P1    0.5  1;0;\r\nP2    0.5  0;1;\r\n");
    ASSERT_NE(c.Find("foreign-characters"), nullptr);
    EXPECT_NE(c.Find("foreign-characters")->message.find("use --format csv --delimiter ';'"),
              std::string::npos);
}

TEST(InputCheck, AHeaderReadAsAnExamineeIsSerious) {
    const Checked c = Check(
        "ID   THETA QQQQ\r\n"
        "P1    0.5  1010\r\n"
        "P2    0.1  0011\r\n"
        "P3   -0.2  1110\r\n");
    const InputFinding* header = c.Find("header-read-as-examinee");
    ASSERT_NE(header, nullptr);
    EXPECT_TRUE(header->serious);
    EXPECT_NE(header->message.find("the first record (line 1, 'ID   THETA QQQQ') is read as "
                                   "examinee 1, but 4 of its 4 responses"),
              std::string::npos)
        << header->message;
    // Responses foreign on every record are another finding's.
    EXPECT_EQ(Check("P1    0.5  ABCA\r\nP2    0.5  ABCD\r\n").Find("header-read-as-examinee"),
              nullptr);
    // Half of the first record's responses foreign is not enough.
    EXPECT_EQ(Check("P1    0.5  1Q0Q\r\nP2    0.5  1010\r\n").Find("header-read-as-examinee"),
              nullptr);
}

// A rating scale run as right/wrong items without a key: every response but
// 1 is scored wrong. The check names the scores' range and the way out.
TEST(InputCheck, ScoresOfARatingScaleWithoutAKeyOrAModel) {
    const std::string ratings =
        "P1    0.5  0523\r\n"
        "P2    0.1  4105\r\n"
        "P3   -0.2  3210\r\n";
    const Checked c = Check(ratings);
    const InputFinding* scores = c.Find("scores-read-as-right-wrong");
    ASSERT_NE(scores, nullptr);
    EXPECT_TRUE(scores->serious);
    EXPECT_EQ(scores->count, 7u);  // the responses of 2 and above
    EXPECT_EQ(scores->message.find("items hold scores 0 to 5"), 0u) << scores->message;
    EXPECT_NE(scores->message.find("choose a model for items scored in more than two categories"),
              std::string::npos);
    EXPECT_NE(Check("P1    0.5  1223\r\nP2    0.1  3211\r\n")
                  .Find("scores-read-as-right-wrong")
                  ->message.find("items hold scores 1 to 3"),
              std::string::npos);
    // A typed key says how the digits score.
    EXPECT_EQ(Check(ratings, {{id::kAnswerKey, "5555"}}).Find("scores-read-as-right-wrong"),
              nullptr);
    // Items scored by their digit are what the scores are for.
    TempDir dir;
    ScriptedHost host;
    host.texts = Layout(dir.Write("resp.dat", ratings));
    RunRequest request;
    request.method = Method::Marginal;
    request.marginal.polytomous = PolytomousModel::Grm;
    request.boxTexts = host.texts;
    request.settings = ReadRunSettings(BoxesOf(host));
    const auto inputs = ReadRunInputs(request, host);
    ASSERT_TRUE(inputs);
    for (const InputFinding& finding : inputs->findings)
        EXPECT_NE(finding.code, "scores-read-as-right-wrong");
}

// Behaviour at the edges: a field that begins at the response field's last
// column overlaps it, and items past the end of exactly half the records
// are not missing for "most" examinees.
TEST(InputCheck, EdgesOfTheOverlapAndOfMost) {
    for (const char* start : {"12", "15"}) {
        const Checked c = Check(kSound, {{id::kThetaStart, start}, {id::kThetaLength, "1"}});
        ASSERT_NE(c.Find("fields-overlap"), nullptr) << start;
        EXPECT_TRUE(c.Find("fields-overlap")->serious);
    }
    EXPECT_EQ(
        Check(kSound, {{id::kThetaStart, "16"}, {id::kThetaLength, "1"}}).Find("fields-overlap"),
        nullptr);
    const Checked half =
        Check("P1    0.5  ABCA\r\nP2    0.5  ABCA\r\nP3    0.1  AB\r\nP4    0.1  AB\r\n");
    ASSERT_NE(half.Find("short-records"), nullptr);
    EXPECT_EQ(half.Find("short-records")->message.find("most"), std::string::npos)
        << half.Find("short-records")->message;
    EXPECT_FALSE(half.Find("short-records")->serious);
}

// Read with its delimiter, the same file has nothing to warn about.
TEST(InputCheck, AFileSplitBySemicolonsOrBarsReadWithItsDelimiter) {
    for (const char* delimiter : {";", "|"}) {
        std::string file = "id;th;q1;q2\r\nP1;0,5;1;0\r\nP2;0,1;0;1\r\n";
        for (char& ch : file) ch = ch == ';' ? delimiter[0] : ch;
        EXPECT_EQ(Check(file,
                        {{id::kResponseFormat, "csv"},
                         {id::kDelimiter, delimiter},
                         {id::kIdColumn, "id"},
                         {id::kItemColumns, "q1:q2"}},
                        "resp.csv")
                      .codes(),
                  std::vector<std::string>{})
            << delimiter;
        EXPECT_EQ(
            Check(
                file,
                {{id::kResponseFormat, "auto"}, {id::kIdColumn, "id"}, {id::kItemColumns, "q1:q2"}},
                "resp.csv")
                .codes(),
            std::vector<std::string>{})
            << delimiter;
    }
}

TEST(InputCheck, IdentifiersOfSeveralByteCharacters) {
    // "Mü" is three bytes: the field of four columns cuts "Müß" inside the ß.
    const Checked c = Check("M\xC3\xBC\xC3\x9F 0.5  ABCD\r\nP2    0.5  ABCD\r\n");
    EXPECT_NE(c.Find("wide-ids"), nullptr);
    EXPECT_NE(c.Find("cut-ids"), nullptr);
    EXPECT_EQ(Check("M\xC3\xBC  0.5  1010\r\n").Find("cut-ids"), nullptr);
}

TEST(InputCheck, DuplicatesNoValidResponseAndThetaThatIsNoNumber) {
    const Checked c = Check(
        "P1    0.5  1010\r\n"
        "P1    abc  1001\r\n"
        "P3    0.5  9999\r\n");
    ASSERT_NE(c.Find("duplicate-ids"), nullptr);
    EXPECT_EQ(c.Find("duplicate-ids")->examples,
              std::vector<std::string>{"'P1  ' (examinees 1 and 2)"});
    ASSERT_NE(c.Find("no-valid-response"), nullptr);
    EXPECT_EQ(c.Find("no-valid-response")->count, 1u);
    ASSERT_NE(c.Find("theta-not-numeric"), nullptr);
    EXPECT_EQ(c.Find("theta-not-numeric")->examples, std::vector<std::string>{" abc "});
}

TEST(InputCheck, AThetaThatIsNoNumberMattersOnlyWhereTheEstimatorReadsIt) {
    const std::string blankTheta = "P1         1010\r\nP2    0.5  1001\r\n";
    for (const int mode : {2, 4, 8}) {
        EXPECT_NE(Check(blankTheta, {}, "resp.dat", mode).Find("theta-not-numeric"), nullptr);
    }
    for (const int mode : {1, 3, 5, 6, 7}) {
        EXPECT_EQ(Check(blankTheta, {}, "resp.dat", mode).codes(), std::vector<std::string>{})
            << mode;
    }
    EXPECT_EQ(Check(blankTheta, {}, "resp.dat", 2, Method::Marginal).codes(),
              std::vector<std::string>{});
}

TEST(InputCheck, NumberBoxesThatTheRulesRoundOrWrap) {
    for (const auto& [text, read] : std::vector<std::pair<std::string, std::string>>{
             {"70000", "4464"}, {"65536", "0"}, {"45.9", "46"}, {"12abc", "12"}}) {
        const Checked c = Check(kSound, {{id::kThetaStart, text}});
        ASSERT_NE(c.Find("number-box-read-otherwise"), nullptr) << text;
        EXPECT_NE(
            c.warnings.front().find("the theta start column '" + text + "' is read as " + read),
            std::string::npos)
            << c.warnings.front();
    }
    const Checked zero = Check(kSound, {{id::kItemCount, "0"}});
    EXPECT_NE(zero.Find("item-count-zero"), nullptr);
}

TEST(InputCheck, AByte26BeforeTheEndSaysWhatWasNotRead) {
    const Checked c = Check(kSound + "\x1a" + "P4    0.5  ABCD\r\nP5    0.5  ABCD\r\n");
    const InputFinding* mark = c.Find("end-of-data-mark");
    ASSERT_NE(mark, nullptr);
    EXPECT_NE(mark->message.find("35 bytes in 2 lines after it were not read"), std::string::npos)
        << mark->message;
    // A mark as the file's last byte is the old end-of-file convention.
    EXPECT_EQ(Check(kSound + "\x1a").Find("end-of-data-mark"), nullptr);
}

TEST(InputCheck, DelimitedRowsOfOtherWidthsAndEmptyItemColumns) {
    const Checked c = Check("id,a,b,c,d\r\nP1,1,0,,1\r\nP2,1,1\r\nP3,0,1,,1,1\r\n",
                            {{id::kResponseFormat, "csv"}, {id::kIdColumn, "id"}}, "resp.csv");
    ASSERT_NE(c.Find("cell-count"), nullptr);
    EXPECT_EQ(c.Find("cell-count")->count, 2u);
    ASSERT_NE(c.Find("empty-item-columns"), nullptr);
    EXPECT_NE(c.Find("empty-item-columns")->message.find("item 3 (c) has no valid response"),
              std::string::npos);
}

TEST(InputCheck, HeaderItemColumnsWithoutANameOrWithOneNameTwice) {
    const Checked c = Check("id,q1,,q2,q1,\r\nP1,1,0,1,1,0\r\nP2,0,1,1,0,1\r\n",
                            {{id::kResponseFormat, "csv"}, {id::kIdColumn, "id"}}, "resp.csv");
    const InputFinding* unnamed = c.Find("unnamed-item-columns");
    ASSERT_NE(unnamed, nullptr);
    EXPECT_EQ(unnamed->count, 2u);
    EXPECT_EQ(unnamed->examples, (std::vector<std::string>{"column 3", "column 6"}));
    const InputFinding* repeated = c.Find("repeated-item-names");
    ASSERT_NE(repeated, nullptr);
    EXPECT_EQ(repeated->examples, std::vector<std::string>{"'q1' (columns 2 and 5)"});
    // Without a header no column has a name, and the check says nothing of names.
    const Checked plain = Check(
        "P1,1,0,1\r\nP2,0,1,1\r\n",
        {{id::kResponseFormat, "csv"}, {id::kHeaderRow, "no"}, {id::kIdColumn, "1"}}, "resp.csv");
    EXPECT_EQ(plain.Find("unnamed-item-columns"), nullptr);
    EXPECT_EQ(plain.Find("repeated-item-names"), nullptr);
}

TEST(InputCheck, AKeyFileBesideAKeyRecord) {
    const Checked c = Check(kSound, {{id::kKeyFile, "@key"}});
    EXPECT_EQ(c.codes(), std::vector<std::string>{"key-given-twice"});
}

// Many examinees, read into the tables directly: the duplicate IDs and the
// examinees without a valid response as a search through every earlier
// examinee finds them, whatever the IDs' hashes share.
TEST(InputCheck, DuplicatesAndEmptyRecordsAmongManyExaminees) {
    RunSettings settings;
    settings.itemCount = 3;
    settings.responseStart = 10;
    settings.examineeIdField = {1, 8};
    RecordTally tally;
    StartTally(tally, 3);
    std::mt19937 draw(19);
    for (const std::size_t pool : {std::size_t{1}, std::size_t{900}, std::size_t{100000}}) {
        PersonTable persons;
        persons.itemCount = 3;
        for (std::size_t j = 0; j < 3000; ++j) {
            persons.ExaminID.push_back("E" + std::to_string(draw() % pool));
            for (int i = 0; i < 3; ++i) persons.responses.push_back(draw() % 7 == 0 ? 9 : 1);
        }
        persons.theta.assign(3000, 0.0);
        std::map<std::string, std::size_t> first;
        std::size_t duplicates = 0, none = 0;
        std::vector<std::string> examples;
        for (std::size_t j = 0; j < 3000; ++j) {
            const auto [at, added] = first.emplace(persons.ExaminID[j], j);
            none += persons.responses[3 * j] == 9 && persons.responses[3 * j + 1] == 9 &&
                    persons.responses[3 * j + 2] == 9;
            if (added) continue;
            if (++duplicates <= 3) {
                examples.push_back("'" + persons.ExaminID[j] + "' (examinees " +
                                   std::to_string(at->second + 1) + " and " +
                                   std::to_string(j + 1) + ")");
            }
        }
        InputCheckSubject subject;
        subject.settings = &settings;
        subject.tally = &tally;
        subject.persons = &persons;
        const std::vector<InputFinding> findings = CheckInput(subject);
        auto find = [&](const std::string& code) -> const InputFinding* {
            for (const InputFinding& f : findings) {
                if (f.code == code) return &f;
            }
            return nullptr;
        };
        const InputFinding* found = find("duplicate-ids");
        if (duplicates == 0) {
            EXPECT_EQ(found, nullptr) << pool;
        } else {
            ASSERT_NE(found, nullptr) << pool;
            EXPECT_EQ(found->count, duplicates) << pool;
            EXPECT_EQ(found->examples, examples) << pool;
            EXPECT_EQ(found->message.find("every ID is the same") != std::string::npos,
                      first.size() == 1)
                << pool;
        }
        ASSERT_NE(find("no-valid-response"), nullptr);
        EXPECT_EQ(find("no-valid-response")->count, none) << pool;
        EXPECT_EQ(find("no-valid-response")->examples.size(), 3u);
    }
}

}  // namespace
}  // namespace tarvo
