// The same data in fixed columns, as CSV and as TSV give the same result
// file, byte for byte, in every mode and with the marginal estimator: a
// delimited file is read into the very tables the fixed-column reader fills.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <new>
#include <nlohmann/json.hpp>
#include <string>

#include "input/text/file_digest.h"
#include "output/result_file_rows.h"
#include "platform/control_ids.h"
#include "report/report_json.h"
#include "report/report_summary.h"
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

// The header names the items in the report and its JSON; the AccNo stays the
// item parameter file's, as the result file prints it.
TEST_F(DelimitedRun, TheHeaderNamesTheItemsOfTheReport) {
    std::map<std::string, RunReport> reports;
    for (const std::string format : {"", "csv"}) {
        test_support::ScriptedHost host = Host(3, format, true, "named.csv");
        ASSERT_EQ(test_support::RunClassic(host, &reports[format], 1), RunEnd::Finished);
    }
    const RunReport& csv = reports["csv"];
    const RunReport& fixed = reports[""];
    ASSERT_EQ(csv.itemRows.size(), kItems);
    const auto items = nlohmann::json::parse(report::ReportJson(csv))["items"];
    const auto fixedItems = nlohmann::json::parse(report::ReportJson(fixed))["items"];
    for (std::size_t k = 0; k < kItems; ++k) {
        const std::string name = "i" + std::to_string(k + 1);
        EXPECT_EQ(csv.itemRows[k].name, name);
        EXPECT_EQ(csv.itemRows[k].accNo, fixed.itemRows[k].accNo);
        EXPECT_EQ(items[k]["name"], name);
        EXPECT_EQ(items[k]["id"], fixedItems[k]["id"]);
        EXPECT_TRUE(fixedItems[k]["name"].is_null());
    }
}

// The findings reach the report as its input_check section and once among
// its warnings; sound inputs give an empty section.
TEST_F(DelimitedRun, TheInputCheckIsASectionOfTheReport) {
    RunReport sound;
    test_support::ScriptedHost host = Host(3, "csv", true, "sound.csv");
    ASSERT_EQ(test_support::RunClassic(host, &sound, 1), RunEnd::Finished);
    ASSERT_GE(sound.sections.size(), 1u);  // the input check first
    EXPECT_EQ(sound.sections[0].key, "input_check");
    EXPECT_EQ(nlohmann::json::parse(report::ReportJson(sound))["input_check"],
              nlohmann::json::array());

    // The last row once more: its ID is then given twice.
    std::string text = test_support::ReadFile(dir.File("responses.csv"));
    const auto lastRow = text.rfind('\n', text.size() - 2) + 1;
    text += text.substr(lastRow);
    test_support::WriteFile(dir.File("twice.csv"), text);
    host = Host(3, "csv", true, "twice_result.csv");
    host.texts[id::kResponseFile] = dir.File("twice.csv");
    RunReport report;
    ASSERT_EQ(test_support::RunClassic(host, &report, 1), RunEnd::Finished);
    const auto findings = nlohmann::json::parse(report::ReportJson(report))["input_check"];
    ASSERT_EQ(findings.size(), 1u) << findings.dump();
    EXPECT_EQ(findings[0]["code"], "duplicate-ids");
    EXPECT_EQ(findings[0]["count"], 1);
    const std::string message = findings[0]["message"];
    EXPECT_EQ(std::count(report.warnings.begin(), report.warnings.end(), message), 1);
    const std::string summary = report::SummaryText(report);
    const auto at = summary.find("WARNING " + message + "\n");
    ASSERT_NE(at, std::string::npos) << summary;
    EXPECT_EQ(summary.find("WARNING " + message, at + 1), std::string::npos) << summary;
}

// IDs that would break the result file's rows: a line end inside a quoted
// cell is written as '?', a comma or NUL stays, and IDs that differ only
// after the 12 positions of the ID field are named; each row stays one line.
TEST_F(DelimitedRun, IdsThatWouldSplitRowsOrReadAlikeAreNamedAndRowsStayWhole) {
    std::string text = test_support::ReadFile(dir.File("responses.csv"));
    const auto replaceId = [&](const std::string& old, const std::string& id) {
        const auto at = text.find("\"" + old);
        ASSERT_NE(at, std::string::npos) << old;
        text.replace(at, text.find('"', at + 1) - at + 1, id);
    };
    replaceId("S002", std::string("\"P0\r\n0\0003\"", 9));  // a NUL inside
    replaceId("S003", "\"A,\"\"B\"\"\"");
    replaceId("S004", "SCHOOL-A-STUDENT-1");
    replaceId("S005", "SCHOOL-A-STUDENT-2");
    test_support::WriteFile(dir.File("hostile.csv"), text);
    test_support::ScriptedHost host = Host(3, "csv", true, "hostile_result.csv");
    host.texts[id::kResponseFile] = dir.File("hostile.csv");
    RunReport report;
    ASSERT_EQ(test_support::RunClassic(host, &report, 1), RunEnd::Finished);

    const std::string written = test_support::ReadFile(dir.File("hostile_result.csv"));
    const results::ResultFileRows rows = results::ParseResultFile(written);
    ASSERT_EQ(rows.error, "");
    ASSERT_EQ(rows.persons.rows.size(), report.personRows.size());
    EXPECT_EQ(rows.persons.rows[1][1], std::string("P0??0\0"
                                                   "3",
                                                   7));
    EXPECT_EQ(rows.persons.rows[2][1], "A,\"B\"");
    EXPECT_EQ(rows.persons.rows[3][1], "SCHOOL-A-STU");

    const auto findings = nlohmann::json::parse(report::ReportJson(report))["input_check"];
    std::map<std::string, std::string> messages;
    for (const auto& finding : findings) messages[finding["code"]] = finding["message"];
    EXPECT_EQ(messages["id-line-breaks"],
              "1 examinee ID holds a line end or a byte 26 (first: examinee 2, "
              "'P0\\r\\n0\\x003'): the result file writes each such byte as '?' so that its "
              "rows stay whole; check the ID cells");
    EXPECT_EQ(
        messages["id-separators"].rfind(
            "2 examinee IDs hold a comma, a double quote or a NUL byte (first: examinee 2", 0),
        0u);
    EXPECT_EQ(messages["long-ids-merged"],
              "2 examinee IDs are longer than the 12 positions the result file gives an ID, and "
              "cut there (first: examinee 4, 'SCHOOL-A-STUDENT-1' reads 'SCHOOL-A-STU'); 1 "
              "examinee's cut ID reads the same as an earlier examinee's different one (first: "
              "examinee 4, 'SCHOOL-A-STUDENT-1' and examinee 5, 'SCHOOL-A-STUDENT-2'), so the "
              "result file cannot tell them apart: give IDs of at most 12 characters");
}

// Memory that runs out once the result file is whole (here in the front
// end's showing of it) says so, and that the result file is complete.
TEST_F(DelimitedRun, MemoryRunningOutAfterTheResultSaysWhatIsComplete) {
    struct OutOfMemoryHost : test_support::ScriptedHost {
        void ViewResult(const std::string&) override { throw std::bad_alloc(); }
    };
    OutOfMemoryHost host;
    static_cast<test_support::ScriptedHost&>(host) = Host(3, "csv", true, "whole.csv");
    EXPECT_EQ(test_support::RunClassic(host, nullptr, 1), RunEnd::OutputIncomplete);
    ASSERT_FALSE(host.messages.empty());
    EXPECT_EQ(host.messages.back(), "ERROR The run ran out of memory. Output file " +
                                        dir.File("whole.csv") +
                                        " is complete; what goes beside it (report, score "
                                        "table) is not.");
}

// The report names its inputs by size and digest, so that a result can be
// checked against the files it came from.
TEST_F(DelimitedRun, TheReportGivesTheInputsSizesAndDigests) {
    test_support::ScriptedHost host = Host(3, "csv", true, "traced.csv");
    RunReport report;
    ASSERT_EQ(test_support::RunClassic(host, &report, 1), RunEnd::Finished);
    const auto inputs = nlohmann::json::parse(report::ReportJson(report))["inputs"];
    for (const auto& [key, file] : {std::pair{"response_file", "responses.csv"},
                                    std::pair{"item_parameter_file", "items.itm"}}) {
        const std::string bytes = test_support::ReadFile(dir.File(file));
        Sha256 hash;
        hash.Add(bytes);
        EXPECT_EQ(inputs[key]["name"], dir.File(file));
        EXPECT_EQ(inputs[key]["bytes"], bytes.size());
        EXPECT_EQ(inputs[key]["sha256"], hash.HexDigest());
    }

    host = Host(3, "csv", false, "untraced.csv");
    ASSERT_EQ(test_support::RunClassic(host, &report, 1), RunEnd::Finished);
    EXPECT_TRUE(nlohmann::json::parse(report::ReportJson(report))["inputs"]["item_parameter_file"]
                    .is_null());
}

}  // namespace
}  // namespace tarvo
