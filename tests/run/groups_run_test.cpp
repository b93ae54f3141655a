// A group field beside the classic estimator: the result file stays what it
// is without one, byte for byte, and the report names the groups and says
// they were not used.
#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>

#include "platform/control_ids.h"
#include "report/report_json.h"
#include "report/report_summary.h"
#include "run/input_files_section.h"
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

class GroupsRun : public ::testing::Test {
  protected:
    void SetUp() override {
        const std::string fixed = test_support::ReadFile((kGoldenInput / "responses.dat").string());
        ASSERT_FALSE(fixed.empty());
        // The same lines with a group in column 10, free in the golden layout:
        // A, B and C in turn, every fifth examinee without one.
        std::string grouped;
        std::size_t examinee = 0;
        for (std::string line : CrLfLines(fixed)) {
            if (line.rfind("KEY", 0) != 0) {
                line.resize(std::max<std::size_t>(line.size(), 10), ' ');
                line[9] = examinee % 5 == 4 ? ' ' : static_cast<char>('A' + examinee % 3);
                ++examinee;
            }
            grouped += line + "\r\n";
        }
        test_support::WriteFile(dir.File("plain.dat"), fixed);
        test_support::WriteFile(dir.File("grouped.dat"), grouped);
        test_support::WriteFile(dir.File("items.itm"),
                                test_support::ReadFile((kGoldenInput / "items.itm").string()));
    }

    test_support::ScriptedHost Host(int mode, bool grouped) const {
        test_support::ScriptedHost host;
        host.mode = mode;
        host.answerYes = mode != 6;
        host.texts = sim::SampleControlTexts(
            kItems, dir.File(grouped ? "grouped.dat" : "plain.dat"), dir.File("items.itm"),
            dir.File(grouped ? "grouped.csv" : "plain.csv"));
        if (grouped) host.texts[id::kGroupStart] = "10";
        return host;
    }

    test_support::TempDir dir;
};

TEST_F(GroupsRun, EveryClassicModeWritesTheResultOfTheRunWithoutGroups) {
    for (int mode = 1; mode <= 8; ++mode) {
        SCOPED_TRACE("mode " + std::to_string(mode));
        test_support::ScriptedHost plain = Host(mode, false);
        ASSERT_EQ(test_support::RunClassic(plain, nullptr, 1), RunEnd::Finished);
        test_support::ScriptedHost grouped = Host(mode, true);
        RunReport report;
        ASSERT_EQ(test_support::RunClassic(grouped, &report, 1), RunEnd::Finished);
        const std::string expected = test_support::ReadFile(dir.File("plain.csv"));
        ASSERT_GT(CrLfLines(expected).size(), kItems);
        EXPECT_EQ(test_support::ReadFile(dir.File("grouped.csv")), expected);

        const auto json = nlohmann::json::parse(report::ReportJson(report));
        const auto groups = json["groups"];
        ASSERT_TRUE(groups.is_object()) << report::ReportJson(report);
        EXPECT_EQ(groups["used"], false);
        EXPECT_EQ(groups["field"], "column 10");
        EXPECT_EQ(groups["reference"], "A");
        EXPECT_EQ(groups["focal"], (nlohmann::json{"B", "C"}));
        ASSERT_EQ(groups["groups"].size(), 3u);
        int counted = groups["unknown"].get<int>();
        for (const auto& group : groups["groups"]) counted += group["count"].get<int>();
        EXPECT_EQ(counted, json["run"]["examinees"].get<int>());  // every examinee, once
        EXPECT_EQ(groups["groups"][0]["reference"], true);
        EXPECT_EQ(groups["groups"][1]["focal"], true);
        const std::string summary = report::SummaryText(report);
        EXPECT_NE(summary.find("The classic estimator takes no groups: they were not used."),
                  std::string::npos)
            << summary;
    }
}

TEST_F(GroupsRun, ARunWithoutAGroupFieldHasNoGroupsSection) {
    test_support::ScriptedHost plain = Host(3, false);
    RunReport report;
    ASSERT_EQ(test_support::RunClassic(plain, &report, 1), RunEnd::Finished);
    EXPECT_FALSE(nlohmann::json::parse(report::ReportJson(report)).contains("groups"));
}

// The summary line names the first ten groups and the reference wherever it
// is; the JSON holds every group.
TEST(GroupsSection, ManyGroupsAreCountedInTheLineAndListedInTheJson) {
    PersonTable persons;
    for (int g = 0; g < 12; ++g) {
        persons.groupLabels.push_back("g" + std::to_string(g));
        persons.group.insert(persons.group.end(), 3, g);
    }
    persons.group.push_back(PersonTable::kNoGroup);
    RunRequest request;
    request.groups.column = "grp";
    request.groups.reference = "g11";
    request.method = Method::Marginal;
    const ReportSection section = GroupsSection(request, persons);
    ASSERT_EQ(section.summary.size(), 1u);
    EXPECT_EQ(section.summary[0],
              "Groups (column grp): 'g0' 3, 'g1' 3, 'g2' 3, 'g3' 3, 'g4' 3, 'g5' 3, 'g6' 3, "
              "'g7' 3, 'g8' 3, 'g9' 3 and 2 more; reference 'g11'; 1 examinee without a group. "
              "The estimator does not take groups: they were not used.");
    const auto json = nlohmann::json::parse(section.json);
    EXPECT_EQ(json["groups"].size(), 12u);
    EXPECT_EQ(json["focal"].size(), 11u);  // every other group
    EXPECT_EQ(json["groups"][11]["reference"], true);
    EXPECT_EQ(json["used"], EstimatorUsesGroups(request));
}

// The line says what used the groups: the calibration of the groups
// together, only the DIF screens, or nothing.
TEST(GroupsSection, SaysWhatUsedTheGroups) {
    PersonTable persons;
    persons.groupLabels = {"F", "M"};
    persons.group = {0, 1, 1};
    RunRequest request;
    request.groups.column = "sex";
    request.method = Method::Marginal;
    request.marginal.groups = true;
    const auto together = GroupsSection(request, persons);
    EXPECT_EQ(together.summary[0].find("used"), std::string::npos) << together.summary[0];
    EXPECT_EQ(nlohmann::json::parse(together.json)["used"], true);

    request.marginal.groups = false;
    request.dif.mantelHaenszel = true;
    EXPECT_NE(GroupsSection(request, persons).summary[0].find("only the DIF screens used"),
              std::string::npos);
    request.method = Method::Classic;
    EXPECT_NE(GroupsSection(request, persons)
                  .summary[0]
                  .find("The classic estimator takes no groups: only the DIF screens used them."),
              std::string::npos);
}

}  // namespace
}  // namespace tarvo
