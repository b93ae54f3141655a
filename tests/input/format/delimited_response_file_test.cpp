#include "input/format/delimited_response_file.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "input/format/key_file.h"
#include "input/text/record_tally.h"
#include "support/temp_dir.h"

namespace tarvo {
namespace {

using test_support::TempDir;

const std::vector<std::string> kHeader = {"id", "theta", "i1", "i2", "i3", "2"};

ResponseLayout Layout(std::string id, std::string theta, std::string items, bool header = true) {
    ResponseLayout layout;
    layout.format = ResponseFormat::Csv;
    layout.header = header;
    layout.idColumn = std::move(id);
    layout.thetaColumn = std::move(theta);
    layout.itemColumns = std::move(items);
    return layout;
}

TEST(DelimitedColumns, NamesNumbersRangesAndLists) {
    const struct {
        ResponseLayout layout;
        std::optional<std::size_t> id, theta;
        std::vector<std::size_t> items;
    } cases[] = {
        {Layout("id", "theta", ""), 0, 1, {2, 3, 4, 5}},  // items: every other column
        {Layout("1", "", "i1:i3"), 0, std::nullopt, {2, 3, 4}},
        {Layout("", "", "3:"), std::nullopt, std::nullopt, {2, 3, 4, 5}},
        {Layout("id", "", "i3,i1"), 0, std::nullopt, {4, 2}},
        {Layout("id", "", "2"), 0, std::nullopt, {5}},    // a name before a number
        {Layout("id", "", "3:3"), 0, std::nullopt, {2}},  // a range of one column: one item
        {Layout("id", "", "i2:i2"), 0, std::nullopt, {3}},
        {Layout("", "", "", false), std::nullopt, std::nullopt, {0, 1, 2, 3, 4, 5}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.layout.idColumn + "|" + c.layout.thetaColumn + "|" + c.layout.itemColumns);
        const ColumnsOrError found = ResolveColumns(c.layout, RunSettings{}, kHeader);
        ASSERT_TRUE(found.columns) << found.error;
        EXPECT_EQ(found.columns->id, c.id);
        EXPECT_EQ(found.columns->theta, c.theta);
        EXPECT_EQ(found.columns->items, c.items);
    }
}

TEST(DelimitedColumns, TheBoxesCountCellsWhenNoColumnIsNamed) {
    RunSettings boxes;
    boxes.examineeIdField = {1, 8};
    boxes.thetaField = {2, 7};
    boxes.responseStart = 3;
    boxes.itemCount = 2;
    ColumnsOrError found = ResolveColumns(Layout("", "", ""), boxes, kHeader);
    ASSERT_TRUE(found.columns) << found.error;
    EXPECT_EQ(found.columns->id, 0u);
    EXPECT_EQ(found.columns->theta, 1u);
    EXPECT_EQ(found.columns->items, (std::vector<std::size_t>{2, 3}));

    boxes.itemCount = 0;  // to the last column
    found = ResolveColumns(Layout("", "", ""), boxes, kHeader);
    ASSERT_TRUE(found.columns);
    EXPECT_EQ(found.columns->items, (std::vector<std::size_t>{2, 3, 4, 5}));

    found = ResolveColumns(Layout("i3", "", "i1"), boxes, kHeader);  // named columns win
    ASSERT_TRUE(found.columns);
    EXPECT_EQ(found.columns->id, 4u);
    EXPECT_EQ(found.columns->items, (std::vector<std::size_t>{2}));
}

TEST(DelimitedColumns, AColumnThatIsNotThereIsAnErrorThatSaysWhy) {
    const struct {
        ResponseLayout layout;
        const char* error;
    } cases[] = {
        {Layout("ID", "", ""),
         "the ID column 'ID' is neither a column name of the header nor a column number from 1 "
         "to 6"},
        {Layout("", "", "9", false),
         "item column '9' is not a column number from 1 to 6 (the first row is read as data, "
         "not as a header, so columns have no names: read the file with its header to name "
         "them)"},
        {Layout("", "", "i3:i1"),
         "item columns 'i3:i1' end before they begin: write FIRST:LAST "
         "in file order"},
        {Layout("id", "", "id:i2"),
         "column 1 (id) is both an item and the ID column: choose the item columns without it"},
        {Layout("id", "id", "i1"), "column 1 (id) is both the ID and the theta column"},
        // One column counted as two items.
        {Layout("id", "", "i1,i1"),
         "column 3 (i1) is given twice among the item columns: each column is one item, name "
         "it once"},
        {Layout("id", "", "i1:i3,i2"),
         "column 4 (i2) is given twice among the item columns: each column is one item, name "
         "it once"},
        {Layout("id", "", "3,i1"),
         "column 3 (i1) is given twice among the item columns: each column is one item, name "
         "it once"},
    };
    for (const auto& c : cases) {
        const ColumnsOrError found = ResolveColumns(c.layout, RunSettings{}, kHeader);
        EXPECT_FALSE(found.columns);
        EXPECT_EQ(found.error, c.error);
    }
    // A header that names two columns alike, or leaves a name empty: a name
    // must say which column it is.
    const std::vector<std::string> twice = {"id", "i1", "i1", ""};
    EXPECT_EQ(ResolveColumns(Layout("id", "", "i1"), RunSettings{}, twice).error,
              "item column 'i1' names two columns of the header (2 and 3): rename one, or give "
              "the column by its number");
    EXPECT_EQ(ResolveColumns(Layout("id", "", "2,"), RunSettings{}, twice).columns->items,
              (std::vector<std::size_t>{1}));
    EXPECT_EQ(ResolveColumns(Layout("id", "", "2,,3"), RunSettings{}, twice).error,
              "item column '' is neither a column name of the header nor a column number from 1 "
              "to 4");
}

struct Read {
    DelimitedRead result;
    PersonTable persons;
    RecordTally tally;
};

Read ReadCsv(const std::string& bytes, const ResponseLayout& layout,
             const std::string* key = nullptr) {
    TempDir dir;
    const std::string path = dir.Write("resp.csv", bytes);
    const FirstRow first = ReadFirstRow(path, DelimiterOf(layout.format));
    const ColumnsOrError columns = ResolveColumns(layout, RunSettings{}, first.cells);
    EXPECT_TRUE(columns.columns) << columns.error;
    Read read;
    ResponseReading extras;
    extras.key = key;
    extras.tally = &read.tally;
    read.result = ReadDelimitedResponseFile(path, layout, *columns.columns, read.persons, extras);
    return read;
}

TEST(DelimitedResponseFile, ScoresCellsByTheRulesOfFixedColumns) {
    const Read read = ReadCsv(
        "id,theta,i1,i2,i3,i4\r\n"
        "KEY,,A,B,C,D\r\n"
        "P1,1.5,A,b,\" C \",NA\r\n"
        "\"P 2\",-0.25,,9,C, \r\n"
        ",,,,,\r\n"          // no response at all: skipped
        "key3,x,D,B,C\r\n",  // a KEY after the first examinee is an examinee; a cell short
        Layout("id", "theta", ""));
    ASSERT_EQ(read.result.error, "");
    const PersonTable& p = read.persons;
    EXPECT_EQ(p.ExaminID, (std::vector<std::string>{"P1", "P 2", "key3"}));
    EXPECT_EQ(p.theta, (std::vector<double>{1.5, -0.25, 0.0}));
    EXPECT_EQ(p.responses, (std::vector<std::uint8_t>{1, 0, 1, 9, 9, 9, 1, 9, 0, 1, 1, 9}));
    EXPECT_EQ(p.seetheta.size(), 3u);
    EXPECT_EQ(read.tally.keyRecord, 2u);
    EXPECT_EQ(read.tally.otherCellCounts, 1u);  // the row of five cells
    EXPECT_EQ(read.tally.thetaNotNumeric, 1u);  // "x"
}

TEST(DelimitedResponseFile, WithoutAnIdColumnNoRowIsTheKey) {
    const Read read = ReadCsv("KEY,1,0\r\nP1,1,1\r\n", Layout("", "", "2:3", false));
    ASSERT_EQ(read.result.error, "");
    EXPECT_EQ(read.persons.personCount(), 2u);
    EXPECT_EQ(read.persons.responses, (std::vector<std::uint8_t>{1, 0, 1, 1}));
}

TEST(DelimitedResponseFile, AKeyFromAKeyFileWinsOverTheKeyRow) {
    const std::string key = "BA";
    const Read read = ReadCsv("id,i1,i2\r\nKEY,A,B\r\nP1,B,B\r\n", Layout("id", "", ""), &key);
    EXPECT_EQ(read.persons.ExaminID, std::vector<std::string>{"P1"});
    EXPECT_EQ(read.persons.responses, (std::vector<std::uint8_t>{1, 0}));
}

TEST(DelimitedResponseFile, ACellOfMoreThanOneCharacterNamesRowColumnAndText) {
    Read read = ReadCsv("id,i1,i2\r\nP1,1,0\r\nP2,10,1\r\n", Layout("id", "", ""));
    EXPECT_EQ(read.result.error,
              "row 3, column 2 (i1) holds '10', more than one character: an item cell holds one "
              "response, or nothing, NA or 9 when the response is missing; if it is no item, "
              "leave it out of the item columns (--item-columns, or the item responses start "
              "and length boxes)");
    EXPECT_EQ(read.persons.personCount(), 1u);

    // Without an ID column the IDs are read as items: the message says so.
    read = ReadCsv("P1,1,0\r\n", Layout("", "", "", false));
    EXPECT_NE(read.result.error.find("row 1, column 1 holds 'P1'"), std::string::npos);
    EXPECT_NE(read.result.error.find("name it as the ID column (--id-column"), std::string::npos);

    read = ReadCsv("id,i1\r\nP1,\"1\r\n", Layout("id", "", ""));
    EXPECT_EQ(read.result.error,
              "row 2 opens a quoted cell that is never closed: a cell that begins with \" must "
              "end with \" (write \"\" for a quote inside it)");
}

TEST(KeyFile, OneCharacterOrOneCellPerItem) {
    TempDir dir;
    EXPECT_EQ(ReadKeyFile(dir.Write("k1", "ABCD  \r\n"), 4, ',').key, "ABCD");
    EXPECT_EQ(ReadKeyFile(dir.Write("k2",
                                    "\xEF\xBB\xBF"
                                    "A, B,C,D\n"),
                          4, ',')
                  .key,
              "ABCD");
    EXPECT_EQ(ReadKeyFile(dir.Write("k3", "i1\ti2\r\nA\tB\r\n"), 2, '\t').key, "AB");
    const KeyOrError wrong = ReadKeyFile(dir.Write("k4", "ABC\r\n"), 4, ',');
    EXPECT_FALSE(wrong.key);
    EXPECT_NE(wrong.error.find("does not give one key character for each of the 4 items"),
              std::string::npos);
    EXPECT_FALSE(ReadKeyFile(dir.File("none"), 4, ',').key);
}

// Read by option (a nominal run): "1".."8" are options 0..7, "0", "9", a
// letter, an empty cell or NA missing; without a key each item has none.
TEST(DelimitedResponseFile, ReadsOptionCodesAndKeepsTheKey) {
    TempDir dir;
    const std::string path =
        dir.Write("resp.csv", "id,q1,q2,q3,q4\r\nP001,1,4,0,9\r\nP002,8,,A,NA\r\n");
    const ResponseLayout layout = Layout("id", "", "");
    const FirstRow first = ReadFirstRow(path, DelimiterOf(layout.format));
    const ColumnsOrError columns = ResolveColumns(layout, RunSettings{}, first.cells);
    ASSERT_TRUE(columns.columns) << columns.error;
    for (const bool keyed : {false, true}) {
        const std::string cut = "2134";
        ResponseReading extras;
        extras.key = keyed ? &cut : nullptr;
        extras.byOption = true;
        PersonTable persons;
        const DelimitedRead read =
            ReadDelimitedResponseFile(path, layout, *columns.columns, persons, extras);
        ASSERT_EQ(read.error, "");
        EXPECT_EQ(persons.responses, (std::vector<std::uint8_t>{0, 3, 9, 9, 7, 9, 9, 9}));
        EXPECT_EQ(persons.optionKey, keyed ? cut : std::string("++++"));
    }
}

ResponseLayout GroupLayout(std::string group, std::string items = "") {
    ResponseLayout layout = Layout("id", "", std::move(items));
    layout.groupColumn = std::move(group);
    return layout;
}

TEST(DelimitedGroups, TheGroupColumnIsNeverAnItemAndNeverSharesAColumn) {
    const std::vector<std::string> header = {"id", "sex", "i1", "i2"};
    // By name or number; every other column is an item without it.
    for (const char* group : {"sex", "2"}) {
        const ColumnsOrError found = ResolveColumns(GroupLayout(group), RunSettings{}, header);
        ASSERT_TRUE(found.columns) << found.error;
        EXPECT_EQ(found.columns->group, 1u);
        EXPECT_EQ(found.columns->items, (std::vector<std::size_t>{2, 3}));
    }
    EXPECT_EQ(ResolveColumns(GroupLayout("sex", "2:4"), RunSettings{}, header).error,
              "column 2 (sex) is both an item and the group column: choose the item columns "
              "without it, or another group column (--group-column)");
    EXPECT_EQ(ResolveColumns(GroupLayout("id"), RunSettings{}, header).error,
              "column 1 (id) is both the ID column and the group column: choose another group "
              "column (--group-column)");
    EXPECT_EQ(ResolveColumns(GroupLayout("gender"), RunSettings{}, header).error,
              "the group column 'gender' is neither a column name of the header nor a column "
              "number from 1 to 4");
}

TEST(DelimitedGroups, CellsTrimmedAndEmptyOrNaIsNoGroup) {
    const Read read = ReadCsv(
        "id,sex,i1,i2\r\n"
        "KEY,,1,1\r\n"  // the key row is no examinee and has no group
        "P1,F,1,0\r\n"
        "P2, M ,0,1\r\n"
        "P3,,1,1\r\n"
        "P4,NA,1,1\r\n"
        "P5,\"F\",0,0\r\n"
        "P6\r\n",  // too short to hold the group: none, and its items missing
        GroupLayout("sex"));
    ASSERT_EQ(read.result.error, "");
    const std::int32_t none = PersonTable::kNoGroup;
    EXPECT_EQ(read.persons.ExaminID, (std::vector<std::string>{"P1", "P2", "P3", "P4", "P5"}));
    EXPECT_EQ(read.persons.group, (std::vector<std::int32_t>{0, 1, none, none, 0}));
    EXPECT_EQ(read.persons.groupLabels, (std::vector<std::string>{"F", "M"}));

    const Read plain = ReadCsv("id,i1,i2\r\nP1,1,0\r\n", Layout("id", "", ""));
    EXPECT_TRUE(plain.persons.group.empty());
    EXPECT_TRUE(plain.persons.groupLabels.empty());
}

}  // namespace
}  // namespace tarvo
