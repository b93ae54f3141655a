// What the user sees and can do while a run is in progress: the progress
// texts, the Stop check points, and what a stopped run leaves behind.
#include <gtest/gtest.h>

#include <algorithm>

#include "estimation/classic/model.h"
#include "estimation/classic/response_matrix.h"
#include "estimation/estimator.h"
#include "output/masks.h"
#include "support/run_fixture.h"
#include "support/run_request.h"

namespace tarvo {
namespace {

using test_support::RunClassic;

using test_support::CrLfLines;
using test_support::RunFixture;

TEST(RoundedPercent, RoundsHalvesToEven) {
    EXPECT_EQ(RoundedPercent(1, 200), 0);  // 0.5
    EXPECT_EQ(RoundedPercent(3, 200), 2);  // 1.5
    EXPECT_EQ(RoundedPercent(5, 200), 2);  // 2.5
    EXPECT_EQ(RoundedPercent(1, 150), 1);  // 0.67
    EXPECT_EQ(RoundedPercent(2, 150), 1);  // 1.33
    EXPECT_EQ(RoundedPercent(7, 7), 100);
    EXPECT_EQ(RoundedPercent(1, 0), 0);
}

std::vector<std::string> FirstTexts(const test_support::ScriptedHost& host, std::size_t count) {
    auto texts = host.ProgressTexts();
    texts.resize(std::min(count, texts.size()));
    return texts;
}

TEST(RunProgress, ThetaOnlyShowsATextOnlyWhenThePercentChanges) {
    RunFixture data150(150, 5);
    data150.WriteFiles();
    auto host = data150.Host(1);
    RunClassic(host);
    EXPECT_EQ(host.calls.front(), "init:Calibrating theta...");
    EXPECT_EQ(FirstTexts(host, 2),
              (std::vector<std::string>{"set:1:Person 1 of 150.", "set:2:Person 3 of 150."}));
    EXPECT_EQ(host.ProgressTexts().size(), 100u);
    EXPECT_EQ(host.calls.back(), "shutdown");

    RunFixture data200(200, 5);
    data200.WriteFiles();
    auto host200 = data200.Host(1);
    RunClassic(host200);
    EXPECT_EQ(FirstTexts(host200, 2),
              (std::vector<std::string>{"set:1:Person 2 of 200.", "set:2:Person 3 of 200."}));
    // One breathing step and one poll per examinee.
    EXPECT_EQ(host200.breaths, 200);
    EXPECT_EQ(host200.polls, 200);
}

TEST(RunProgress, ItemsOnlyAnnouncesEveryItem) {
    RunFixture data(50, 4);
    data.WriteFiles();
    auto host = data.Host(2);
    RunClassic(host);
    EXPECT_EQ(host.calls[0], "init:Calibrating items...");
    EXPECT_EQ(
        host.ProgressTexts(),
        (std::vector<std::string>{"set:0:Item 0", "set:25:Item 1 of 4.", "set:50:Item 2 of 4.",
                                  "set:75:Item 3 of 4.", "set:100:Item 4 of 4."}));
}

TEST(RunProgress, JointRunsAtLeastFivePassesAndAnnouncesTheFirstChangeFromZero) {
    RunFixture data(120, 6);
    data.WriteFiles();
    auto host = data.Host(3);
    RunClassic(host);
    const auto texts = host.ProgressTexts();
    ASSERT_GE(texts.size(), 6u);
    EXPECT_EQ(host.calls[0], "init:Calibrating theta and items ...");
    EXPECT_EQ(texts[0], "set:0:Starting to iterate.");
    EXPECT_EQ(texts[1], "set:0:Iteration 1 of no more than 100.  ");

    // The first pass fits the start values (a 0.75, b 0, c 0.2 in single
    // precision) against abilities that are all 0.
    double firstMSError = 0;
    {
        std::vector<double> zeros(120, 0.0);
        const std::string text = test_support::ReadFile(data.responseFile());
        for (int i = 0; i < 6; ++i) {
            std::vector<std::uint8_t> column;
            for (int j = 0; j < 120; ++j) column.push_back(text[j * (19 + 6 + 2) + 19 + i] == '1');
            std::int32_t Nobs = 0;
            firstMSError += ItemFitMSE(column, zeros, 0.75, 0, static_cast<double>(0.2f), Nobs) / 6;
        }
    }
    EXPECT_EQ(texts[2], "set:1:Iteration 2 of no more than 100.  MSError change = " +
                            FormatWithMask(0 - firstMSError, kMaskChange));
}

TEST(RunProgress, JointWithNothingToFitStopsAfterExactlyFivePasses) {
    RunFixture data(30, 3);
    data.WriteFiles();
    auto host = data.Host(6);
    host.texts[control::kItemCount] = "0";
    RunClassic(host);
    const auto texts = host.ProgressTexts();
    // "Starting to iterate." and the announcements of passes 1 to 5.
    ASSERT_EQ(texts.size(), 6u);
    EXPECT_EQ(texts[5], "set:4:Iteration 5 of no more than 100.  MSError change = 0.00000000000");
}

TEST(RunStop, ItemsOnlyStoppedAfterItemThreeKeepsThreeRows) {
    RunFixture data(60, 8);
    data.WriteFiles();
    auto host = data.Host(2);
    host.stopAtPoll = 4;
    EXPECT_EQ(RunClassic(host), RunEnd::Stopped);
    bool crlf = false;
    const auto lines = CrLfLines(data.Output(), &crlf);
    EXPECT_TRUE(crlf);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[3].substr(0, 4), "   3");
    EXPECT_EQ(host.viewed.size(), 1u);

    // Stop before the first item: the header alone, or nothing in the listing layout.
    auto first = data.Host(2, "out.txt");
    first.stopAtPoll = 1;
    RunClassic(first);
    EXPECT_EQ(data.Output("out.txt"), "");
}

TEST(RunStop, ThetaOnlyStoppedAfterTenExamineesKeepsTenRowsAndStillShowsThem) {
    RunFixture data(40, 5);
    data.WriteFiles();
    auto host = data.Host(1);
    host.stopAtPoll = 11;
    EXPECT_EQ(RunClassic(host), RunEnd::Stopped);
    const auto lines = CrLfLines(data.Output());
    ASSERT_EQ(lines.size(), 11u);
    EXPECT_EQ(lines[10].substr(0, 5), "   10");
    EXPECT_EQ(host.viewed.size(), 1u);
    EXPECT_EQ(host.calls.back(), "shutdown");
}

TEST(RunStop, JointStoppedMidPassWritesWholeTables) {
    RunFixture data(2500, 5);
    data.WriteFiles();
    // Polls: pass 1 has two; pass 2 polls after examinees 1000 and 2000.
    for (int stopAt : {2, 3, 4}) {
        SCOPED_TRACE(stopAt);
        auto host = data.Host(3);
        host.stopAtPoll = stopAt;
        EXPECT_EQ(RunClassic(host), RunEnd::Stopped);
        const auto lines = CrLfLines(data.Output());
        ASSERT_EQ(lines.size(), 1u + 5 + 1 + 1 + 2500);
        EXPECT_EQ(lines[6], "");
        EXPECT_EQ(lines.back().substr(0, 5), " 2500");
    }
}

TEST(RunStop, StopInTheAbilityPassKeepsTheAbilitiesOfThePassBefore) {
    RunFixture data(2500, 5);
    data.WriteFiles();
    auto host = data.Host(6);
    host.answerYes = false;
    host.stopAtPoll = 3;  // after examinee 1000 of the first ability pass
    RunClassic(host);
    const auto lines = CrLfLines(data.Output());
    // Examinees after 1000 were not reached: still at their start of 0.
    EXPECT_EQ(lines.at(8 + 1000).substr(26), "   0.0000,   0.0000");
    EXPECT_NE(lines.at(8 + 999).substr(26), "   0.0000,   0.0000");
}

}  // namespace
}  // namespace tarvo
