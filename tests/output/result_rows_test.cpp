#include "output/result_rows.h"

#include <gtest/gtest.h>

#include <string>

namespace tarvo {
namespace {

using namespace std::string_literals;

// Item 3 of the usual example: MATH03, 250 observations.
ItemRow ExampleItem() {
    ItemRow row;
    row.seq = 3;
    row.AccNo = "MATH03";
    row.Nobs = 250;
    row.a = 1.2346;
    row.b = -0.5;
    row.c = 0.2;
    row.seea = 0.1234;
    row.seeb = 0.05;
    row.seec = 0.0312;
    return row;
}

TEST(ItemHeader, IsExactForEveryMode) {
    EXPECT_EQ(ItemHeader(2), "SeqItem,AccNo, Nobs, a_calib, b_calib, c_calib, seea, seeb, seec");
    EXPECT_EQ(ItemHeader(3), "SeqItem,AccNo, Nobs, a_calib, b_calib,c_calib, seea, seeb, seec");
    EXPECT_EQ(ItemHeader(4), "SeqItem,AccNo, Nobs, a_calib, b_calib, c_given, seea, seeb, seec");
    EXPECT_EQ(ItemHeader(5), "SeqItem,AccNo, Nobs, a_calib, b_calib,c_given, seea, seeb, seec");
    EXPECT_EQ(ItemHeader(6), "SeqItem,AccNo, Nobs, b_calib, seeb");
    EXPECT_EQ(ItemHeader(8), "SeqItem,AccNo, Nobs, b_calib, seeb");
    EXPECT_EQ(ItemHeader(1), "");
    EXPECT_EQ(ItemHeader(7), "");
}

TEST(ItemRowCsv, ThreeParameterAndOneParameterRows) {
    const ItemRow row = ExampleItem();
    EXPECT_EQ(ItemRowLeadCsv(row), "   3, MATH03,  250,");
    for (int mode : {2, 3, 4, 5}) {
        EXPECT_EQ(ItemRowValuesCsv(mode, row), "  1.235, -0.500,  0.200,  0.123,  0.050,  0.031")
            << "mode " << mode;
    }
    for (int mode : {6, 8}) {
        EXPECT_EQ(ItemRowValuesCsv(mode, row), " -0.500,  0.050") << "mode " << mode;
    }
}

TEST(ItemRowCsv, LeadFieldsKeepIdentifierBytesAndWiden) {
    ItemRow row = ExampleItem();
    row.seq = 1;
    row.AccNo = "";
    EXPECT_EQ(ItemRowLeadCsv(row), "   1, ,  250,");
    row.AccNo = "MATH03";
    row.Nobs = 12000;
    EXPECT_EQ(ItemRowLeadCsv(row), "   1, MATH03, 12000,");
    row.Nobs = 250;
    row.AccNo = "Q7  ";  // blanks from a wide identifier field stay
    EXPECT_EQ(ItemRowLeadCsv(row), "   1, Q7  ,  250,");
    // Bytes stay as read, but a line end would break the row: '?'.
    const std::string bytes = "A\0\xE9\r\n,\"\x1a"s;
    row.AccNo = bytes;
    EXPECT_EQ(ItemRowLeadCsv(row), "   1, A\0\xE9??,\"?,  250,"s);
}

TEST(ItemListing, FourLineEntry) {
    ItemRow row = ExampleItem();
    row.seec = -1;
    EXPECT_EQ(ItemListingLine1(row), "   3  MATH03");
    EXPECT_EQ(ItemListingLine2(row), "  compu a,b,c=  1.235 -0.500  0.200");
    EXPECT_EQ(ItemListingLine3(row), "        see =   0.123  0.050 -1.000   Nobs= 250 ");
    row.Nobs = 123456;  // a plain integer, not a mask
    EXPECT_EQ(ItemListingLine3(row), "        see =   0.123  0.050 -1.000   Nobs= 123456 ");
}

TEST(PersonRows, HeaderAndExamples) {
    EXPECT_EQ(PersonHeader(), " SeqID,    ExaminID,Nvalid,   theta, seetheta");
    EXPECT_EQ(PersonRow(1, "A001", 40, 0.1234, 0.35),
              "    1,         A001,   40,   0.1234,   0.3500");
    EXPECT_EQ(PersonRow(12, "STUDENT-0012X", 40, -1.5, 0.41234),
              "   12, STUDENT-0012,   40,  -1.5000,   0.4123");
}

TEST(PersonRows, IdentifierFieldIsExactlyTwelveCharacters) {
    struct Case {
        std::string id;
        std::string field;
    };
    const Case cases[] = {
        {"", "            "},
        {"ABCDEFGHIJKL", "ABCDEFGHIJKL"},
        {"ABCDEFGHIJKLM", "ABCDEFGHIJKL"},
        {"A001    ", "    A001    "},
        {"\xE9t\0d"s, "        \xE9t\0d"s},
        {"P0\r\n03\x1a\t"s, "    P0??03?\t"s},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(PersonRow(1, c.id, 40, 0, 0), "    1, " + c.field + ",   40,   0.0000,   0.0000")
            << "identifier \"" << c.id << "\"";
    }
}

TEST(PersonRows, WideNumbersAndNegativeZeroTheta) {
    EXPECT_EQ(PersonRow(123456, "A", 12345, -0.00004, 99),
              "123456,            A, 12345,  -0.0000,  99.0000");
}

TEST(IsCsvLayout, ComparesTheLastFourCharactersIgnoringCase) {
    struct Case {
        std::string_view name;
        bool csv;
    };
    const Case cases[] = {
        {"out.csv", true},    {"OUT.CSV", true},  {"Out.Csv", true}, {".csv", true},
        {"dir.csv/a", false}, {"out.txt", false}, {"out", false},    {"out.csv ", false},
        {"a.c", false},       {"", false},        {"csv", false},    {"x.CSv", true},
    };
    for (const Case& c : cases) EXPECT_EQ(IsCsvLayout(c.name), c.csv) << "\"" << c.name << "\"";
}

}  // namespace
}  // namespace tarvo
