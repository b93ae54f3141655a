#include "input/delimited_records.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace tarvo {
namespace {

using test_support::TempDir;
using Rows = std::vector<std::vector<std::string>>;

Rows ReadRows(const std::string& path, char delimiter, std::size_t bufferSize) {
    DelimitedRecords records(path, delimiter, bufferSize);
    Rows rows;
    while (records.Next()) {
        std::vector<std::string>& row = rows.emplace_back();
        for (std::size_t k = 0; k < records.CellCount(); ++k) row.emplace_back(records.Cell(k));
        EXPECT_EQ(records.RecordNumber(), rows.size());
    }
    return rows;
}

struct RecordCase {
    std::string bytes;
    Rows rows;
};

TEST(DelimitedRecords, ReadsRecordsAsRfc4180WhateverTheBufferSize) {
    const std::vector<RecordCase> cases = {
        {"", {}},
        {"a,b,c", {{"a", "b", "c"}}},
        {"a,b\r\nc,d\r\n", {{"a", "b"}, {"c", "d"}}},
        {"a,b\nc,d\n", {{"a", "b"}, {"c", "d"}}},         // line feeds alone
        {"a,b\rc,d", {{"a", "b"}, {"c", "d"}}},           // carriage returns alone
        {"a,,c,\r\n", {{"a", "", "c", ""}}},              // empty cells, one at the end
        {"a\r\n\r\nb", {{"a"}, {""}, {"b"}}},             // an empty line is one empty cell
        {"\"a,b\",c", {{"a,b", "c"}}},                    // a delimiter inside quotes
        {"\"x\r\ny\",z\r\n", {{"x\r\ny", "z"}}},          // a line break inside quotes, kept
        {"\"say \"\"hi\"\"\",2", {{"say \"hi\"", "2"}}},  // doubled quotes
        {"\"\",\"\"\"\"", {{"", "\""}}},
        {"ab\"c,d", {{"ab\"c", "d"}}},                // a quote inside an unquoted cell
        {"\"ab\"cd,e", {{"abcd", "e"}}},              // text after the closing quote is kept
        {" a , b ", {{" a ", " b "}}},                // blanks belong to the cell
        {"\xEF\xBB\xBFid,i1\r\n", {{"id", "i1"}}},    // a byte order mark is passed over
        {"a,\xEF\xBB\xBF", {{"a", "\xEF\xBB\xBF"}}},  // elsewhere it is text
    };
    TempDir dir;
    for (const std::size_t bufferSize : {1u, 2u, 3u, 65536u}) {
        for (const RecordCase& c : cases) {
            const std::string path = dir.Write("rows.csv", c.bytes);
            EXPECT_EQ(ReadRows(path, ',', bufferSize), c.rows)
                << ::testing::PrintToString(c.bytes) << " buffer " << bufferSize;
        }
    }
}

TEST(DelimitedRecords, TabsSeparateOnlyWithTheTabDelimiter) {
    TempDir dir;
    const std::string path = dir.Write("rows.tsv", "a\tb,c\t\"d\te\"\r\n");
    EXPECT_EQ(ReadRows(path, '\t', 65536), (Rows{{"a", "b,c", "d\te"}}));
    EXPECT_EQ(ReadRows(path, ',', 65536), (Rows{{"a\tb", "c\t\"d\te\""}}));
}

TEST(DelimitedRecords, SaysWhenTheLastQuoteIsLeftOpen) {
    TempDir dir;
    DelimitedRecords open(dir.Write("open.csv", "a,b\r\nc,\"d\r\ne,f"), ',');
    ASSERT_TRUE(open.Next());
    EXPECT_FALSE(open.QuoteLeftOpen());
    ASSERT_TRUE(open.Next());
    EXPECT_TRUE(open.QuoteLeftOpen());
    EXPECT_EQ(open.Cell(1), "d\r\ne,f");
    EXPECT_FALSE(open.Next());

    DelimitedRecords closed(dir.Write("closed.csv", "\"a\""), ',');
    ASSERT_TRUE(closed.Next());
    EXPECT_FALSE(closed.QuoteLeftOpen());

    DelimitedRecords missing(dir.File("none.csv"), ',');
    EXPECT_FALSE(missing.Next());
    EXPECT_EQ(missing.Status(), ReadStatus::CannotRead);
}

}  // namespace
}  // namespace tarvo
