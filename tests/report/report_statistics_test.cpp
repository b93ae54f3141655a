// The classical statistics against values worked out by hand.
#include <gtest/gtest.h>

#include <cmath>

#include "report/ability_statistics.h"
#include "report/report_builder.h"
#include "report/response_counts.h"
#include "report_test_tables.h"

namespace tarvo::report {
namespace {

using test_support::TableOf;

// Three items, six examinees, missing responses (9) in four places; the
// last examinee answered nothing.
//          item 1 2 3   raw  valid
//   P1          1 1 1    3    3
//   P2          1 0 9    1    2
//   P3          0 0 1    1    3
//   P4          1 1 0    2    3
//   P5          0 9 0    0    2
//   P6          9 9 9    0    0
const std::vector<std::string> kRows{"111", "109", "001", "110", "090", "999"};

TEST(ResponseCounts, LeaveMissingResponsesOutOfEveryCount) {
    const ResponseCounts counts = CountResponses(TableOf(kRows));
    EXPECT_EQ(counts.itemValid, (std::vector<std::int32_t>{5, 4, 4}));
    EXPECT_EQ(counts.itemCorrect, (std::vector<std::int32_t>{3, 2, 2}));
    EXPECT_EQ(counts.itemOmitted, (std::vector<std::int32_t>{1, 2, 2}));
    EXPECT_EQ(counts.rawScore, (std::vector<std::int32_t>{3, 1, 1, 2, 0, 0}));
    EXPECT_EQ(counts.nvalid, (std::vector<std::int32_t>{3, 2, 3, 3, 2, 0}));
    EXPECT_EQ(counts.missing, 5u);
}

TEST(ItemStatistics, PValueItemRestAndKr20MatchHandComputedValues) {
    const PersonTable persons = TableOf(kRows);
    const ResponseCounts counts = CountResponses(persons);
    EXPECT_DOUBLE_EQ(PValue(counts, 0), 0.6);
    EXPECT_DOUBLE_EQ(PValue(counts, 1), 0.5);
    EXPECT_DOUBLE_EQ(PValue(counts, 2), 0.5);

    const std::vector<double> r = ItemRestCorrelations(persons, counts);
    // Item 1 over P1..P5: x 1 1 0 1 0, rest 2 0 1 1 0: Sxy 0.6, Sxx 1.2, Syy 2.8.
    EXPECT_NEAR(r[0], 0.6 / std::sqrt(1.2 * 2.8), 1e-14);
    // Item 2 over P1..P4: x 1 0 0 1, rest 2 1 1 1: Sxy 0.5, Sxx 1, Syy 0.75.
    EXPECT_NEAR(r[1], 0.5 / std::sqrt(0.75), 1e-14);
    // Item 3 over P1, P3, P4, P5: x 1 1 0 0, rest 2 0 2 0: no covariance.
    EXPECT_NEAR(r[2], 0, 1e-14);

    // sum p q = 0.24 + 0.25 + 0.25; raw scores 3 1 1 2 0 (P6 left out):
    // variance 1.04; alpha = 3/2 (1 - 0.74 / 1.04).
    EXPECT_NEAR(Kr20(counts), 1.5 * (1 - 0.74 / 1.04), 1e-14);
}

TEST(ItemStatistics, UndefinedValuesAreNaN) {
    // Item 1 all correct (no variance), item 2 never answered.
    const PersonTable persons = TableOf({"19", "19", "19"});
    const ResponseCounts counts = CountResponses(persons);
    EXPECT_TRUE(std::isnan(PValue(counts, 1)));
    const auto r = ItemRestCorrelations(persons, counts);
    EXPECT_TRUE(std::isnan(r[0]));
    EXPECT_TRUE(std::isnan(r[1]));
    EXPECT_TRUE(std::isnan(Kr20(counts)));                               // raw scores do not vary
    EXPECT_TRUE(std::isnan(Kr20(CountResponses(TableOf({"1", "0"})))));  // one item
}

// An item that nobody answered adds no p q to KR-20; the item count k still
// counts it, as it counts every item of the test.
TEST(ItemStatistics, Kr20PassesOverAnItemWithoutValidResponses) {
    std::vector<std::string> rows;
    for (const std::string& row : kRows) rows.push_back(row + "9");
    const ResponseCounts counts = CountResponses(TableOf(rows));
    EXPECT_NEAR(Kr20(counts), 4.0 / 3 * (1 - 0.74 / 1.04), 1e-14);
}

TEST(EmpiricalReliability, VarianceOverVariancePlusMeanSquaredError) {
    const std::vector<double> theta{-1, 0, 1, 2.5, 0.3};
    const std::vector<double> se{0.5, 0.5, 0.5, 9, -1};
    // The fourth is not used, the fifth has no standard error: over -1, 0, 1
    // the variance is 2/3 and the mean squared error 0.25.
    const std::vector<bool> use{true, true, true, false, true};
    EXPECT_NEAR(EmpiricalReliability(theta, se, use), (2.0 / 3) / (2.0 / 3 + 0.25), 1e-14);
    EXPECT_TRUE(std::isnan(EmpiricalReliability(theta, se, {true, false, false, false, false})));
    // An error of 0 is an error: the scores are then perfectly reliable.
    const std::vector<double> exact(5, 0.0);
    EXPECT_EQ(EmpiricalReliability(theta, exact, use), 1);
}

// The run's empirical reliability is taken over every examinee with an
// estimate: an all-correct examinee's ML score (the classic loops) is the
// search's bound, no estimate; an EAP score there is one.
TEST(EmpiricalReliability, OfARunIsOverEveryExamineeWithAnEstimate) {
    PersonTable persons = TableOf({"100", "110", "010", "111", "001"});
    persons.theta = {-1, 0, 1, 3, 0.5};
    persons.seetheta = {0.5, 0.5, 0.5, 20, 0.5};
    ItemTable items(3);
    for (std::size_t i = 0; i < 3; ++i) {
        items.a[i] = 1;
        items.c[i] = 0.1;
        items.seea[i] = items.seeb[i] = items.seec[i] = 0.2;
    }
    RunReport report;
    DescribeRun(report, 3);
    CompleteRunReport(report, items, persons);
    ASSERT_EQ(report.personRows.size(), 5u);
    EXPECT_NE(report.personRows[3].flags, 0u);
    // Over -1, 0, 1 and 0.5: mean 0.125, variance 0.546875, mean squared error 0.25.
    EXPECT_NEAR(report.empiricalReliability, 0.546875 / (0.546875 + 0.25), 1e-14);
    EXPECT_EQ(report.empiricalExaminees, 4u);

    // The same examinees scored by their posterior, the all-correct one at
    // 1.5 (0.8): mean 0.4, variance 0.74, mean squared error (4 * 0.25 +
    // 0.64) / 5 = 0.328.
    persons.theta[3] = 1.5;
    persons.seetheta[3] = 0.8;
    RunReport posterior;
    DescribeRun(posterior, 3);
    posterior.posteriorScores = true;
    CompleteRunReport(posterior, items, persons);
    EXPECT_NEAR(posterior.empiricalReliability, 0.74 / (0.74 + 0.328), 1e-14);
    EXPECT_EQ(posterior.empiricalExaminees, 5u);
}

TEST(RawScoreOrder, CountsPairsOfGroupsInTheWrongOrder) {
    struct Case {
        const char* name;
        std::vector<double> theta;
        std::vector<std::int32_t> raw, nvalid;
        int inversions;
    };
    const Case cases[] = {
        {"in order", {-2, -1, -1.2, 0, 1.5}, {0, 1, 1, 2, 3}, {3, 3, 3, 3, 3}, 0},
        // Raw score 0 gets the highest theta: out of order with 1, 2 and 3.
        {"lowest on top", {7.1, -1, 0, 1}, {0, 1, 2, 3}, {3, 3, 3, 3}, 3},
        // Group means: raw 1 -> -0.5, raw 2 -> -0.8: one pair.
        {"group means", {-1, 0, -0.8, 1}, {1, 1, 2, 3}, {3, 3, 3, 3}, 1},
        // Different numbers of valid responses are not compared.
        {"other counts", {1, -1}, {1, 2}, {2, 3}, 0},
        // No valid response: left out.
        {"no response", {5, 0, 1}, {0, 0, 1}, {0, 2, 2}, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(RawScoreOrderInversions(c.theta, c.raw, c.nvalid), c.inversions) << c.name;
    }
}

TEST(AbilityGroups, TenGroupsOfEqualSizeByTheta) {
    // 23 examinees, theta j/10 in reverse file order, one item answered
    // correctly from theta 1.2 up, a second item missing for examinee 0.
    std::vector<std::string> rows;
    std::vector<double> theta;
    for (int j = 0; j < 23; ++j) {
        theta.push_back((22 - j) / 10.0);
        rows.push_back(std::string(theta.back() >= 1.2 ? "1" : "0") + (j == 0 ? "9" : "1"));
    }
    const PersonTable persons = TableOf(rows);
    std::vector<std::int32_t> nvalid(23, 2);
    std::vector<ItemReport> items(2);
    FillAbilityGroups(persons, theta, nvalid, items);
    // Cuts at g * 23 / 10: sizes 2 2 2 3 2 2 3 2 2 3.
    EXPECT_EQ(items[0].groupCount, (std::vector<int>{2, 2, 2, 3, 2, 2, 3, 2, 2, 3}));
    EXPECT_NEAR(items[0].groupTheta[0], 0.05, 1e-12);    // 0.0 and 0.1
    EXPECT_NEAR(items[0].groupTheta[3], 0.7, 1e-12);     // 0.6, 0.7, 0.8
    EXPECT_DOUBLE_EQ(items[0].groupProportion[4], 0);    // 0.9, 1.0
    EXPECT_DOUBLE_EQ(items[0].groupProportion[5], 0.5);  // 1.1 wrong, 1.2 right
    EXPECT_DOUBLE_EQ(items[0].groupProportion[9], 1);
    // The highest theta (examinee 0) has no response to item 2.
    EXPECT_EQ(items[1].groupCount[9], 2);
    EXPECT_NEAR(items[1].groupTheta[9], 2.05, 1e-12);
    // Nor does its missing code count in the group's mean score.
    EXPECT_DOUBLE_EQ(items[1].groupMeanScore[9], 1);

    // Equal thetas share a group whatever the rows' order: 20 examinees, the
    // last 7 tied at 2.0; the cuts of equal sizes (2, 4, ..., 18) that fall
    // in the tie move to the nearer of its start (13 from 14 and 16) and its
    // end (20 from 18: no cut).
    std::vector<double> tied;
    for (int j = 0; j < 20; ++j) tied.push_back(j < 13 ? j / 10.0 : 2.0);
    const AbilityGroups groups = AbilityGroupsOf(tied, std::vector<std::int32_t>(20, 1));
    ASSERT_EQ(groups.groups, 8u);
    for (int j = 13; j < 20; ++j) EXPECT_EQ(groups.of[j], 7) << j;
    EXPECT_EQ(groups.of[12], 6);
    EXPECT_EQ(groups.of[11], 5);
    EXPECT_EQ(groups.of[10], 5);
    EXPECT_EQ(groups.of[9], 4);
    std::vector<double> reversed(tied.rbegin(), tied.rend());
    const AbilityGroups turned = AbilityGroupsOf(reversed, std::vector<std::int32_t>(20, 1));
    for (int j = 0; j < 20; ++j) EXPECT_EQ(turned.of[19 - j], groups.of[j]) << j;

    // A tie across the cut at 4 (abilities 3 and 4 equal, up to the last
    // bits of a sum reached by other patterns): the rises at 3 and 5 are
    // as near, and the later one ends the group, which keeps 2 to 4 together.
    std::vector<double> close;
    for (int j = 0; j < 20; ++j) close.push_back(j / 10.0);
    close[4] = close[3] * (1 + 4e-16);
    const AbilityGroups near = AbilityGroupsOf(close, std::vector<std::int32_t>(20, 1));
    EXPECT_EQ(near.of[3], near.of[4]);
    EXPECT_EQ(near.of[2], near.of[3]);
    EXPECT_EQ(near.of[5], near.of[4] + 1);

    // Fewer than ten examinees: one group each; none: no groups.
    std::vector<ItemReport> few(1);
    FillAbilityGroups(TableOf({"1", "0", "1"}), std::vector<double>{0.5, -0.5, 0},
                      std::vector<std::int32_t>{1, 1, 1}, few);
    EXPECT_EQ(few[0].groupProportion, (std::vector<double>{0, 1, 1}));
    std::vector<ItemReport> none(1);
    FillAbilityGroups(TableOf({}), {}, {}, none);
    EXPECT_TRUE(none[0].groupCount.empty());
}

}  // namespace
}  // namespace tarvo::report
