// The same data in fixed columns, as CSV and as TSV give the same result
// file, byte for byte, in every mode and with the marginal estimator: a
// delimited file is read into the very tables the fixed-column reader fills.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>

#include "platform/control_ids.h"
#include "run/calibration_run.h"
#include "sample_layout.h"
#include "support/run_fixture.h"
#include "support/run_request.h"

namespace tarvo {
namespace {

namespace id = control;
using test_support::CrLfLines;

const std::filesystem::path kGoldenInput =
    std::filesystem::path(TARVO_SOURCE_DIR) / "tests" / "golden" / "input";
constexpr std::size_t kItems = 10;

// The golden responses (ID in columns 1-8, theta in 12-18, ten responses from
// column 20) as delimited rows: IDs with their blanks (quoted in the CSV),
// the theta text as it stands, a blank response as an empty cell.
std::string AsDelimited(const std::string& fixed, char delimiter) {
    std::string text = "id";
    text += delimiter;
    text += "theta";
    for (std::size_t i = 1; i <= kItems; ++i) text += delimiter + ("i" + std::to_string(i));
    text += "\r\n";
    for (const std::string& line : CrLfLines(fixed)) {
        const std::string padded = line + std::string(19 + kItems, ' ');
        const std::string id = padded.substr(0, 8);
        text += delimiter == ',' ? "\"" + id + "\"" : id;
        text += delimiter + padded.substr(11, 7);
        for (std::size_t i = 0; i < kItems; ++i) {
            text += delimiter;
            if (padded[19 + i] != ' ') text += padded[19 + i];
        }
        text += delimiter == ',' ? "\n" : "\r\n";  // both line ends
    }
    return text;
}

class DelimitedRun : public ::testing::Test {
  protected:
    void SetUp() override {
        const std::string fixed = test_support::ReadFile((kGoldenInput / "responses.dat").string());
        ASSERT_FALSE(fixed.empty());
        test_support::WriteFile(dir.File("responses.dat"), fixed);
        test_support::WriteFile(dir.File("responses.csv"), AsDelimited(fixed, ','));
        test_support::WriteFile(dir.File("responses.tsv"), AsDelimited(fixed, '\t'));
        test_support::WriteFile(dir.File("items.itm"),
                                test_support::ReadFile((kGoldenInput / "items.itm").string()));
    }

    // The host for one format; format "" is the fixed columns of the golden test.
    test_support::ScriptedHost Host(int mode, const std::string& format, bool itemFile,
                                    const std::string& output) const {
        test_support::ScriptedHost host;
        host.mode = mode;
        host.answerYes = mode != 6;
        const std::string responses =
            dir.File(format.empty() ? "responses.dat" : "responses." + format);
        host.texts =
            sim::SampleControlTexts(kItems, responses, dir.File("items.itm"), dir.File(output));
        if (!itemFile) {
            for (const int control :
                 {id::kItemParameterFile, id::kItemIdStart, id::kItemIdLength}) {
                host.texts.erase(control);
            }
        }
        if (!format.empty()) {
            for (const int control : {id::kItemCount, id::kResponseStart, id::kExamineeIdStart,
                                      id::kExamineeIdLength, id::kThetaStart, id::kThetaLength}) {
                host.texts.erase(control);
            }
            host.texts[id::kResponseFormat] = format;
            host.texts[id::kIdColumn] = "id";
            host.texts[id::kThetaColumn] = "theta";
        }
        return host;
    }

    test_support::TempDir dir;
};

TEST_F(DelimitedRun, EveryModeGivesTheFixedColumnsResultByteForByte) {
    for (int mode = 1; mode <= 8; ++mode) {
        for (const char* output : {"result.csv", "result.lst"}) {
            std::map<std::string, std::string> results;
            for (const std::string format : {"", "csv", "tsv"}) {
                SCOPED_TRACE("mode " + std::to_string(mode) + " " + output + " " + format);
                test_support::ScriptedHost host = Host(mode, format, mode != 6, output);
                ASSERT_EQ(test_support::RunClassic(host, nullptr, 1), RunEnd::Finished);
                EXPECT_EQ(host.warnings, std::vector<std::string>{});
                results[format] = test_support::ReadFile(dir.File(output));
            }
            ASSERT_GT(CrLfLines(results[""]).size(), kItems);
            EXPECT_EQ(results["csv"], results[""]) << "mode " << mode << " " << output;
            EXPECT_EQ(results["tsv"], results[""]) << "mode " << mode << " " << output;
        }
    }
}

TEST_F(DelimitedRun, TheMarginalEstimatorGivesTheFixedColumnsResultByteForByte) {
    for (const MarginalModel model : {MarginalModel::ThreePL, MarginalModel::OnePL}) {
        std::map<std::string, std::string> results;
        for (const std::string format : {"", "csv", "tsv"}) {
            test_support::ScriptedHost host = Host(3, format, true, "mml.csv");
            MarginalSettings settings;
            settings.model = model;
            ASSERT_EQ(test_support::RunMarginal(host, settings), RunEnd::Finished) << format;
            results[format] = test_support::ReadFile(dir.File("mml.csv"));
        }
        ASSERT_GT(CrLfLines(results[""]).size(), kItems);
        EXPECT_EQ(results["csv"], results[""]);
        EXPECT_EQ(results["tsv"], results[""]);
    }
}

}  // namespace
}  // namespace tarvo
