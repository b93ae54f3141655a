// Items scored 0..m beside right/wrong ones: the right/wrong statistics are
// the right/wrong items' alone, the items scored 0..m are correlated by
// score and judged by the polytomous estimator's ranges.
#include <gtest/gtest.h>

#include <cmath>

#include "core/estimate_bounds.h"
#include "core/marginal_settings.h"
#include "report/report_builder.h"
#include "report/report_flags.h"
#include "report/report_json.h"
#include "report/report_summary.h"
#include "report/response_counts.h"
#include "report_test_tables.h"

namespace tarvo::report {
namespace {

using test_support::TableOf;

// Items 1 and 2 right/wrong, item 3 scored 0..3.
//          item 1 2 3   right/wrong raw  score  most
//   P1          1 1 3        2             5      5
//   P2          1 0 2        1             3      5
//   P3          0 1 0        1             1      5
//   P4          1 0 3        1             4      5
//   P5          1 1 9        2             2      2
//   P6          9 9 2        0             2      3
const std::vector<std::string> kMixed{"113", "102", "010", "103", "119", "992"};
const std::vector<int> kCategories{2, 2, 4};

TEST(PolytomousCounts, RightWrongStatisticsLeaveTheScoredItemOut) {
    const PersonTable persons = TableOf(kMixed);
    const ResponseCounts counts = CountResponses(persons, kCategories);
    EXPECT_EQ(counts.rawScore, (std::vector<std::int32_t>{2, 1, 1, 1, 2, 0}));
    EXPECT_EQ(counts.nvalid, (std::vector<std::int32_t>{2, 2, 2, 2, 2, 0}));
    EXPECT_EQ(counts.score, (std::vector<std::int32_t>{5, 3, 1, 4, 2, 2}));
    EXPECT_EQ(counts.mostScore, (std::vector<std::int32_t>{5, 5, 5, 5, 2, 3}));
    EXPECT_EQ(counts.answered, (std::vector<std::int32_t>{3, 3, 3, 3, 2, 1}));
    EXPECT_EQ(counts.missing, 3u);
    EXPECT_EQ(RightWrongItems(counts), 2u);
    EXPECT_TRUE(std::isnan(PValue(counts, 2))) << "a score of 2 is no wrong answer";
    EXPECT_DOUBLE_EQ(PValue(counts, 0), 0.8);

    // The right/wrong items' p-values, item-rest correlations and KR-20 are
    // those of the two items on their own.
    const PersonTable alone = TableOf({"11", "10", "01", "10", "11", "99"});
    const ResponseCounts aloneCounts = CountResponses(alone);
    const std::vector<double> mixedRest = ItemRestCorrelations(persons, counts);
    const std::vector<double> aloneRest = ItemRestCorrelations(alone, aloneCounts);
    for (std::size_t i = 0; i < 2; ++i) {
        EXPECT_DOUBLE_EQ(PValue(counts, i), PValue(aloneCounts, i)) << i;
        EXPECT_DOUBLE_EQ(mixedRest[i], aloneRest[i]) << i;
    }
    EXPECT_DOUBLE_EQ(Kr20(counts), Kr20(aloneCounts));

    // Item 3 by score against the score on the others, over P1-P4 and P6:
    // x = 3 2 0 3 2, rest = 2 1 1 1 0; sxy = 1, sxx = 6, syy = 2.
    EXPECT_NEAR(mixedRest[2], 1 / std::sqrt(12.0), 1e-14);
}

TEST(PolytomousCounts, AllRightWrongTableIsCountedAsBefore) {
    const PersonTable persons = TableOf({"110", "101", "011"});
    const ResponseCounts plain = CountResponses(persons);
    const ResponseCounts given = CountResponses(persons, {2, 2, 2});
    EXPECT_TRUE(given.categories.empty());
    EXPECT_TRUE(given.score.empty());
    EXPECT_EQ(given.rawScore, plain.rawScore);
    EXPECT_EQ(ItemRestCorrelations(persons, given), ItemRestCorrelations(persons, plain));
}

ItemReport EstimatedItem(double a, double b) {
    ItemReport item;
    item.a = a;
    item.b = b;
    item.seea = item.seeb = 0.1;
    item.seec = -1;  // no c
    item.nobs = 100;
    item.pValue = NAN;
    item.itemRest = 0.4;
    return item;
}

// The estimator moves slopes and intercepts without bounds: no slope or
// threshold is ever at one, however large; a negative slope is flagged as
// discriminating negatively (never at a bound), and a slope nearer 0 than
// 0.05 flags the item as not discriminating instead (its thresholds and
// their capped errors are no locations), whichever its sign or model.
TEST(PolytomousFlags, SlopesOfEitherSignHaveNoBoundAndANearZeroSlopeDoesNotDiscriminate) {
    MarginalSettings grm;
    grm.polytomous = PolytomousModel::Grm;
    const EstimateJudgement judgement = PolytomousJudgement(grm, 0, 1);
    const std::vector<double> inside{-1, 0, 1.5};
    // No c and no p-value: a positive slope of any size has nothing to flag.
    EXPECT_EQ(PolytomousItemFlagsOf(EstimatedItem(12.5, -1), inside, judgement), 0u);
    EXPECT_EQ(PolytomousItemFlagsOf(EstimatedItem(1, -1), {-1, 0, 10}, judgement), 0u);
    // A negative one discriminates negatively even where the item-rest r
    // (0.4 here) does not say so.
    for (const double a : {-1.2, -8.0, -0.05}) {
        EXPECT_EQ(PolytomousItemFlagsOf(EstimatedItem(a, -1), inside, judgement),
                  kItemNegativeDiscrimination)
            << a;
    }
    EXPECT_EQ(PolytomousItemFlagsOf(EstimatedItem(-0.3, -1), {-1, 0, 94}, judgement),
              kItemNegativeDiscrimination);
    // Near 0 on either side: not discriminating, and its thresholds' capped
    // errors are not flagged apart.
    ItemReport flat = EstimatedItem(0.01, -1);
    flat.seeb = kStandardErrorCap;
    EXPECT_EQ(PolytomousItemFlagsOf(flat, {-400, 30, 800}, judgement), kItemNotDiscriminating);
    EXPECT_EQ(PolytomousItemFlagsOf(EstimatedItem(-0.049, -1), inside, judgement),
              kItemNotDiscriminating);
    EXPECT_EQ(PolytomousItemFlagsOf(EstimatedItem(0.05, -1), inside, judgement), 0u);
    // A held item is not judged; the item-rest correlation by score is.
    ItemReport held = EstimatedItem(0.01, -1);
    held.held = true;
    EXPECT_EQ(PolytomousItemFlagsOf(held, {-1, 0, 10}, judgement), 0u);
    ItemReport reversed = EstimatedItem(-1.2, -1);
    reversed.itemRest = -0.3;
    EXPECT_EQ(PolytomousItemFlagsOf(reversed, inside, judgement), kItemNegativeDiscrimination);
    EXPECT_NE(ItemFlagReason(kItemNotDiscriminating, judgement)
                  .find("does not discriminate: b is not defined"),
              std::string::npos)
        << ItemFlagReason(kItemNotDiscriminating, judgement);

    // The PCM's common slope alike.
    MarginalSettings pcm;
    pcm.polytomous = PolytomousModel::Pcm;
    const EstimateJudgement common = PolytomousJudgement(pcm, 0, 1);
    EXPECT_EQ(PolytomousItemFlagsOf(EstimatedItem(0.02, 0), inside, common),
              kItemNotDiscriminating);
    EXPECT_EQ(PolytomousItemFlagsOf(EstimatedItem(9, 0), inside, common), 0u);
}

TEST(PolytomousReport, ExamineesAreJudgedByTheirSummedScore) {
    // P1 at the top of every item, P2 in the middle of item 3, P3 at 0.
    PersonTable persons = TableOf({"113", "111", "000"});
    ItemTable items(3);
    for (std::size_t i = 0; i < 3; ++i) items.a[i] = items.seea[i] = items.seeb[i] = 1;
    RunReport report;
    DescribeRun(report, 3);
    CompleteRunReport(report, items, persons, static_cast<std::size_t>(-1), {}, false, kCategories,
                      {{0}, {0}, {-1, 0, 1}}, {"3pl", "3pl", "grm"});
    ASSERT_EQ(report.personRows.size(), 3u);
    EXPECT_EQ(report.personRows[0].rawScore, 5);
    EXPECT_EQ(report.personRows[0].flags & kPersonAllCorrect, kPersonAllCorrect);
    EXPECT_EQ(report.personRows[1].rawScore, 3);
    EXPECT_EQ(report.personRows[1].flags & (kPersonAllCorrect | kPersonAllWrong), 0u);
    EXPECT_EQ(report.personRows[2].flags & kPersonAllWrong, kPersonAllWrong);
    EXPECT_EQ(report.kr20Items, 2);
    EXPECT_TRUE(std::isnan(report.itemRows[2].pValue));
    // Item 3 carries its model, thresholds and mean scores (4/3 overall; one
    // group, since all three share theta 0).
    EXPECT_TRUE(report.itemRows[2].groupProportion.empty());
    EXPECT_EQ(report.itemRows[2].model, "grm");
    EXPECT_EQ(report.itemRows[2].thresholds, (std::vector<double>{-1, 0, 1}));
    EXPECT_DOUBLE_EQ(report.itemRows[2].meanScore, 4.0 / 3);
    EXPECT_EQ(report.itemRows[2].groupMeanScore, (std::vector<double>{4.0 / 3}));
    EXPECT_TRUE(report.itemRows[0].groupMeanScore.empty());
    EXPECT_TRUE(std::isnan(report.itemRows[0].meanScore));
    // The JSON gives item 3's groups their mean scores, item 1's their proportions.
    const std::string json = ReportJson(report);
    EXPECT_NE(json.find("\"ability_groups\":{\"theta\":[0.0],\"mean_score\":[1.3333333333333333]"),
              std::string::npos)
        << json;
    EXPECT_NE(json.find("\"proportion\":[0.6666666666666666]"), std::string::npos) << json;
    EXPECT_EQ(report.itemRows[2].categories, 4);
    EXPECT_EQ(&JudgementOf(report, report.itemRows[2]), &report.judgement)
        << "without a polytomous judgement the report's own";
    report.polytomousJudgement = EstimateJudgement{};
    EXPECT_EQ(&JudgementOf(report, report.itemRows[2]), &*report.polytomousJudgement);
    EXPECT_EQ(&JudgementOf(report, report.itemRows[0]), &report.judgement);
}

// A test of items scored 0..m alone has no right/wrong items: their model,
// its priors and KR-20 over none of them are not reported.
TEST(PolytomousReport, WithoutRightWrongItemsTheirModelPriorsAndKr20AreLeftOut) {
    PersonTable persons = TableOf({"120", "212", "001"});
    ItemTable items(3);
    for (std::size_t i = 0; i < 3; ++i) items.a[i] = items.seea[i] = items.seeb[i] = 1;
    RunReport report;
    DescribeRun(report, 3);
    report.method = "mml";
    report.model = "grm";
    report.binaryModel = "3pl";
    report.priors = {"a: log-normal, log a ~ N(0, 0.5^2)"};
    CompleteRunReport(report, items, persons, static_cast<std::size_t>(-1), {}, false, {3, 3, 3},
                      {{-1, 1}, {-1, 1}, {-1, 1}}, {"grm", "grm", "grm"});
    EXPECT_EQ(report.kr20Items, 0);
    EXPECT_TRUE(report.binaryModel.empty());
    EXPECT_TRUE(report.priors.empty());
    const std::string summary = SummaryText(report);
    EXPECT_EQ(summary.find("KR-20"), std::string::npos) << summary;
    EXPECT_NE(summary.find("Reliability: empirical"), std::string::npos) << summary;
}

}  // namespace
}  // namespace tarvo::report
