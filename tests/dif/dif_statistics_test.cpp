// The statistics of one item's strata: what must hold whatever the data
// (the groups swapped, strata that carry nothing, the reductions of the
// ordinal forms to the right/wrong ones) and the categories' edges.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "dif/cumulative_logit.h"
#include "dif/logistic_dif.h"
#include "dif/mantel_haenszel.h"
#include "dif/standardization.h"

namespace tarvo::dif {
namespace {

// counts[s][g][y] flattened; the strata of a right/wrong item where the
// focal group does worse at every score.
ItemStrata Strata(std::size_t strata, std::size_t categories, const std::vector<double>& counts) {
    ItemStrata out(strata, categories);
    out.counts = counts;
    return out;
}

ItemStrata FocalDoesWorse() {
    return Strata(4, 2,
                  {30, 10, 40, 8,   //
                   25, 25, 35, 15,  //
                   10, 40, 22, 28,  //
                   4, 46, 12, 38});
}

ItemStrata Swapped(const ItemStrata& in) {
    ItemStrata out(in.strata, in.categories);
    for (std::size_t s = 0; s < in.strata; ++s) {
        for (std::size_t y = 0; y < in.categories; ++y) {
            out.at(s, 0, y) = in.at(s, 1, y);
            out.at(s, 1, y) = in.at(s, 0, y);
        }
    }
    return out;
}

TEST(MantelHaenszel, SwappingTheGroupsTurnsTheOddsRatioOverAndKeepsTheTest) {
    const ItemStrata strata = FocalDoesWorse();
    const MantelResult mh = MantelHaenszel(strata);
    const MantelResult back = MantelHaenszel(Swapped(strata));
    EXPECT_GT(mh.alpha, 1);  // the reference group's odds are higher
    EXPECT_LT(mh.delta, 0);
    EXPECT_NEAR(back.alpha, 1 / mh.alpha, 1e-12);
    EXPECT_NEAR(back.delta, -mh.delta, 1e-12);
    EXPECT_NEAR(back.seDelta, mh.seDelta, 1e-12);
    EXPECT_NEAR(back.chiSquare, mh.chiSquare, 1e-12);
    EXPECT_LT(StandardizedDifference(strata), 0);
    EXPECT_GT(StandardizedDifference(Swapped(strata)), 0);  // weighted otherwise, same sign
    const LogisticResult lr = LogisticDif(strata), lrBack = LogisticDif(Swapped(strata));
    EXPECT_NEAR(lr.uniform, lrBack.uniform, 1e-8);
    EXPECT_NEAR(lr.nonUniform, lrBack.nonUniform, 1e-8);
}

TEST(MantelHaenszel, StrataOfOneExamineeOrOneGroupChangeNothing) {
    const ItemStrata strata = FocalDoesWorse();
    ItemStrata more(6, 2);
    for (std::size_t k = 0; k < strata.counts.size(); ++k) more.counts[k] = strata.counts[k];
    more.at(4, 1, 0) = 1;                        // one examinee
    more.at(5, 0, 1) = 7, more.at(5, 0, 0) = 3;  // the reference group alone
    const MantelResult a = MantelHaenszel(strata), b = MantelHaenszel(more);
    EXPECT_DOUBLE_EQ(a.chiSquare, b.chiSquare);
    EXPECT_DOUBLE_EQ(a.alpha, b.alpha);
    EXPECT_DOUBLE_EQ(a.seDelta, b.seDelta);
    EXPECT_DOUBLE_EQ(StandardizedDifference(strata), StandardizedDifference(more));
    EXPECT_DOUBLE_EQ(MantelOrdinal(strata).chiSquare, MantelOrdinal(more).chiSquare);
}

TEST(MantelHaenszel, EqualGroupsShowNoDif) {
    const ItemStrata same = Strata(3, 2, {10, 20, 10, 20, 15, 15, 15, 15, 25, 5, 25, 5});
    const MantelResult mh = MantelHaenszel(same);
    EXPECT_DOUBLE_EQ(mh.chiSquare, 0);
    EXPECT_DOUBLE_EQ(mh.p, 1);
    EXPECT_NEAR(mh.alpha, 1, 1e-15);
    EXPECT_EQ(mh.category, 'A');
    EXPECT_NEAR(StandardizedDifference(same), 0, 1e-15);
    const LogisticResult lr = LogisticDif(same);
    EXPECT_NEAR(lr.uniform, 0, 1e-9);
    EXPECT_NEAR(lr.both, 0, 1e-9);
    EXPECT_EQ(lr.category, 'A');
}

TEST(MantelHaenszel, TheOrdinalFormsReduceToTheRightWrongOnesAtTwoCategories) {
    const ItemStrata strata = FocalDoesWorse();
    const MantelResult mh = MantelHaenszel(strata);
    const MantelResult ordinal = MantelOrdinal(strata);
    // Liu-Agresti's one cut is the Mantel-Haenszel odds ratio; Mantel's
    // statistic is the chi-square without the half-unit correction.
    EXPECT_NEAR(ordinal.alpha, mh.alpha, 1e-12);
    EXPECT_GT(ordinal.chiSquare, mh.chiSquare);
    EXPECT_NEAR(ordinal.smd, StandardizedDifference(strata), 1e-15);
}

TEST(MantelHaenszel, ARatioOfZeroOrInfinityHasNoCategory) {
    // The focal group never answers right where the reference group does.
    const ItemStrata strata = Strata(2, 2, {0, 10, 0, 10, 5, 5, 10, 0});
    const MantelResult mh = MantelHaenszel(strata);
    EXPECT_TRUE(std::isfinite(mh.chiSquare));
    EXPECT_FALSE(std::isfinite(mh.delta));
    EXPECT_EQ(mh.category, ' ');
}

TEST(DifCategories, EdgesOfEachRule) {
    // ETS: A below |delta| 1 or p >= .05; C at 1.5 and significantly above 1.
    EXPECT_EQ(EtsCategory(-0.99, 0.1, 1e-9), 'A');
    EXPECT_EQ(EtsCategory(1.2, 0.1, 0.05), 'A');
    EXPECT_EQ(EtsCategory(1.2, 0.1, 0.049), 'B');
    EXPECT_EQ(EtsCategory(-1.5, 0.2, 1e-6), 'C');  // (1.5 - 1) / 0.2 = 2.5 > 1.645
    EXPECT_EQ(EtsCategory(1.5, 0.31, 1e-6), 'B');  // 1.61 < 1.645
    EXPECT_EQ(EtsCategory(1.49, 0.01, 1e-6), 'B');
    EXPECT_EQ(EtsCategory(NAN, 0.1, 0.01), ' ');
    // Items scored 0..m: |SMD| / SD at .17 and .25.
    EXPECT_EQ(ScoredItemCategory(0.17, 1, 1e-6), 'A');
    EXPECT_EQ(ScoredItemCategory(-0.2, 1, 1e-6), 'B');
    EXPECT_EQ(ScoredItemCategory(0.25, 1, 1e-6), 'B');
    EXPECT_EQ(ScoredItemCategory(0.26, 1, 1e-6), 'C');
    EXPECT_EQ(ScoredItemCategory(0.6, 2, 1e-6), 'C');
    EXPECT_EQ(ScoredItemCategory(0.9, 1, 0.2), 'A');
    EXPECT_EQ(ScoredItemCategory(0.3, 0, 0.01), ' ');
    // STD P-DIF at .05 and .10.
    EXPECT_EQ(StdPDifCategory(-0.049), 'A');
    EXPECT_EQ(StdPDifCategory(0.05), 'B');
    EXPECT_EQ(StdPDifCategory(-0.1), 'C');
    // Jodoin and Gierl at .035 and .070, only where the test is significant.
    EXPECT_EQ(JodoinGierlCategory(0.034, 1e-9), 'A');
    EXPECT_EQ(JodoinGierlCategory(0.035, 1e-9), 'B');
    EXPECT_EQ(JodoinGierlCategory(0.07, 1e-9), 'C');
    EXPECT_EQ(JodoinGierlCategory(0.2, 0.06), 'A');
}

TEST(CumulativeLogit, ReachesTheClosedFormMaxima) {
    // No covariate: the categories' shares. One group dummy with two
    // categories: each group's own share.
    std::vector<LogitCell> cells;
    const double counts[2][4] = {{12, 30, 41, 17}, {25, 33, 20, 9}};
    for (int g = 0; g < 2; ++g) {
        for (std::size_t y = 0; y < 4; ++y) {
            LogitCell cell;
            cell.x[0] = g;
            cell.category = y;
            cell.count = counts[g][y];
            cells.push_back(cell);
        }
    }
    double expected = 0;
    for (std::size_t y = 0; y < 4; ++y) {
        const double n = counts[0][y] + counts[1][y];
        expected += n * std::log(n / 187);
    }
    const LogitFit none = FitCumulativeLogit(cells, 4, 0);
    EXPECT_TRUE(none.converged);
    EXPECT_NEAR(none.logLikelihood, expected, 1e-9);

    std::vector<LogitCell> binary;
    for (LogitCell cell : cells) {
        cell.category = cell.category >= 2 ? 1 : 0;
        binary.push_back(cell);
    }
    double saturated = 0;
    for (int g = 0; g < 2; ++g) {
        const double low = counts[g][0] + counts[g][1], high = counts[g][2] + counts[g][3];
        saturated += low * std::log(low / (low + high)) + high * std::log(high / (low + high));
    }
    const LogitFit byGroup = FitCumulativeLogit(binary, 2, 1);
    EXPECT_TRUE(byGroup.converged);
    EXPECT_NEAR(byGroup.logLikelihood, saturated, 1e-9);
}

TEST(LogisticDif, SeparatedAnswersAreToldNotHidden) {
    // The focal group answers right at every score, the reference group
    // wrong: no maximum exists.
    const ItemStrata strata = Strata(3, 2, {5, 0, 0, 6, 4, 0, 0, 7, 3, 0, 0, 8});
    const LogisticResult lr = LogisticDif(strata);
    EXPECT_FALSE(lr.converged);
    EXPECT_STRNE(lr.note, "");
    const ItemStrata oneScore = Strata(2, 2, {5, 0, 6, 0, 4, 0, 7, 0});
    EXPECT_STRNE(LogisticDif(oneScore).note, "");
    EXPECT_TRUE(std::isnan(LogisticDif(oneScore).both));
}

}  // namespace
}  // namespace tarvo::dif
