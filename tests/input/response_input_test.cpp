// The response file's plan and reading around the fixed-column rules: what
// --format auto finds in a file, and a key typed by the user.
#include "input/response_input.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "core/response_matrix.h"
#include "input/text/settings_reader.h"
#include "platform/control_ids.h"
#include "support/temp_dir.h"

namespace tarvo {
namespace {

namespace id = control;
using test_support::TempDir;

class Texts final : public ControlTexts {
  public:
    explicit Texts(std::map<int, std::string> texts) : texts_(std::move(texts)) {}
    std::string ControlText(int controlId) const override {
        const auto found = texts_.find(controlId);
        return found == texts_.end() ? std::string() : found->second;
    }

  private:
    std::map<int, std::string> texts_;
};

TEST(AutoFormat, AFirstRowOfNamesIsAHeaderAndARowOfResponsesIsNot) {
    TempDir dir;
    const struct {
        const char* bytes;
        ResponseFormat format;
        bool header;
        std::size_t items;
    } cases[] = {
        {"i1,i2,i3,i4\r\n1,0,1,1\r\n0,0,1,0\r\n1,1,1,0\r\n", ResponseFormat::Csv, true, 4},
        {"1,0,1,1\r\n0,0,1,0\r\n1,1,1,0\r\n", ResponseFormat::Csv, false, 4},
        // No ID column is named: every column holds items.
        {"id\tq1\tq2\tq3\nP1\t1\t0\t1\nP2\t0\t\t1\n", ResponseFormat::Tsv, true, 4},
        {"P1\t1\t0\t1\nP2\t0\t1\t1\n", ResponseFormat::Tsv, false, 4},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.bytes);
        const std::string file = dir.Write("resp.txt", c.bytes);
        const ResponsePlan plan =
            PlanResponseFile(Texts({{id::kResponseFile, file}, {id::kResponseFormat, "auto"}}));
        ASSERT_EQ(plan.error, "");
        EXPECT_EQ(plan.layout.format, c.format);
        EXPECT_EQ(plan.layout.header, c.header);
        ASSERT_TRUE(plan.columns);
        EXPECT_EQ(plan.columns->items.size(), c.items);
    }
    // What the settings state about the header wins over what the file looks like.
    const std::string file = dir.Write("resp.csv", "i1,i2\r\n1,0\r\n0,1\r\n");
    EXPECT_FALSE(PlanResponseFile(Texts({{id::kResponseFile, file},
                                         {id::kResponseFormat, "auto"},
                                         {id::kHeaderRow, "no"}}))
                     .layout.header);
}

// Reads a four-item fixed-column file with the key given by texts.
struct Read {
    ResponseFileRead read;
    PersonTable persons;
};
Read ReadWith(const std::string& file, std::map<int, std::string> texts, bool byOption = false) {
    texts.insert({{id::kResponseFile, file},
                  {id::kItemCount, "4"},
                  {id::kResponseStart, "6"},
                  {id::kExamineeIdStart, "1"},
                  {id::kExamineeIdLength, "4"}});
    const Texts boxes(texts);
    const ResponsePlan plan = PlanResponseFile(boxes);
    Read result;
    result.read = ReadPlannedResponses(plan, ReadRunSettings(boxes), result.persons, byOption, {},
                                       false, byOption);
    return result;
}

TEST(TypedKey, ScoresLikeAKeyRecordAndWinsOverOne) {
    TempDir dir;
    const std::string plain = dir.Write("plain.dat", "P001 ABCA\r\nP002 AB D\r\n");
    const std::string keyed = dir.Write("keyed.dat", "KEY  DCBA\r\nP001 ABCA\r\nP002 AB D\r\n");
    for (const char* key : {"ABCD", "A,B,C,D", "ABCD  "}) {
        SCOPED_TRACE(key);
        for (const std::string& file : {plain, keyed}) {
            const Read r = ReadWith(file, {{id::kAnswerKey, key}});
            ASSERT_EQ(r.read.error, "");
            EXPECT_TRUE(r.read.keyTyped);
            ASSERT_EQ(r.persons.personCount(), 2u);
            EXPECT_EQ(r.persons.responses, (std::vector<std::uint8_t>{1, 1, 1, 0, 1, 1, 9, 1}));
        }
    }
    // Blanks alone are no key: the key record's, or all "1".
    const Read none = ReadWith(keyed, {{id::kAnswerKey, "   "}});
    EXPECT_FALSE(none.read.keyTyped);
    EXPECT_EQ(none.persons.responses[0], 0);  // A against the record's D
}

TEST(TypedKey, AKeyOfAnotherLengthOrBesideAKeyFileIsRefusedSayingWhy) {
    TempDir dir;
    const std::string file = dir.Write("resp.dat", "P001 ABCA\r\n");
    Read r = ReadWith(file, {{id::kAnswerKey, "ABC"}});
    EXPECT_EQ(r.read.error,
              "the typed key (--key) 'ABC' does not give one key character for each of the 4 "
              "items: write the key as one line, one character per item (ACDB...) or one cell "
              "per item");
    r = ReadWith(file, {{id::kAnswerKey, "ABCD"}, {id::kKeyFile, dir.Write("key.txt", "ABCD\n")}});
    EXPECT_NE(r.read.error.find("keep one of them"), std::string::npos) << r.read.error;
}

// A nominal run reads every item by its option code, whatever the key
// says, and keeps the key (typed or a key record's) for the estimator; a
// short record's missing items are missing, not option 1.
TEST(ReadByOption, OptionCodesAndTheKeyKept) {
    TempDir dir;
    const std::vector<std::uint8_t> expected{0, 3, 9, 9, 7, 9, 9, 9};
    const std::string fixed = dir.Write("fixed.dat", "KEY  4123\r\nP001 1409\r\nP002 8 A\r\n");
    Read r = ReadWith(fixed, {}, true);
    ASSERT_EQ(r.read.error, "");
    EXPECT_EQ(r.persons.responses, expected);
    EXPECT_EQ(r.persons.optionKey, "4123");
    r = ReadWith(fixed, {{id::kAnswerKey, "2222"}}, true);
    EXPECT_EQ(r.persons.optionKey, "2222");
    const Read plain = ReadWith(fixed, {});
    EXPECT_TRUE(plain.persons.optionKey.empty());
}

// Responses held in memory are read by option code as a file's are, the
// typed key kept; a run that also asks for the option characters keeps
// none of them, the codes being the options already.
TEST(ReadByOption, HeldInMemoryAsAFileIsRead) {
    const std::string cells = "14098 A ";
    ResponseMatrix matrix;
    matrix.examinees = 2;
    matrix.items = 4;
    matrix.cells = cells.data();
    matrix.examineeStride = 4;
    const Texts boxes({{id::kAnswerKey, "4123"}});
    const ResponsePlan plan = MatrixPlan(matrix, boxes);
    RunSettings settings = ReadRunSettings(boxes);
    settings.itemCount = 4;
    PersonTable persons;
    const ResponseFileRead read =
        ReadMatrixResponses(matrix, plan, settings, persons, true, {}, true, true);
    ASSERT_EQ(read.error, "");
    EXPECT_EQ(persons.responses, (std::vector<std::uint8_t>{0, 3, 9, 9, 7, 9, 9, 9}));
    EXPECT_EQ(persons.optionKey, "4123");
    EXPECT_TRUE(persons.options.empty());
    // Scored by the key instead, the same cells are right or wrong.
    PersonTable scored;
    ReadMatrixResponses(matrix, plan, settings, scored, false);
    EXPECT_EQ(scored.responses[0], 0);
    EXPECT_EQ(scored.responses[1], 0);
}

// Counts of examinees per group label, and of those without a group.
std::map<std::string, int> GroupCounts(const PersonTable& persons) {
    std::map<std::string, int> counts;
    for (const std::int32_t group : persons.group) {
        ++counts[group == PersonTable::kNoGroup ? std::string("(none)")
                                                : persons.groupLabels.at(group)];
    }
    return counts;
}

// The SAPA inventory (tests/data/polytomous/README.md): sex in column 10,
// 135 items from column 20; the same rows as a CSV file with a sex column.
TEST(GroupField, FixedColumnsAndACsvColumnGiveThePublicCounts) {
    const std::map<std::string, int> expected = {{"F", 2348}, {"M", 1598}, {"(none)", 54}};
    const std::string fixed = TARVO_SOURCE_DIR "/tests/data/polytomous/spi.dat";
    GroupSettings columns;
    columns.start = 10;
    columns.length = 1;
    const Texts boxes({{id::kResponseFile, fixed},
                       {id::kItemCount, "135"},
                       {id::kResponseStart, "20"},
                       {id::kExamineeIdStart, "1"},
                       {id::kExamineeIdLength, "8"}});
    PersonTable persons;
    ResponseFileRead read = ReadPlannedResponses(PlanResponseFile(boxes, {}, columns),
                                                 ReadRunSettings(boxes), persons, true);
    ASSERT_EQ(read.status, ReadStatus::Read);
    EXPECT_EQ(GroupCounts(persons), expected);

    // The same rows as id,sex,items with NA for an unknown sex.
    TempDir dir;
    std::string csv = "id,sex";
    for (int i = 1; i <= 135; ++i) csv += ",q" + std::to_string(i);
    csv += "\r\n";
    for (std::size_t j = 0; j < persons.personCount(); ++j) {
        const std::int32_t group = persons.group[j];
        csv += persons.ExaminID[j] + "," +
               (group == PersonTable::kNoGroup ? "NA" : persons.groupLabels[group]);
        for (const std::uint8_t code : persons.ResponsesOf(j)) {
            csv += ",";
            csv += static_cast<char>('0' + code);
        }
        csv += "\r\n";
    }
    GroupSettings named;
    named.column = "sex";
    const Texts csvBoxes({{id::kResponseFile, dir.Write("spi.csv", csv)},
                          {id::kResponseFormat, "csv"},
                          {id::kIdColumn, "id"}});
    PersonTable fromCsv;
    const ResponsePlan plan = PlanResponseFile(csvBoxes, {}, named);
    ASSERT_EQ(plan.error, "");
    read = ReadPlannedResponses(plan, ReadRunSettings(csvBoxes), fromCsv, true);
    ASSERT_EQ(read.error, "");
    EXPECT_EQ(fromCsv.itemCount, 135u);
    EXPECT_EQ(fromCsv.group, persons.group);
    EXPECT_EQ(fromCsv.groupLabels, persons.groupLabels);
    EXPECT_EQ(fromCsv.responses, persons.responses);
}

// In a delimited file the group field's start counts cells, as the other
// boxes do there.
TEST(GroupField, ADelimitedFileTakesTheGroupStartAsAColumnNumber) {
    TempDir dir;
    const Texts boxes({{id::kResponseFile, dir.Write("r.csv", "id,grp,i1\r\nP1,A,1\r\nP2,B,0\r\n")},
                       {id::kResponseFormat, "csv"},
                       {id::kIdColumn, "id"}});
    GroupSettings groups;
    groups.start = 2;
    groups.length = 1;
    PersonTable persons;
    const ResponsePlan plan = PlanResponseFile(boxes, {}, groups);
    ASSERT_EQ(plan.error, "");
    ReadPlannedResponses(plan, ReadRunSettings(boxes), persons);
    EXPECT_EQ(persons.itemCount, 1u);
    EXPECT_EQ(persons.groupLabels, (std::vector<std::string>{"A", "B"}));
}

TEST(GroupField, ResponsesInMemoryCarryALabelPerExaminee) {
    const std::string cells =
        "1010"
        "0101"
        "1111";
    ResponseMatrix matrix;
    matrix.examinees = 3;
    matrix.items = 4;
    matrix.cells = cells.data();
    matrix.examineeStride = 4;
    matrix.groups = {" old", "", "young"};
    const Texts none({});
    const ResponsePlan plan = MatrixPlan(matrix, none);
    PersonTable persons;
    RunSettings settings;
    settings.itemCount = 4;
    const ResponseFileRead read = ReadMatrixResponses(matrix, plan, settings, persons, false);
    ASSERT_EQ(read.error, "");
    EXPECT_EQ(read.itemNames.size(), 4u);  // the group column is no item
    EXPECT_EQ(persons.group, (std::vector<std::int32_t>{0, PersonTable::kNoGroup, 1}));
    EXPECT_EQ(persons.groupLabels, (std::vector<std::string>{"old", "young"}));
}

}  // namespace
}  // namespace tarvo
