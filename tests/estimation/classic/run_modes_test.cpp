// Whole runs in every calibration mode, from the input files to the result
// file, through the same entry point the dialog and the runner use.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <sstream>

#include "estimation/classic/theta_estimation.h"
#include "output/masks.h"
#include "output/result_rows.h"
#include "platform/control_ids.h"
#include "support/run_fixture.h"
#include "support/run_request.h"

namespace tarvo {
namespace {

using test_support::RunClassic;

using test_support::CrLfLines;
using test_support::RunFixture;

constexpr int kPersons = 300;
constexpr int kItems = 20;
const std::string kPersonHeader = " SeqID,    ExaminID,Nvalid,   theta, seetheta";

std::vector<std::string> Fields(const std::string& row) {
    std::vector<std::string> fields;
    std::stringstream in(row);
    for (std::string field; std::getline(in, field, ',');) fields.push_back(field);
    return fields;
}

double Number(const std::string& field) { return std::strtod(field.c_str(), nullptr); }

struct RunResult {
    RunEnd outcome;
    std::vector<std::string> lines;
    bool crlf;
    test_support::ScriptedHost host;
};

RunResult RunMode(RunFixture& data, int mode, const std::string& outputName = "out.csv") {
    RunResult result{RunEnd::EndedAtCheck, {}, false, data.Host(mode, outputName)};
    result.outcome = test_support::RunClassic(result.host);
    result.lines = CrLfLines(data.Output(outputName), &result.crlf);
    return result;
}

// Item rows of a CSV item section: checks their count and numbering.
void ExpectItemRows(const std::vector<std::string>& lines, std::size_t first, int fieldCount) {
    for (int i = 0; i < kItems; ++i) {
        const auto fields = Fields(lines.at(first + i));
        ASSERT_EQ(static_cast<int>(fields.size()), fieldCount) << lines[first + i];
        EXPECT_EQ(fields[0], FormatWithMask(i + 1, kMaskCount));
        char id[16];
        std::snprintf(id, sizeof id, " ITEM%04d", i + 1);
        EXPECT_EQ(fields[1], id);
    }
}

void ExpectPersonRows(const std::vector<std::string>& lines, std::size_t first) {
    ASSERT_EQ(lines.size(), first + kPersons);
    for (int j = 0; j < kPersons; ++j) {
        const auto fields = Fields(lines[first + j]);
        ASSERT_EQ(fields.size(), 5u) << lines[first + j];
        EXPECT_EQ(fields[0], FormatWithMask(j + 1, kMaskSeqId));
        char id[16];
        std::snprintf(id, sizeof id, "     P%07d", j + 1);
        EXPECT_EQ(fields[1], id);
        EXPECT_EQ(fields[2], " " + FormatWithMask(kItems, kMaskCount));
        EXPECT_EQ(fields[3].size(), 9u);
    }
}

TEST(RunModes, ThetaOnly3plWritesOnePersonRowPerExamineeWithSensibleAbilities) {
    RunFixture data(kPersons, kItems);
    data.WriteFiles();
    const RunResult r = RunMode(data, 1);
    EXPECT_EQ(r.outcome, RunEnd::Finished);
    EXPECT_TRUE(r.crlf);
    ASSERT_EQ(r.lines.at(0), kPersonHeader);
    ExpectPersonRows(r.lines, 1);
    // Abilities from the generating items follow the generating abilities.
    double sumSq = 0;
    for (int j = 0; j < kPersons; ++j) {
        const double theta = Number(Fields(r.lines[1 + j])[3]);
        EXPECT_LE(std::fabs(theta), 3.0);
        sumSq += (theta - data.thetas[j]) * (theta - data.thetas[j]);
    }
    EXPECT_LT(std::sqrt(sumSq / kPersons), 0.6);
    EXPECT_EQ(r.host.viewed, std::vector<std::string>{data.dir.File("out.csv")});
}

TEST(RunModes, ThetaOnly1plUsesTheGivenBWithAOneAndCZero) {
    RunFixture data(kPersons, kItems);
    data.WriteFiles();
    const RunResult r = RunMode(data, 7);
    ASSERT_EQ(r.lines.at(0), kPersonHeader);
    ExpectPersonRows(r.lines, 1);
    // Examinee 5 recomputed from the items as read, with a = 1 and c = 0.
    std::vector<double> a(kItems, 1.0), b, c(kItems, 0.0);
    for (const auto& item : data.itemParams) b.push_back(std::round(item.b * 1e4) / 1e4);
    const std::string responses = test_support::ReadFile(data.responseFile()).substr(0);
    std::vector<std::uint8_t> row;
    const std::size_t lineStart = 4 * (19 + kItems + 2);
    for (int i = 0; i < kItems; ++i) row.push_back(responses[lineStart + 19 + i] == '1' ? 1 : 0);
    double theta = 0, seetheta = -1;
    std::int32_t Nvalid = 0;
    EstimateTheta(theta, a, b, c, row, seetheta, Nvalid);
    EXPECT_EQ(r.lines[5], PersonRow(5, "P0000005", Nvalid, theta, seetheta));
}

TEST(RunModes, ItemsOnlyCsvAndListingLayouts) {
    RunFixture data(kPersons, kItems);
    data.WriteFiles();
    const RunResult csv = RunMode(data, 2, "RESULT.CSV");
    EXPECT_TRUE(csv.crlf);
    ASSERT_EQ(csv.lines.size(), 1u + kItems);
    EXPECT_EQ(csv.lines[0], "SeqItem,AccNo, Nobs, a_calib, b_calib, c_calib, seea, seeb, seec");
    ExpectItemRows(csv.lines, 1, 9);
    for (int i = 0; i < kItems; ++i) {
        const auto f = Fields(csv.lines[1 + i]);
        EXPECT_EQ(f[2], " " + FormatWithMask(kPersons, kMaskCount));
        EXPECT_GT(Number(f[3]), 0.0);  // a
        EXPECT_LE(Number(f[3]), 2.0);
        EXPECT_LE(std::fabs(Number(f[4]) - data.itemParams[i].b), 1.0);  // b near its truth
        EXPECT_GE(Number(f[5]), 0.0);                                    // c
        EXPECT_LT(Number(f[5]), 1.0);
    }

    const RunResult listing = RunMode(data, 2, "result.txt");
    ASSERT_EQ(listing.lines.size(), 4u * kItems);
    EXPECT_EQ(listing.lines[0], "   1  ITEM0001");
    EXPECT_EQ(listing.lines[1].rfind("  compu a,b,c=", 0), 0u);
    EXPECT_EQ(listing.lines[2].rfind("        see = ", 0), 0u);
    EXPECT_NE(listing.lines[2].find("   Nobs= 300 "), std::string::npos);
    EXPECT_EQ(listing.lines[3], "");
    // The same estimates in both layouts.
    const auto f = Fields(csv.lines[1]);
    EXPECT_EQ(listing.lines[1], "  compu a,b,c=" + f[3] + f[4] + f[5]);
}

TEST(RunModes, ItemsOnlyModeFourKeepsTheGivenC) {
    RunFixture data(kPersons, kItems);
    data.WriteFiles();
    const RunResult r = RunMode(data, 4);
    ASSERT_EQ(r.lines.size(), 1u + kItems);
    EXPECT_EQ(r.lines[0], "SeqItem,AccNo, Nobs, a_calib, b_calib, c_given, seea, seeb, seec");
    ExpectItemRows(r.lines, 1, 9);
    for (int i = 0; i < kItems; ++i) {
        const auto f = Fields(r.lines[1 + i]);
        EXPECT_EQ(f[5],
                  FormatWithMask(std::round(data.itemParams[i].c * 1e4) / 1e4, kMaskParameter));
        EXPECT_EQ(f[8], " -1.000");  // seec: c was not estimated
    }
}

TEST(RunModes, ItemsOnlyModeEightEstimatesBAlone) {
    RunFixture data(kPersons, kItems);
    data.WriteFiles();
    const RunResult r = RunMode(data, 8, "out.csv");
    ASSERT_EQ(r.lines.size(), 1u + kItems);
    EXPECT_EQ(r.lines[0], "SeqItem,AccNo, Nobs, b_calib, seeb");
    ExpectItemRows(r.lines, 1, 5);

    // The listing layout still shows a = 1 and c = 0.
    const RunResult listing = RunMode(data, 8, "out.lst");
    for (int i = 0; i < kItems; ++i) {
        const std::string& line2 = listing.lines.at(4 * i + 1);
        EXPECT_EQ(line2.substr(14, 7), "  1.000");
        EXPECT_EQ(line2.substr(28, 7), "  0.000");
    }
}

TEST(RunModes, ItemsOnlyEstimatesAnItemFromTenValidResponsesOn) {
    // Thirty examinees; item 1 keeps 9 valid responses, item 2 keeps 10.
    RunFixture data(30, 3);
    data.WriteFiles();
    std::string responses = test_support::ReadFile(data.responseFile());
    const std::size_t line = 19 + 3 + 2;
    for (std::size_t j = 0; j < 21; ++j) responses[j * line + 19] = ' ';
    for (std::size_t j = 0; j < 20; ++j) responses[j * line + 20] = ' ';
    test_support::WriteFile(data.responseFile(), responses);
    for (const int mode : {2, 8}) {
        SCOPED_TRACE("mode " + std::to_string(mode));
        const RunResult r = RunMode(data, mode, "out.lst");
        ASSERT_EQ(r.lines.size(), 12u);
        // Nine: reported with the reset values (a 1 in mode 8) and -1 errors.
        EXPECT_EQ(r.lines[1], mode == 8 ? "  compu a,b,c=  1.000  0.000  0.000"
                                        : "  compu a,b,c=  0.000  0.000  0.000");
        EXPECT_EQ(r.lines[2], "        see =  -1.000 -1.000 -1.000   Nobs= 9 ");
        // Ten: estimated.
        EXPECT_EQ(r.lines[6].substr(r.lines[6].size() - 9), "Nobs= 10 ");
        EXPECT_NE(r.lines[6].substr(21, 7), " -1.000") << r.lines[6];
        EXPECT_NE(r.lines[5].substr(21, 7), "  0.000") << r.lines[5];
    }
}

TEST(RunModes, JointModesWriteBothSectionsWhateverTheOutputName) {
    RunFixture data(kPersons, kItems);
    data.WriteFiles(37);
    struct Case {
        int mode;
        const char* header;
        int fields;
    };
    const Case cases[] = {
        {3, "SeqItem,AccNo, Nobs, a_calib, b_calib,c_calib, seea, seeb, seec", 9},
        {5, "SeqItem,AccNo, Nobs, a_calib, b_calib,c_given, seea, seeb, seec", 9},
        {6, "SeqItem,AccNo, Nobs, b_calib, seeb", 5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mode);
        const RunResult r = RunMode(data, c.mode, "joint.txt");
        EXPECT_EQ(r.outcome, RunEnd::Finished);
        EXPECT_TRUE(r.crlf);
        ASSERT_EQ(r.lines.size(), 1u + kItems + 1 + 1 + kPersons);
        EXPECT_EQ(r.lines[0], c.header);
        ExpectItemRows(r.lines, 1, c.fields);
        EXPECT_EQ(r.lines[1 + kItems], "");
        EXPECT_EQ(r.lines[2 + kItems], kPersonHeader);
        ASSERT_EQ(r.host.questions,
                  std::vector<std::string>{"Tarvo: Do you want to standardize theta?"});
        for (int i = 0; i < kItems; ++i) {
            const auto f = Fields(r.lines[1 + i]);
            if (c.mode == 5) {
                EXPECT_EQ(f[5], FormatWithMask(std::round(data.itemParams[i].c * 1e4) / 1e4,
                                               kMaskParameter));
            }
        }
    }
}

TEST(RunModes, TheStandardiseAnswerDecidesTheAbilities) {
    RunFixture data(kPersons, kItems);
    data.WriteFiles();
    auto yes = data.Host(3);
    RunClassic(yes);
    const std::string standardised = data.Output();
    auto no = data.Host(3);
    no.answerYes = false;
    RunClassic(no);
    EXPECT_NE(data.Output(), standardised);
}

TEST(RunModes, ResponseStartZeroScoresEveryItemIncorrect) {
    // No response character is read from column 0: every code is that of
    // empty text, 0, so each examinee answers both items wrongly and ends at
    // the lower bound with both responses counted.
    test_support::TempDir dir;
    test_support::WriteFile(dir.File("r.dat"), "A\r\nB\r\n");
    test_support::WriteFile(dir.File("i.itm"), "I1  1 0 0\r\nI2  1 0 0\r\n");
    test_support::ScriptedHost host;
    host.mode = 1;
    host.texts = {{control::kResponseFile, dir.File("r.dat")},
                  {control::kItemParameterFile, dir.File("i.itm")},
                  {control::kOutputFile, dir.File("out.csv")},
                  {control::kItemCount, "2"},
                  {control::kResponseStart, "0"},
                  {control::kExamineeIdStart, "1"},
                  {control::kExamineeIdLength, "1"},
                  {control::kAStart, "5"},
                  {control::kALength, "1"},
                  {control::kBStart, "7"},
                  {control::kBLength, "1"},
                  {control::kCStart, "9"},
                  {control::kCLength, "1"}};
    for (const Arithmetic arithmetic : {Arithmetic::Reference, Arithmetic::Fast}) {
        ASSERT_EQ(RunClassic(host, nullptr, 1, {arithmetic}), RunEnd::Finished);
        const auto lines = CrLfLines(test_support::ReadFile(dir.File("out.csv")));
        ASSERT_EQ(lines.size(), 3u);
        for (const std::size_t j : {1u, 2u}) {
            const auto f = Fields(lines[j]);
            EXPECT_EQ(f.at(2), "    2");
            EXPECT_EQ(f.at(3), "  -3.0000");
        }
    }
}

}  // namespace
}  // namespace tarvo
