#include "fit/model_fit.h"

#include <gtest/gtest.h>

#include <cmath>

#include "fit/multiple_testing.h"

namespace tarvo::fit {
namespace {

TEST(ModelFit, InformationCriteriaAndTheLikelihoodRatioTestOnLsat7) {
    // The published marginal log-likelihoods of LSAT section 7 by mirt 1.40
    // (Rasch with its latent variance, 2PL, 3PL; MML-EM, as listed with the
    // public data): 6, 10 and 15 parameters over 1000 examinees.
    const ModelFit rasch = DescribeModelFit(ModelLikelihood{-2664.9009, 6}, 1000);
    const ModelFit twoPL = DescribeModelFit(ModelLikelihood{-2658.8051, 10}, 1000);
    const ModelFit threePL = DescribeModelFit(ModelLikelihood{-2658.0549, 15}, 1000);
    ASSERT_TRUE(rasch.defined && twoPL.defined && threePL.defined);
    EXPECT_NEAR(twoPL.minus2LogLikelihood, 5317.6102, 1e-9);
    EXPECT_NEAR(twoPL.aic, 5337.6102, 1e-9);
    EXPECT_NEAR(twoPL.bic, 5317.6102 + 10 * std::log(1000.0), 1e-9);
    // The 2PL is preferred by both criteria; the 3PL adds nothing.
    EXPECT_LT(twoPL.aic, rasch.aic);
    EXPECT_LT(twoPL.aic, threePL.aic);
    EXPECT_LT(twoPL.bic, threePL.bic);

    const NestedComparison raschTo2PL = CompareNested(rasch, twoPL);
    EXPECT_NEAR(raschTo2PL.statistic, 12.1916, 1e-9);
    EXPECT_EQ(raschTo2PL.df, 4);
    EXPECT_NEAR(raschTo2PL.p, 0.016, 0.001);
    const NestedComparison twoTo3PL = CompareNested(twoPL, threePL);
    EXPECT_EQ(twoTo3PL.df, 5);
    EXPECT_GT(twoTo3PL.p, 0.9);
    EXPECT_TRUE(twoTo3PL.note.empty());
}

TEST(ModelFit, UndefinedWithoutAMarginalLikelihoodOrAProperNesting) {
    const ModelFit classic = DescribeModelFit(std::nullopt, 500);
    EXPECT_FALSE(classic.defined);
    EXPECT_TRUE(std::isnan(classic.aic));
    EXPECT_NE(classic.note.find("classic"), std::string::npos);

    const ModelFit small = DescribeModelFit(ModelLikelihood{-1000, 5}, 500);
    const ModelFit worse = DescribeModelFit(ModelLikelihood{-1001, 10}, 500);
    const NestedComparison backwards = CompareNested(small, worse);
    EXPECT_TRUE(std::isnan(backwards.p));
    EXPECT_FALSE(backwards.note.empty());
    EXPECT_FALSE(CompareNested(worse, small).note.empty());  // fewer parameters
    EXPECT_FALSE(CompareNested(classic, small).note.empty());
    EXPECT_FALSE(
        CompareNested(small, DescribeModelFit(ModelLikelihood{-990, 10}, 400)).note.empty());
    EXPECT_FALSE(DescribeModelFit(ModelLikelihood{NAN, 3}, 10).defined);

    // Equal parameter counts: no test, however much better the second fits.
    const NestedComparison equal =
        CompareNested(small, DescribeModelFit(ModelLikelihood{-900, 5}, 500));
    EXPECT_TRUE(std::isnan(equal.p));
    EXPECT_TRUE(std::isnan(equal.statistic));
    EXPECT_NE(equal.note.find("no more parameters"), std::string::npos) << equal.note;
}

TEST(BenjaminiHochberg, AdjustsInRankOrderAndKeepsUndefinedOut) {
    // m = 5 defined values: sorted 0.001, 0.01, 0.02, 0.04, 0.5 become
    // 0.005, 0.025, 0.0333, 0.05, 0.5 (each the smallest m p / rank from
    // its rank up).
    const std::vector<double> p{0.04, NAN, 0.001, 0.5, 0.02, 0.01};
    const std::vector<double> q = BenjaminiHochberg(p);
    EXPECT_NEAR(q[2], 0.005, 1e-15);
    EXPECT_NEAR(q[5], 0.025, 1e-15);
    EXPECT_NEAR(q[4], 0.1 / 3, 1e-15);
    EXPECT_NEAR(q[0], 0.05, 1e-15);
    EXPECT_NEAR(q[3], 0.5, 1e-15);
    EXPECT_TRUE(std::isnan(q[1]));
    // A larger p later in rank order lowers the ones before it to its own.
    const std::vector<double> tied = BenjaminiHochberg(std::vector<double>{0.03, 0.031, 0.032});
    for (const double v : tied) EXPECT_NEAR(v, 0.032, 1e-15);
    EXPECT_TRUE(BenjaminiHochberg(std::vector<double>{}).empty());
}

}  // namespace
}  // namespace tarvo::fit
