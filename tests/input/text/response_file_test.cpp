#include "input/text/response_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "input/text/scoring.h"
#include "support/temp_dir.h"

namespace tarvo {
namespace {

using test_support::TempDir;

TEST(Scoring, BlankAndNineAreMissingBeforeTheKeyIsConsulted) {
    struct Case {
        char response, key;
        std::uint8_t code;
    };
    const std::vector<Case> cases = {
        {'1', '1', 1}, {'0', '1', 0}, {'2', '1', 0},  {'A', '1', 0}, {' ', '1', 9}, {'9', '1', 9},
        {'A', 'A', 1}, {'a', 'A', 0}, {'\t', ' ', 0}, {' ', ' ', 9}, {'9', '9', 9}, {'x', ' ', 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ScoreResponse(c.response, c.key), c.code)
            << "response '" << c.response << "' key '" << c.key << "'";
    }
}

TEST(Scoring, KeyIdentifierStartsWithKeyInAnyCase) {
    for (const char* id : {"KEY", "key01", "Key  ", "kEy"}) EXPECT_TRUE(IsKeyIdentifier(id)) << id;
    for (const char* id : {"", "KE", " KEY", "KEX", "ke"}) EXPECT_FALSE(IsKeyIdentifier(id)) << id;
}

TEST(Scoring, OnlyAFieldOfItemCountBlanksIsBlank) {
    EXPECT_TRUE(IsBlankResponseField("    ", 4));
    EXPECT_TRUE(IsBlankResponseField("", 0));
    EXPECT_FALSE(IsBlankResponseField("   1", 4));
    EXPECT_FALSE(IsBlankResponseField("", 4));  // field at column 0
}

// Identifier in columns 1-5, theta in 7-12, responses from column 14.
RunSettings ResponseSettings(std::uint16_t itemCount) {
    RunSettings settings;
    settings.itemCount = itemCount;
    settings.examineeIdField = {1, 5};
    settings.thetaField = {7, 6};
    settings.responseStart = 14;
    return settings;
}

PersonTable ReadPersons(const std::string& bytes, const RunSettings& settings,
                        const ResponseReading& extras = {}) {
    TempDir dir;
    PersonTable persons;
    EXPECT_EQ(ReadResponseFile(dir.Write("resp.dat", bytes), settings, persons, extras),
              ReadStatus::Read);
    return persons;
}

// The codes of examinee j as a text such as "1009".
std::string Codes(const PersonTable& persons, std::size_t j) {
    std::string text;
    for (std::uint8_t code : persons.ResponsesOf(j)) text += static_cast<char>('0' + code);
    return text;
}

void ExpectFitted(const PersonTable& persons, std::size_t personCount, std::size_t itemCount) {
    EXPECT_EQ(persons.personCount(), personCount);
    EXPECT_EQ(persons.itemCount, itemCount);
    EXPECT_EQ(persons.ExaminID.size(), personCount);
    EXPECT_EQ(persons.responses.size(), personCount * itemCount);
    EXPECT_EQ(persons.seetheta, std::vector<double>(personCount, 0.0));
    EXPECT_EQ(persons.Nvalid, std::vector<std::int32_t>(personCount, 0));
}

TEST(ResponseFile, DefaultKeyScoresOneAsCorrect) {
    const PersonTable persons =
        ReadPersons("P0001 -1.25  102A 9\r\nP0002  0.5   1111\r\n", ResponseSettings(6));
    ExpectFitted(persons, 2, 6);
    EXPECT_EQ(persons.ExaminID[0], "P0001");
    EXPECT_EQ(persons.theta[0], -1.25);
    EXPECT_EQ(Codes(persons, 0), "100099");
    EXPECT_EQ(Codes(persons, 1), "111199");  // short line: blanks beyond its end
    EXPECT_EQ(persons.theta[1], 0.5);
}

// A polytomous run: "+" items by their digit, others by key; without a key
// every item by its digit. A classic run keeps "+" an ordinary key byte.
TEST(ResponseFile, PlusKeyedItemsAreScoredByTheirDigit) {
    const std::string bytes =
        "KEY00        A+1+\r\n"
        "E0001        A3 8\r\n"
        "E0002        B90x\r\n";
    ResponseReading byDigit;
    byDigit.byDigit = true;
    const PersonTable poly = ReadPersons(bytes, ResponseSettings(4), byDigit);
    EXPECT_EQ(Codes(poly, 0), "1398");
    EXPECT_EQ(Codes(poly, 1), "0909");
    const PersonTable classic = ReadPersons(bytes, ResponseSettings(4));
    EXPECT_EQ(Codes(classic, 0), "1090");
    const PersonTable unkeyed = ReadPersons("E0001        2057\r\n", ResponseSettings(4), byDigit);
    EXPECT_EQ(Codes(unkeyed, 0), "2057");
}

TEST(ResponseFile, KeyRecordBeforeTheFirstExamineeSetsTheKey) {
    const PersonTable persons = ReadPersons(
        "KEY00        ZZZZ\r\n"
        "key01        ABCD\r\n"  // the last key record before examinee 1 wins
        "E0001  1.0   ABDA\r\n"
        "KEY02        ABCD\r\n"   // after examinee 1: an ordinary examinee
        "E0003        abcd\r\n",  // case matters
        ResponseSettings(4));
    ExpectFitted(persons, 3, 4);
    EXPECT_EQ(persons.ExaminID[0], "E0001");
    EXPECT_EQ(Codes(persons, 0), "1100");
    EXPECT_EQ(persons.ExaminID[1], "KEY02");
    EXPECT_EQ(Codes(persons, 1), "1111");
    EXPECT_EQ(Codes(persons, 2), "0000");
}

TEST(ResponseFile, KeyBlankOrNineIsNeverMatched) {
    const PersonTable persons = ReadPersons(
        "KEY          AB 9\r\nE0001        AB A\r\nE0002        ABX9\r\n", ResponseSettings(4));
    ExpectFitted(persons, 2, 4);
    EXPECT_EQ(Codes(persons, 0), "1190");
    EXPECT_EQ(Codes(persons, 1), "1109");
}

TEST(ResponseFile, ShortIdentifierFieldNeverMakesAKey) {
    RunSettings settings = ResponseSettings(4);
    settings.examineeIdField = {1, 2};
    const PersonTable persons = ReadPersons("KEY01        1010\r\n", settings);
    ExpectFitted(persons, 1, 4);
    EXPECT_EQ(persons.ExaminID[0], "KE");
    EXPECT_EQ(Codes(persons, 0), "1010");

    settings.examineeIdField = {0, 0};
    const PersonTable noIds = ReadPersons("KEY01        1010\r\n", settings);
    ExpectFitted(noIds, 1, 4);
    EXPECT_EQ(noIds.ExaminID[0], "");
}

TEST(ResponseFile, BlankResponseFieldsAreSkipped) {
    const PersonTable persons = ReadPersons(
        "\r\n"
        "KEY01  2.0       \r\n"  // not even a key without responses
        "P0001  1.5\r\n"
        "P0002  0.5   0110\r\n"
        "P0002        1\r\n",  // the same identifier twice: two examinees
        ResponseSettings(4));
    ExpectFitted(persons, 2, 4);
    EXPECT_EQ(persons.ExaminID[0], "P0002");
    EXPECT_EQ(Codes(persons, 0), "0110");
    EXPECT_EQ(persons.ExaminID[1], "P0002");
    EXPECT_EQ(Codes(persons, 1), "1999");
}

TEST(ResponseFile, FieldsAreCutFromTheLengthenedLine) {
    RunSettings settings = ResponseSettings(2);
    settings.responseStart = 1;
    settings.examineeIdField = {3, 4};  // lies beyond every line end
    settings.thetaField = {0, 0};
    const PersonTable persons = ReadPersons("10\r\n1", settings);
    ExpectFitted(persons, 2, 2);
    EXPECT_EQ(persons.ExaminID[0], " ");  // one blank of lengthening
    EXPECT_EQ(Codes(persons, 0), "10");
    EXPECT_EQ(Codes(persons, 1), "19");
    EXPECT_EQ(persons.theta[1], 0.0);
}

TEST(ResponseFile, KeepsEveryRecordInFileOrder) {
    std::string bytes;
    for (int j = 1; j <= 301; ++j) {
        char line[32];
        std::snprintf(line, sizeof line, "%05d %6.2f %04d\r\n", j, j * 0.25, j % 2 ? 1010 : 101);
        bytes += line;
    }
    const PersonTable persons = ReadPersons(bytes, ResponseSettings(4));
    ExpectFitted(persons, 301, 4);
    for (std::size_t j = 0; j < 301; ++j) {
        char id[8];
        std::snprintf(id, sizeof id, "%05zu", j + 1);
        ASSERT_EQ(persons.ExaminID[j], id);
        ASSERT_EQ(persons.theta[j], static_cast<double>(j + 1) * 0.25);
        ASSERT_EQ(Codes(persons, j), j % 2 ? "0101" : "1010");
    }
}

TEST(ResponseFile, ResponseStartZeroMakesEveryLineAnExamineeWithoutResponses) {
    RunSettings settings = ResponseSettings(3);
    settings.responseStart = 0;
    const PersonTable persons = ReadPersons("A0001  1.0   101\r\n\r\nKEY\r\n", settings);
    ExpectFitted(persons, 3, 3);
    EXPECT_EQ(persons.ExaminID[0], "A0001");
    EXPECT_EQ(persons.ExaminID[1], "   ");
    // No response character is there: each code is that of empty text, 0.
    for (std::size_t j = 0; j < 3; ++j) EXPECT_EQ(Codes(persons, j), "000");
}

TEST(ResponseFile, ItemCountZeroAcceptsNoExaminee) {
    ExpectFitted(ReadPersons("P0001  1.0   1010\r\n\r\n", ResponseSettings(0)), 0, 0);
    RunSettings settings = ResponseSettings(0);
    settings.responseStart = 0;
    ExpectFitted(ReadPersons("P0001  1.0   1010\r\n", settings), 0, 0);
}

TEST(ResponseFile, LineEndsAndEndOfData) {
    // Line feeds alone end lines; byte 26 ends the data.
    const PersonTable persons =
        ReadPersons("P0001        1\nP0002        0\rP0003        1\x1aP0004        1\r\n",
                    ResponseSettings(1));
    ExpectFitted(persons, 3, 1);
    EXPECT_EQ(persons.ExaminID[2], "P0003");
}

TEST(ResponseFile, FileThatCannotBeReadSaysSo) {
    TempDir dir;
    std::vector<std::string> unreadable = {dir.path().string(), (dir.path() / "none").string()};
    if (::geteuid() != 0) {  // permission bits do not stop root
        unreadable.push_back(dir.Write("locked.dat", "P0001  1.0   1010\r\n"));
        ::chmod(unreadable.back().c_str(), 0);
    }
    for (const std::string& path : unreadable) {
        SCOPED_TRACE(path);
        PersonTable persons;
        persons.theta = {1.0};  // replaced, not added to
        EXPECT_EQ(ReadResponseFile(path, ResponseSettings(4), persons), ReadStatus::CannotRead);
        ExpectFitted(persons, 0, 4);
    }
}

TEST(ResponseFile, OnlyTheColumnsOfTheFieldsAreKept) {
    // A first line of megabytes beyond its fields, without a line end before
    // the next record: the fields and the next line are read as ever.
    std::string bytes = "P0001  1.5   1010" + std::string(3'000'000, '1') + "\r\n";
    bytes += "P0002 -0.5   0101" + std::string(70'000, 'x');  // no line end at all
    const PersonTable persons = ReadPersons(bytes, ResponseSettings(4));
    ExpectFitted(persons, 2, 4);
    EXPECT_EQ(persons.ExaminID[1], "P0002");
    EXPECT_EQ(persons.theta[0], 1.5);
    EXPECT_EQ(persons.theta[1], -0.5);
    EXPECT_EQ(Codes(persons, 0), "1010");
    EXPECT_EQ(Codes(persons, 1), "0101");
}

TEST(ResponseFile, ShortLinesWithTheLargestItemCount) {
    // Lines end long before the 65,535 response columns: the missing columns
    // are blanks, so a line with no response there is skipped and the others
    // get 9 for every item past their end. A short key record is lengthened
    // with blanks too, and a theta cut short by the line end reads as it is.
    std::string bytes = "KEY01        AB\r\n";
    for (int j = 0; j < 2000; ++j) bytes += "P" + std::to_string(10000 + j) + "  2.5\r\n";
    bytes += "P0001  -1\r\nP0002  0.25  BB 9\r\n";
    const PersonTable persons = ReadPersons(bytes, ResponseSettings(65535));
    ExpectFitted(persons, 1, 65535);
    EXPECT_EQ(persons.ExaminID[0], "P0002");
    EXPECT_EQ(persons.theta[0], 0.25);
    const std::string codes = Codes(persons, 0);
    EXPECT_EQ(codes.substr(0, 5), "01999");
    EXPECT_EQ(codes.find_first_not_of('9', 2), std::string::npos);

    RunSettings wideTheta = ResponseSettings(4);
    wideTheta.thetaField = {7, 65535};
    const PersonTable cut = ReadPersons("P0003  -1.25 1 1", wideTheta);
    ExpectFitted(cut, 1, 4);
    EXPECT_EQ(cut.theta[0], -1.25);
}

// ID in columns 1-5, four responses from column 7, the group in 12-14.
TEST(ResponseFileGroups, TrimmedLabelsInOrderOfFirstAppearanceAndBlankIsNoGroup) {
    RunSettings settings;
    settings.itemCount = 4;
    settings.examineeIdField = {1, 5};
    settings.responseStart = 7;
    ResponseReading grouped;
    grouped.groupField = {12, 3};
    const std::string bytes =
        "KEY01 1111 ZZ\r\n"  // the key record is no examinee and has no group
        "E0001 1010 F\r\n"
        "E0002 0101  M \r\n"
        "E0003 1100\r\n"  // the line ends before the field: no group
        "\r\n"
        "E0004 0011 F\t\r\n"
        "E0005 1111 M F\r\n"  // a blank inside a label is kept
        "E0006 1111    \r\n";
    const PersonTable persons = ReadPersons(bytes, settings, grouped);
    ExpectFitted(persons, 6, 4);
    const std::int32_t none = PersonTable::kNoGroup;
    EXPECT_EQ(persons.group, (std::vector<std::int32_t>{0, 1, none, 0, 2, none}));
    EXPECT_EQ(persons.groupLabels, (std::vector<std::string>{"F", "M", "M F"}));

    // Without a group field neither is filled.
    const PersonTable plain = ReadPersons(bytes, settings);
    EXPECT_TRUE(plain.group.empty());
    EXPECT_TRUE(plain.groupLabels.empty());
}

// The SAPA inventory's sex in column 10 (tests/data/polytomous/README.md).
TEST(ResponseFileGroups, PublicFileCountsEachGroup) {
    RunSettings settings;
    settings.responseFile = TARVO_SOURCE_DIR "/tests/data/polytomous/spi.dat";
    settings.itemCount = 135;
    settings.examineeIdField = {1, 8};
    settings.responseStart = 20;
    ResponseReading grouped;
    grouped.groupField = {10, 1};
    PersonTable persons;
    ASSERT_EQ(ReadResponseFile(settings.responseFile, settings, persons, grouped),
              ReadStatus::Read);
    ASSERT_EQ(persons.personCount(), 4000u);
    ASSERT_EQ(persons.group.size(), 4000u);
    // The first examinee's sex is unknown, the second's F.
    ASSERT_EQ(persons.groupLabels, (std::vector<std::string>{"F", "M"}));
    EXPECT_EQ(std::count(persons.group.begin(), persons.group.end(), 0), 2348);
    EXPECT_EQ(std::count(persons.group.begin(), persons.group.end(), 1), 1598);
    EXPECT_EQ(std::count(persons.group.begin(), persons.group.end(), PersonTable::kNoGroup), 54);
}

}  // namespace
}  // namespace tarvo
