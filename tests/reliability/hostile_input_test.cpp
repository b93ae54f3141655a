// Inputs that no well-meaning export would produce: huge counts, raw bytes in
// identifiers, a lone key record, fields past the line end, numbers that are
// not numbers and item parameters outside any sensible range. Every run must
// finish, and what it writes must be what the rules give.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cmath>
#include <iterator>

#include "estimation/polytomous/inputs/item_models_file.h"
#include "estimation/polytomous/inputs/poly_item_file.h"
#include "input/format/key_file.h"
#include "linking/forms/common_items.h"
#include "linking/forms/form_reader.h"
#include "reliability/result_checks.h"
#include "request/job_file.h"
#include "support/run_fixture.h"
#include "support/run_request.h"

namespace tarvo {
namespace {

using test_support::RunClassic;

using test_support::CrLfLines;
using test_support::FieldNumber;
using test_support::Fields;
using test_support::RunFixture;

// The lines of the result of a run that must finish (or write its result
// and say that it had nothing to estimate).
std::vector<std::string> FinishedLines(RunFixture& data, test_support::ScriptedHost& host,
                                       const std::string& outputName = "out.csv",
                                       RunEnd end = RunEnd::Finished) {
    EXPECT_EQ(RunClassic(host), end);
    EXPECT_TRUE(host.messages.empty());
    bool allCrLf = false;
    const auto lines = CrLfLines(data.Output(outputName), &allCrLf);
    EXPECT_TRUE(allCrLf);
    return lines;
}

std::vector<std::string> Tail(const std::vector<std::string>& lines, std::size_t from) {
    return from < lines.size() ? std::vector<std::string>(lines.begin() + from, lines.end())
                               : std::vector<std::string>();
}

// Lines of a response file in the sample layout: identifier in columns 1-8,
// theta in 12-18, responses from column 20.
std::string ResponseLine(const std::string& id, const std::string& theta,
                         const std::string& responses) {
    std::string line = id;
    line.resize(11, ' ');
    line += theta;
    line.resize(19, ' ');
    return line + responses + "\r\n";
}

// An item parameter line: identifier in 1-8, a in 22-30, b in 32-40, c in 42-50.
std::string ItemLine(const std::string& id, const std::string& a, const std::string& b,
                     const std::string& c) {
    std::string line = id;
    line.resize(21, ' ');
    line += a;
    line.resize(31, ' ');
    line += b;
    line.resize(41, ' ');
    return line + c + "\r\n";
}

// Person rows: theta within the bounds of ability estimation, standard
// errors within 0..99, and the count of valid responses as given.
void ExpectBoundedPersonRows(const std::vector<std::string>& rows,
                             const std::vector<int>& validCounts) {
    ASSERT_EQ(rows.size(), validCounts.size());
    for (std::size_t k = 0; k < rows.size(); ++k) {
        SCOPED_TRACE(rows[k]);
        const auto fields = Fields(rows[k]);
        ASSERT_EQ(fields.size(), 5u);
        EXPECT_EQ(FieldNumber(fields[2]), validCounts[k]);
        const double theta = FieldNumber(fields[3]);
        const double seetheta = FieldNumber(fields[4]);
        EXPECT_TRUE(theta >= -3 && theta <= 3);
        EXPECT_TRUE(seetheta >= 0 && seetheta <= 99);
    }
}

// Item rows of the items-only modes: a is 0 or within 0.0001..2 (shown with
// three decimals), b within -5..5, and each standard error -1 or within 0..99.
void ExpectBoundedItemRows(const std::vector<std::string>& rows, int mode) {
    for (const auto& row : rows) {
        SCOPED_TRACE(row);
        const auto fields = Fields(row);
        if (mode == 8) {
            ASSERT_EQ(fields.size(), 5u);
            const double b = FieldNumber(fields[3]);
            const double seeb = FieldNumber(fields[4]);
            EXPECT_TRUE(b >= -5 && b <= 5);
            EXPECT_TRUE(seeb == -1 || (seeb >= 0 && seeb <= 99));
            continue;
        }
        ASSERT_EQ(fields.size(), 9u);
        const double a = FieldNumber(fields[3]);
        const double b = FieldNumber(fields[4]);
        const double c = FieldNumber(fields[5]);
        EXPECT_TRUE(a >= 0 && a <= 2);
        EXPECT_TRUE(b >= -5 && b <= 5);
        if (mode == 2) {
            EXPECT_TRUE(c >= 0 && c <= 1);
        } else {
            EXPECT_FALSE(std::isnan(c));  // the given c, whatever it is
        }
        for (int k = 6; k < 9; ++k) {
            const double se = FieldNumber(fields[k]);
            EXPECT_TRUE(se == -1 || (se >= 0 && se <= 99));
        }
    }
}

TEST(HostileInput, ExamineesBeyondSixteenBitCounts) {
    constexpr int kPersons = 70000;
    RunFixture data(kPersons, 3);
    data.WriteFiles();
    for (const int mode : {1, 8}) {
        SCOPED_TRACE(mode);
        auto host = data.Host(mode);
        const auto lines = FinishedLines(data, host);
        if (mode == 1) {
            ASSERT_EQ(lines.size(), 1u + kPersons);
            EXPECT_EQ(lines[65536].substr(0, 20), "65536,     P0065536,");
            EXPECT_EQ(lines[kPersons].substr(0, 20), "70000,     P0070000,");
        } else {
            ASSERT_EQ(lines.size(), 1u + 3);
            for (std::size_t i = 1; i <= 3; ++i) {
                EXPECT_EQ(FieldNumber(Fields(lines[i])[2]), kPersons) << lines[i];
            }
        }
    }
}

TEST(HostileInput, ThousandsOfItems) {
    constexpr int kItems = 5000;
    RunFixture data(30, kItems);
    data.WriteFiles();
    auto thetaOnly = data.Host(1);
    const auto persons = FinishedLines(data, thetaOnly);
    ExpectBoundedPersonRows(Tail(persons, 1), std::vector<int>(30, kItems));

    auto itemsOnly = data.Host(8);
    const auto items = FinishedLines(data, itemsOnly);
    ASSERT_EQ(items.size(), 1u + kItems);
    ExpectBoundedItemRows(Tail(items, 1), 8);
}

TEST(HostileInput, IdentifierBytesAreWrittenBackUnchanged) {
    // Any byte but the line ends (13, 10) and the end of data (26).
    const std::string examinees[] = {
        std::string("A\0B\xff\x80\xe9\t!", 8),
        std::string("\0\0\0\0ABCD", 8),
        std::string(8, '\xff'),
        "x,y;\"z\"",
    };
    const std::string accNos[] = {std::string("I\0\x01\x7f\xc3\xa9", 6),
                                  std::string("\xfe\xff\0\0", 4)};

    RunFixture data(0, 0);
    std::string responses;
    for (int j = 0; j < 40; ++j) {
        responses += ResponseLine(examinees[j % 4], "0", j % 3 ? "10" : "01");
    }
    test_support::WriteFile(data.responseFile(), responses);
    test_support::WriteFile(data.itemFile(), ItemLine(accNos[0], "1", "0", "0.2") +
                                                 ItemLine(accNos[1], "1", "0", "0.2"));

    auto joint = data.Host(3);
    joint.texts[control::kItemCount] = "2";
    const auto lines = FinishedLines(data, joint);
    ASSERT_EQ(lines.size(), 1u + 2 + 1 + 1 + 40);
    for (std::size_t i = 0; i < 2; ++i) {
        std::string accNo = accNos[i];
        accNo.resize(8, ' ');  // the field's blanks are part of the identifier
        EXPECT_EQ(lines[1 + i].substr(0, 16), "   " + std::to_string(i + 1) + ", " + accNo + ", ");
    }
    for (std::size_t j = 0; j < 40; ++j) {
        std::string id = examinees[j % 4];
        id.resize(8, ' ');
        EXPECT_EQ(lines[5 + j].substr(7, 14), "    " + id + ", ") << j;
    }

    auto listing = data.Host(2, "out.txt");
    listing.texts[control::kItemCount] = "2";
    const auto entries = FinishedLines(data, listing, "out.txt");
    ASSERT_EQ(entries.size(), 8u);
    EXPECT_EQ(entries[0], std::string("   1  I\0\x01\x7f\xc3\xa9  ", 14));
    EXPECT_EQ(entries[4], std::string("   2  \xfe\xff\0\0    ", 14));
}

TEST(HostileInput, OnlyAKeyRecord) {
    // Mode, then the lines of the result: the header alone, the item rows
    // with no observations, or both sections without a person row.
    const struct {
        int mode;
        std::size_t lines;
    } cases[] = {{1, 1}, {7, 1}, {2, 5}, {4, 5}, {8, 5}, {3, 7}, {5, 7}, {6, 7}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mode);
        RunFixture data(0, 4);
        data.WriteFiles();
        test_support::WriteFile(data.responseFile(), ResponseLine("KEY01", "0.5", "ABCD"));
        auto host = data.Host(c.mode);
        // The result is written by the rules; the run says it had no examinee.
        const auto lines = FinishedLines(data, host, "out.csv", RunEnd::NothingToEstimate);
        ASSERT_EQ(lines.size(), c.lines);
        if (c.mode == 2 || c.mode == 4 || c.mode == 8) {
            for (const auto& row : Tail(lines, 1)) {
                const auto fields = Fields(row);
                EXPECT_EQ(FieldNumber(fields[2]), 0) << row;
                EXPECT_EQ(fields.back(), " -1.000") << row;
            }
        }
        if (c.lines != 5) {
            EXPECT_EQ(lines.back(), test_support::kPersonHeader);
        }
    }
}

TEST(HostileInput, FieldsBeyondTheLineEnd) {
    RunFixture data(25, 4);
    data.WriteFiles();

    // Identifier and theta past every line: blank identifiers, theta 0.
    auto host = data.Host(1);
    host.texts[control::kExamineeIdStart] = "200";
    host.texts[control::kThetaStart] = "65535";
    host.texts[control::kThetaLength] = "65535";
    const auto lines = FinishedLines(data, host);
    ASSERT_EQ(lines.size(), 26u);
    for (const auto& row : Tail(lines, 1)) EXPECT_EQ(row.substr(5, 16), ",             , ");
    ExpectBoundedPersonRows(Tail(lines, 1), std::vector<int>(25, 4));

    // Item fields past every line: a, b and c are 0 and AccNo is empty.
    auto items = data.Host(4);
    for (const int id :
         {control::kItemIdStart, control::kAStart, control::kBStart, control::kCStart}) {
        items.texts[id] = "65535";
    }
    items.texts[control::kCLength] = "65535";
    const auto itemRows = FinishedLines(data, items);
    ASSERT_EQ(itemRows.size(), 5u);
    for (const auto& row : Tail(itemRows, 1)) EXPECT_EQ(Fields(row)[1], " ") << row;
    ExpectBoundedItemRows(Tail(itemRows, 1), 4);

    // Responses past every line: all blank, so no examinee at all.
    auto none = data.Host(3);
    none.texts[control::kResponseStart] = "65535";
    none.texts[control::kItemCount] = "-1";  // 65,535 items
    EXPECT_EQ(FinishedLines(data, none, "out.csv", RunEnd::NothingToEstimate).size(),
              1u + 65535 + 1 + 1);

    // 65,535 items from column 20 of short lines: the items past the end
    // are missing, the four that are there count.
    auto wide = data.Host(7);
    wide.texts[control::kItemCount] = "-1";
    const auto wideRows = FinishedLines(data, wide);
    ExpectBoundedPersonRows(Tail(wideRows, 1), std::vector<int>(25, 4));
}

TEST(HostileInput, ThetaTextThatIsNoOrdinaryNumber) {
    const std::string thetas[] = {
        "1E999", "-1E999", "NaN", "-nan", "inf", "1E-999", "&HFFFFFFFFFFFFFFFFFFFFFFFF",
        "-.",    "1D308",  "-0"};
    RunFixture data(0, 5);
    data.WriteFiles();
    std::string responses;
    for (int j = 0; j < 60; ++j) {
        std::string row;
        for (int i = 0; i < 5; ++i) row += ((j * 7 + i * 3) % 5 < 2) ? '1' : '0';
        responses += ResponseLine("E" + std::to_string(j), thetas[j % 10], row);
    }
    test_support::WriteFile(data.responseFile(), responses);
    for (const int mode : {2, 4, 8}) {
        SCOPED_TRACE(mode);
        auto host = data.Host(mode);
        const auto lines = FinishedLines(data, host);
        ASSERT_EQ(lines.size(), 6u);
        ExpectBoundedItemRows(Tail(lines, 1), mode);
    }
}

TEST(HostileInput, ItemParametersOutsideAnySensibleRange) {
    const struct {
        const char* a;
        const char* b;
        const char* c;
    } parameters[] = {{"0", "0", "0"},           {"-1", "0", "0"},
                      {"1E300", "0", "0"},       {"1", "1E300", "0"},
                      {"1", "-1E300", "0"},      {"1", "0", "1"},
                      {"1", "0", "-5"},          {"1", "0", "2"},
                      {"1E999", "0", "0"},       {"-1E999", "1E999", "1E999"},
                      {"1", "0", "0.999999999"}, {"4.9E-324", "1", "0"}};
    constexpr int kItems = std::size(parameters);
    RunFixture data(40, kItems);
    data.WriteFiles();
    std::string items;
    for (const auto& p : parameters) items += ItemLine("ITEM", p.a, p.b, p.c);
    test_support::WriteFile(data.itemFile(), items);

    for (const int mode : {1, 7}) {
        SCOPED_TRACE(mode);
        auto host = data.Host(mode);
        const auto lines = FinishedLines(data, host);
        ExpectBoundedPersonRows(Tail(lines, 1), std::vector<int>(40, kItems));
    }
    // The given c is written back as given, however odd.
    auto host = data.Host(4);
    const auto lines = FinishedLines(data, host);
    ASSERT_EQ(lines.size(), 1u + kItems);
    ExpectBoundedItemRows(Tail(lines, 1), 4);
    EXPECT_EQ(Fields(lines[6])[5], "  1.000");
    EXPECT_EQ(Fields(lines[7])[5], " -5.000");
    EXPECT_EQ(Fields(lines[8])[5], "  2.000");

    auto joint = data.Host(5);
    const auto jointLines = FinishedLines(data, joint);
    ASSERT_EQ(jointLines.size(), 1u + kItems + 1 + 1 + 40);
    EXPECT_EQ(Fields(jointLines[7])[5], " -5.000");
}

// Every file read beside the responses is opened and read as they are: a
// FIFO without a writer holds none of them, and the stop poll, asked while
// nothing comes, ends the reading with a message of its own.
TEST(HostileInput, AFifoWithoutAWriterAsAnyOtherInputAnswersTheStopPoll) {
    test_support::TempDir dir;
    const std::string fifo = dir.File("input.fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    int asked = 0;
    const StopPoll stop = [&asked] { return ++asked >= 3; };

    const KeyOrError key = ReadKeyFile(fifo, 4, ',', stop);
    EXPECT_TRUE(key.stopped);
    EXPECT_FALSE(key.key);
    EXPECT_EQ(asked, 3);

    asked = 0;
    const poly::ItemModels models = poly::ReadItemModels(fifo, 4, stop);
    EXPECT_TRUE(models.lines.empty());
    EXPECT_EQ(models.error,
              "ERROR Item models file " + fifo + " was not read: the run was stopped.");

    asked = 0;
    const poly::HeldItems held = poly::ReadPolytomousItemFile(fifo, 4, stop);
    EXPECT_EQ(held.error, "ERROR Item file " + fifo + " was not read: the run was stopped.");

    asked = 0;
    request::RequestTexts texts;
    EXPECT_EQ(request::ReadJobFile(fifo, texts, stop),
              "job file " + fifo + " was not read: a stop was asked for.");
    EXPECT_EQ(asked, 3);

    // The forms and the anchors of a link.
    asked = 0;
    const linking::FormRead form = linking::ReadItemForm(fifo, {}, std::nullopt, stop);
    EXPECT_FALSE(form.form);
    EXPECT_EQ(form.error, fifo + ": not read: a stop was asked for");
    asked = 0;
    EXPECT_EQ(linking::ReadAnchorPairs(fifo, stop).error,
              fifo + ": not read: a stop was asked for");
}

}  // namespace
}  // namespace tarvo
