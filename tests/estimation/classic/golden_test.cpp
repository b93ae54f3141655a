// Whole runs of every mode on one small fixed data set, each result compared
// byte for byte with a result file kept under tests/golden. The data hold a
// key record, a blank record, missing responses, an examinee with every
// answer right, an item with only 9 valid responses and one that everybody
// answered right, so that a change of any constant of the rules changes at
// least one of the files. Both arithmetics must write the same bytes.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "platform/control_ids.h"
#include "sample_layout.h"
#include "support/run_fixture.h"
#include "support/run_request.h"

namespace tarvo {
namespace {

using test_support::RunClassic;

using test_support::CrLfLines;

const std::filesystem::path kGolden = std::filesystem::path(TARVO_SOURCE_DIR) / "tests" / "golden";

struct GoldenCase {
    int mode;
    const char* expected;  // under tests/golden
    bool itemFile;         // without it every AccNo is empty
    bool standardise;      // the answer to the joint modes' question
};

// Mode 6 without standardisation runs into the pass limit (the abilities
// drift without a fixed scale). Modes 3 and 5 standardise and settle; without
// it mode 5 drifts too, and after 101 passes the two arithmetics no longer
// agree in the printed digits, so that run is not kept here.

const GoldenCase kCases[] = {
    {1, "mode1/result.csv", true, true}, {2, "mode2/result.csv", true, true},
    {2, "mode2/result.lst", true, true}, {3, "mode3/result.csv", true, true},
    {4, "mode4/result.csv", true, true}, {4, "mode4/result.lst", true, true},
    {5, "mode5/result.csv", true, true}, {6, "mode6/result.csv", false, false},
    {7, "mode7/result.csv", true, true}, {8, "mode8/result.csv", true, true},
    {8, "mode8/result.lst", true, true},
};

// The dialog's texts for the golden inputs, which use the sample layout: examinee ID in columns
// 1-8, theta in 12-18, 10 responses from column 20; item ID in 1-8, a, b and c in 22-30, 32-40 and
// 42-50.
std::map<int, std::string> ControlTexts(const test_support::TempDir& dir, const GoldenCase& c,
                                        const std::string& output) {
    std::map<int, std::string> texts = sim::SampleControlTexts(
        10, dir.File("responses.dat"), dir.File("items.itm"), dir.File(output));
    if (!c.itemFile) {
        for (const int id :
             {control::kItemParameterFile, control::kItemIdStart, control::kItemIdLength,
              control::kAStart, control::kALength, control::kBStart, control::kBLength,
              control::kCStart, control::kCLength}) {
            texts.erase(id);
        }
    }
    return texts;
}

TEST(GoldenResults, EveryModeWritesItsResultFileByteForByte) {
    test_support::TempDir dir;
    for (const char* input : {"responses.dat", "items.itm"}) {
        test_support::WriteFile(dir.File(input),
                                test_support::ReadFile((kGolden / "input" / input).string()));
    }
    for (const GoldenCase& c : kCases) {
        const std::string expected = test_support::ReadFile((kGolden / c.expected).string());
        ASSERT_FALSE(expected.empty()) << "missing " << (kGolden / c.expected).string();
        const std::vector<std::string> expectedLines = CrLfLines(expected);
        const std::string output = std::filesystem::path(c.expected).filename().string();
        for (const Arithmetic arithmetic : {Arithmetic::Reference, Arithmetic::Fast}) {
            SCOPED_TRACE(std::string(c.expected) +
                         (arithmetic == Arithmetic::Fast ? ", fast" : ", reference"));
            test_support::ScriptedHost host;
            host.mode = c.mode;
            host.answerYes = c.standardise;
            host.texts = ControlTexts(dir, c, output);
            ASSERT_EQ(RunClassic(host, nullptr, 2, {arithmetic}), RunEnd::Finished);
            const std::string actual = test_support::ReadFile(dir.File(output));
            const std::vector<std::string> lines = CrLfLines(actual);
            ASSERT_EQ(lines.size(), expectedLines.size());
            for (std::size_t k = 0; k < lines.size(); ++k) {
                ASSERT_EQ(lines[k], expectedLines[k]) << "line " << k + 1;
            }
            EXPECT_EQ(actual, expected);  // the line ends too
        }
    }
}

}  // namespace
}  // namespace tarvo
