#include "input/format/layout_detection.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "input/format/response_format.h"
#include "platform/control_ids.h"
#include "support/temp_dir.h"

namespace tarvo {
namespace {

using test_support::TempDir;

const std::string kSamples = std::string(TARVO_SOURCE_DIR) + "/samples/";

TEST(LayoutDetection, TheSampleFileGivesItsOwnLayout) {
    const DetectionResult result = DetectLayoutOfFile(kSamples + "testdata.dat");
    ASSERT_EQ(result.error, "");
    const LayoutProposal& p = result.proposal;
    EXPECT_EQ(ProposalAsOptions(p),
              "--format fixed --examinee-id-start 1 --examinee-id-length 8 --theta-start 13 "
              "--theta-length 6 --response-start 20 --item-count 45");
    EXPECT_EQ(p.keyRecord, 1u);
    const auto texts = ProposalAsControlTexts(p);
    EXPECT_EQ(texts.at(control::kResponseFormat), "Fixed columns");
    EXPECT_EQ(texts.at(control::kResponseStart), "20");
    EXPECT_EQ(texts.at(control::kItemCount), "45");
}

TEST(LayoutDetection, FixedColumnsLaidOutOtherwise) {
    const struct {
        std::vector<std::string> lines;
        const char* options;
    } cases[] = {
        // 0/1 responses without key or theta; IDs of digits set apart by a blank.
        {{"1001 0110101", "1002 1110001", "1003 0 10111", "1004 1111111"},
         "--format fixed --examinee-id-start 1 --examinee-id-length 4 --response-start 6 "
         "--item-count 7"},
        // theta after the responses, a key record, missing responses.
        {{"KEY      ABCDA", "anna     ABCDD  -1.50", "bo       A CDA   0.25",
          "carl     DBCBA   2.00"},
         "--format fixed --examinee-id-start 1 --examinee-id-length 4 --theta-start 17 "
         "--theta-length 5 --response-start 10 --item-count 5"},
        // responses only, from column 1.
        {{"ABBA", "ABAB", "BBAA"}, "--format fixed --response-start 1 --item-count 4"},
        // a blank line, IDs of different lengths and a theta left blank.
        {{"S1   0.1 1100", "", "S22  0.2 1010", "S333 0.3 0011", "S4       1111"},
         "--format fixed --examinee-id-start 1 --examinee-id-length 4 --theta-start 6 "
         "--theta-length 3 --response-start 10 --item-count 4"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ProposalAsOptions(DetectFixedLayout(c.lines)), c.options) << c.lines.front();
    }
}

TEST(LayoutDetection, DelimitedFilesGiveTheirColumns) {
    using Rows = std::vector<std::vector<std::string>>;
    const struct {
        Rows rows;
        ResponseFormat format;
        const char* options;
    } cases[] = {
        {{{"person", "ability", "q1", "q2", "q3"},
          {"KEY", "", "A", "B", "C"},
          {"p1", "0.5", "A", "B", ""},
          {"p2", "-1.2", "C", "NA", "C"}},
         ResponseFormat::Csv,
         "--format csv --id-column person --theta-column ability --item-columns q1:q3"},
        {{{"1", "0", "1"}, {"0", "0", "1"}, {"1", "1", "1"}},
         ResponseFormat::Tsv,
         "--format tsv --no-header --item-columns 1:3"},
        {{{"id", "i1", "grade", "i2"}, {"a1", "1", "x7", "0"}, {"b2", "0", "x8", "1"}},
         ResponseFormat::Csv,
         "--format csv --id-column id --item-columns i1,i2"},
        {{{"my id", "q1", "q2"}, {"a b", "1", "0"}, {"c d", "0", "0"}},
         ResponseFormat::Csv,
         "--format csv --id-column 'my id' --item-columns q1:q2"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ProposalAsOptions(DetectDelimitedLayout(c.rows, c.format)), c.options)
            << c.rows.front().front();
    }
}

TEST(LayoutDetection, TheFormatFromTheFirstLines) {
    EXPECT_EQ(DetectFormat(std::vector<std::string>{"a,b,c", "1,2,3", ""}), ResponseFormat::Csv);
    EXPECT_EQ(DetectFormat(std::vector<std::string>{"a\tb,c", "1\t2,,3"}), ResponseFormat::Tsv);
    EXPECT_EQ(DetectFormat(std::vector<std::string>{"E1   2.1 ABCD", "E2  -1,5 ABCD"}),
              ResponseFormat::Fixed);

    TempDir dir;
    const DetectionResult csv =
        DetectLayoutOfFile(dir.Write("r.csv",
                                     "\xEF\xBB\xBF"
                                     "id,i1,i2\r\nKEY,A,B\r\np1,A,\"B\"\r\n"));
    EXPECT_EQ(ProposalAsOptions(csv.proposal), "--format csv --id-column id --item-columns i1:i2");
    EXPECT_EQ(csv.proposal.keyRecord, 2u);
    const auto texts = ProposalAsControlTexts(csv.proposal);
    EXPECT_EQ(texts.at(control::kResponseFormat), "CSV with header");
    EXPECT_EQ(texts.at(control::kExamineeIdStart), "1");
    EXPECT_EQ(texts.at(control::kResponseStart), "2");
    EXPECT_EQ(texts.at(control::kItemCount), "2");
    EXPECT_NE(DetectLayoutOfFile(dir.File("none")).error, "");
}

// What spreadsheets in many locales save: cells split by semicolons, decimal
// commas in the numbers; and files split by bars.
TEST(LayoutDetection, SemicolonsAndBarsAreDelimitersToo) {
    EXPECT_EQ(DetectDelimiter(std::vector<std::string>{"id;th;i1;i2", "P1;0,5;1;0", "P2;1,5;0;1"}),
              ';');
    EXPECT_EQ(DetectDelimiter(std::vector<std::string>{"id|i1|i2", "P1|1|0"}), '|');
    EXPECT_EQ(DetectDelimiter(std::vector<std::string>{"E1   2.1 ABCD", "E2  -1.5 ABCD"}), 0);

    TempDir dir;
    const DetectionResult semicolons = DetectLayoutOfFile(
        dir.Write("r.csv", "id;ability;i1;i2;i3\r\nP1;0,25;1;0;1\r\nP2;-1,5;0;0;1\r\n"));
    EXPECT_EQ(semicolons.proposal.format, ResponseFormat::Csv);
    EXPECT_EQ(semicolons.proposal.delimiter, ';');
    EXPECT_EQ(ProposalAsOptions(semicolons.proposal),
              "--format csv --delimiter ';' --id-column id --item-columns i1:i3");
    EXPECT_EQ(ProposalAsControlTexts(semicolons.proposal).at(control::kResponseFormat),
              "CSV (;) with header");

    const DetectionResult bars =
        DetectLayoutOfFile(dir.Write("b.txt", "1|0|1\r\n0|0|1\r\n1|1|1\r\n"));
    EXPECT_EQ(ProposalAsOptions(bars.proposal),
              "--format csv --delimiter '|' --no-header --item-columns 1:3");
    EXPECT_EQ(ProposalAsControlTexts(bars.proposal).at(control::kResponseFormat),
              "CSV (|), no header");
}

// Each entry of the Format box names its format, header and delimiter as the
// run reads them.
// What --delimiter takes: the character or its name, in any case, blanks
// around it passed over; anything else is no delimiter.
TEST(LayoutDetection, TheDelimiterByItsCharacterOrItsName) {
    const std::pair<const char*, char> taken[] = {
        {",", ','}, {"comma", ','}, {";", ';'},   {"semicolon", ';'}, {" Semicolon ", ';'},
        {"|", '|'}, {"pipe", '|'},  {"bar", '|'}, {"tab", '\t'},      {"\t", '\t'},
    };
    for (const auto& [text, delimiter] : taken) {
        EXPECT_EQ(ParseDelimiter(text), std::optional<char>(delimiter)) << text;
        EXPECT_EQ(ParseDelimiter(DelimiterText(delimiter)), std::optional<char>(delimiter));
    }
    for (const char* refused : {"", "colon", ":", ";;", "semi"}) {
        EXPECT_FALSE(ParseDelimiter(refused)) << refused;
    }
}

// A delimiter the format cannot take is refused, saying which format can.
TEST(LayoutDetection, ADelimiterTheFormatCannotTakeIsRefused) {
    struct Texts final : ControlTexts {
        std::map<int, std::string> texts;
        std::string ControlText(int id) const override {
            const auto found = texts.find(id);
            return found == texts.end() ? std::string() : found->second;
        }
    };
    const auto read = [](const char* format, const char* delimiter) {
        Texts texts;
        texts.texts = {{control::kResponseFormat, format}, {control::kDelimiter, delimiter}};
        std::string error;
        const ResponseLayout layout = ReadResponseLayout(texts, error);
        return std::make_pair(layout.delimiter, error);
    };
    EXPECT_EQ(read("tsv", ";").second,
              "a TSV file is split by tabs, not by ';': use --format csv with --delimiter");
    EXPECT_EQ(read("tsv", "tab"), std::make_pair('\t', std::string()));
    EXPECT_EQ(read("csv", ";"), std::make_pair(';', std::string()));
    EXPECT_NE(read("fixed", ";").second.find("but the format is fixed columns"), std::string::npos);
}

TEST(LayoutDetection, TheFormatEntriesReadBackAsTheirFormat) {
    for (const ResponseFormat format : {ResponseFormat::Csv, ResponseFormat::Tsv}) {
        for (const char delimiter : {',', ';', '|'}) {
            for (const bool header : {true, false}) {
                if (format == ResponseFormat::Tsv && delimiter != ',') continue;
                const std::string entry = FormatEntry(format, header, delimiter);
                EXPECT_EQ(ParseResponseFormat(entry), format) << entry;
                EXPECT_EQ(SaysNoHeader(entry), !header) << entry;
                EXPECT_EQ(DelimiterNamedBy(entry), delimiter == ',' ? 0 : delimiter) << entry;
            }
        }
    }
}

// The edges of the delimited rules: a header that names exactly half the
// item columns is a header; ID cells "Last, First" in a TSV do not make it a
// CSV, even where the commas are as many as the tabs.
TEST(LayoutDetection, EdgesOfTheHeaderAndTheDelimiter) {
    using Rows = std::vector<std::vector<std::string>>;
    const Rows halfNamed = {
        {"id", "q1", "q2", "3", "4"}, {"a1", "1", "0", "1", "0"}, {"b2", "0", "1", "1", "1"}};
    const LayoutProposal p = DetectDelimitedLayout(halfNamed, ResponseFormat::Csv);
    EXPECT_TRUE(p.header);
    EXPECT_EQ(p.itemColumns.size(), 4u);
    EXPECT_FALSE(
        DetectDelimitedLayout(Rows{{"id", "q1", "2", "3", "4"}, {"a1", "1", "0", "1", "0"}},
                              ResponseFormat::Csv)
            .header);

    EXPECT_EQ(DetectFormat(std::vector<std::string>{"Doe, Jane\t1\t0", "Roe, Al\t0\t1"}),
              ResponseFormat::Tsv);
    EXPECT_EQ(DetectFormat(std::vector<std::string>{"Doe, Jane\t1", "Roe, Al\t0"}),
              ResponseFormat::Tsv);
}

// Only the first lines are read, each up to a bound, whatever the file: a
// line without end (/dev/zero) or of megabytes, a quote left open in a
// large file, and UTF-16 text are named instead of proposed.
TEST(LayoutDetection, ReadsBoundedLinesAndNamesFilesThatAreNoResponses) {
    TempDir dir;
    const DetectionResult zero = DetectLayoutOfFile("/dev/zero");
    EXPECT_EQ(zero.error,
              "line 1 of /dev/zero is longer than 1048576 bytes, more than a line of responses "
              "holds: it is not a response file (only the first lines are read)");
    const std::string longLine =
        dir.Write("long.dat", "P1 1010\r\n" + std::string(kDetectionLineBytes + 1, '1') + "\r\n");
    EXPECT_NE(DetectLayoutOfFile(longLine).error.find("line 2 of " + longLine + " is longer"),
              std::string::npos);
    const std::string openQuote = dir.Write(
        "open.csv", "id,i1\r\np1,1\r\n\"p2,1" + std::string(2 * kDetectionLineBytes, '\n'));
    EXPECT_NE(DetectLayoutOfFile(openQuote).error.find("row 3 of " + openQuote + " holds more"),
              std::string::npos);

    const std::string utf16 = dir.Write("bom.csv", std::string("\xFF\xFEi\0d\0,\0i\0\x31\0", 12));
    EXPECT_EQ(DetectLayoutOfFile(utf16).error,
              "the file " + utf16 +
                  " is UTF-16 text (by its byte order mark): save it as UTF-8 or plain ASCII "
                  "text and detect again");
    const std::string noMark = dir.Write("nul.csv", std::string("i\0d\0,\0i\0\x31\0\n\0", 12));
    EXPECT_NE(DetectLayoutOfFile(noMark).error.find("(by its NUL bytes)"), std::string::npos);
}

// A ragged row puts a longer cell in a column of responses, which the run
// refuses: that column is no item. A header name two columns share is
// proposed by number.
TEST(LayoutDetection, ProposesOnlyColumnsTheRunTakes) {
    TempDir dir;
    std::string rows = "id,i1,i2,i3\r\n";
    for (int j = 1; j <= 11; ++j) rows += "p" + std::to_string(j) + ",1,0,1\r\n";
    rows += "p12,1,A1\r\n";  // one cell short: its last cells moved left
    const DetectionResult ragged = DetectLayoutOfFile(dir.Write("ragged.csv", rows));
    EXPECT_EQ(ragged.proposal.itemColumns, (std::vector<std::size_t>{1, 3}));
    const DetectionResult twice =
        DetectLayoutOfFile(dir.Write("twice.csv", "id,i1,i1\r\np1,1,0\r\np2,0,1\r\np3,1,1\r\n"));
    EXPECT_EQ(ProposalAsOptions(twice.proposal), "--format csv --id-column id --item-columns 2:3");

    // A row one cell longer than the first: that cell is in no column, and
    // the proposal says so; rows of the first row's width say nothing.
    const auto noted = [](const LayoutProposal& p) {
        return std::count(p.notes.begin(), p.notes.end(),
                          "rows with more cells than the first row: their last cells are in "
                          "no column");
    };
    std::string longer = "id,i1,i2\r\n";
    for (int j = 1; j <= 11; ++j) longer += "p" + std::to_string(j) + ",1,0\r\n";
    const DetectionResult even = DetectLayoutOfFile(dir.Write("even.csv", longer));
    EXPECT_EQ(noted(even.proposal), 0);
    longer += "p12,1,0,1\r\n";
    const DetectionResult oneMore = DetectLayoutOfFile(dir.Write("onemore.csv", longer));
    EXPECT_EQ(noted(oneMore.proposal), 1);
}

// A short text field of a few values beside the ID is proposed as the group;
// a field of many values, of numbers, or the first item is not.
TEST(LayoutDetectionGroups, AShortTextFieldBesideTheIdIsTheGroup) {
    const std::vector<std::string> fixed = {"P001 F  0110101", "P002 M  1110001", "P003    0 10111",
                                            "P004 F  1111111"};
    EXPECT_EQ(ProposalAsOptions(DetectFixedLayout(fixed)),
              "--format fixed --examinee-id-start 1 --examinee-id-length 4 --response-start 9 "
              "--item-count 7 --group-start 6 --group-length 1");
    const auto texts = ProposalAsControlTexts(DetectFixedLayout(fixed));
    EXPECT_EQ(texts.at(control::kGroupStart), "6");
    EXPECT_EQ(texts.at(control::kGroupLength), "1");
    // Many different texts are names, not groups.
    const std::vector<std::string> names = {
        "P001 ann  0110101", "P002 bob  1110001", "P003 cy   0 10111", "P004 dan  1111111",
        "P005 eve  1111111", "P006 fay  1111111", "P007 gus  1111111", "P008 hal  1111111",
        "P009 ida  1111111", "P010 jo   1111111", "P011 kim  1111111"};
    EXPECT_EQ(DetectFixedLayout(names).group.length, 0);

    // A csv file: M and F beside items scored 0..5 are no item.
    std::vector<std::vector<std::string>> rows = {{"id", "sex", "q1", "q2", "q3"},
                                                  {"P1", "M", "0", "5", "3"},
                                                  {"P2", "F", "2", "1", "NA"},
                                                  {"P3", "NA", "4", "4", "0"},
                                                  {"P4", "F", "1", "0", "2"}};
    LayoutProposal p = DetectDelimitedLayout(rows, ResponseFormat::Csv);
    EXPECT_EQ(ProposalAsOptions(p),
              "--format csv --id-column id --item-columns q1:q3 --group-column sex");
    EXPECT_EQ(ProposalAsControlTexts(p).at(control::kGroupStart), "2");
    // Letters beside items answered by letters are the first item.
    rows = {{"id", "q1", "q2"}, {"P1", "A", "B"}, {"P2", "B", "A"}, {"P3", "A", "A"}};
    p = DetectDelimitedLayout(rows, ResponseFormat::Csv);
    EXPECT_FALSE(p.groupColumn);
    EXPECT_EQ(p.itemColumns, (std::vector<std::size_t>{1, 2}));
    // A text column of group names, longer than one character.
    rows = {{"id", "school", "q1", "q2"},
            {"P1", "north", "1", "0"},
            {"P2", "south", "0", "0"},
            {"P3", "north", "1", "1"}};
    EXPECT_EQ(DetectDelimitedLayout(rows, ResponseFormat::Csv).groupColumn, 1u);
}

TEST(LayoutDetectionGroups, GroupTextsAreShortFewAndGivenOnMostRecords) {
    using Texts = std::vector<std::string_view>;
    EXPECT_TRUE(LooksLikeGroups(Texts{"M", "F", " ", "F"}));
    EXPECT_FALSE(LooksLikeGroups(Texts{"M", "M", "M"}));        // one value: no comparison
    EXPECT_FALSE(LooksLikeGroups(Texts{"1", "2", "1"}));        // numbers: no text
    EXPECT_FALSE(LooksLikeGroups(Texts{"M", " ", " ", "NA"}));  // mostly blank
    EXPECT_FALSE(LooksLikeGroups(Texts{"a-rather-long-label", "b"}));
    Texts many = {"a", "b", "c", "d", "e", "f", "g", "h", "i", "j", "k"};
    EXPECT_FALSE(LooksLikeGroups(many));  // eleven values
    many.pop_back();
    EXPECT_TRUE(LooksLikeGroups(many));
}

// The SAPA inventory: sex in column 10 beside the ID, 135 items from 20.
TEST(LayoutDetectionGroups, ThePublicFileProposesItsGroupField) {
    const DetectionResult result =
        DetectLayoutOfFile(std::string(TARVO_SOURCE_DIR) + "/tests/data/polytomous/spi.dat");
    ASSERT_EQ(result.error, "");
    EXPECT_EQ(ProposalAsOptions(result.proposal),
              "--format fixed --examinee-id-start 1 --examinee-id-length 8 --response-start 20 "
              "--item-count 135 --group-start 10 --group-length 1");
}

}  // namespace
}  // namespace tarvo
