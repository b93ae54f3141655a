// Agreement with R's rpf package on the same item parameters and abilities.
// The expected values were made by bench/reference/rpf_fit.R (run by
// tarvo-bench --only fit --rpf ...): rpf 1.0.11 (Debian r-cran-rpf) on
// R 4.2, SitemFit with the items' estimated parameters marked free
// (qwidth 6, qpoints 61, alt FALSE) and rpf.1dim.fit with wh.exact TRUE;
// the p of S-X2 is R's pchisq of rpf's statistic and df.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "fit/compute_fit.h"
#include "fit/summed_score_fit.h"
#include "fit_test_data.h"
#include "support/lsat7.h"

namespace tarvo::fit {
namespace {

struct RpfItem {
    double sx2;
    int df;
    double p, infit, outfit, infitT, outfitT;
};

// LSAT section 7 with the marginal 2PL's estimates (no priors) and the EAP
// score of every pattern, both rounded to 4 decimals.
FitData Lsat7TwoPL() {
    FitData data;
    data.a = {0.5809, 0.6358, 1.0044, 0.4500, 0.4327};
    data.b = {-1.8793, -0.7475, -1.0572, -0.6353, -2.5208};
    data.c.assign(5, 0);
    data.estimated.assign(5, 2);
    UseStandardNormal(data);
    const struct {
        const char* pattern;
        double theta;
    } eap[] = {{"00000", -1.8698}, {"00001", -1.5273}, {"00010", -1.514},  {"00011", -1.1855},
               {"00100", -1.094},  {"00101", -0.7662}, {"00110", -0.7529}, {"00111", -0.4113},
               {"01000", -1.372},  {"01001", -1.0458}, {"01010", -1.0328}, {"01011", -0.7034},
               {"01100", -0.6086}, {"01101", -0.2574}, {"01110", -0.2428}, {"01111", 0.1411},
               {"10000", -1.4137}, {"10001", -1.0871}, {"10010", -1.0741}, {"10011", -0.7458},
               {"10100", -0.6516}, {"10101", -0.3034}, {"10110", -0.289},  {"10111", 0.0903},
               {"11000", -0.9341}, {"11001", -0.6013}, {"11010", -0.5878}, {"11011", -0.235},
               {"11100", -0.1306}, {"11101", 0.2654},  {"11110", 0.2821},  {"11111", 0.7272}};
    data.responses = test_support::Lsat7();
    for (const test_support::Lsat7Pattern& row : test_support::kLsat7Patterns) {
        for (const auto& score : eap) {
            if (std::strcmp(score.pattern, row.pattern) == 0) {
                data.theta.insert(data.theta.end(), static_cast<std::size_t>(row.count),
                                  score.theta);
            }
        }
    }
    return data;
}

TEST(RpfAgreement, Lsat7ItemFitEqualsRpfs) {
    const RpfItem rpf[] = {
        {3.5807369255, 3, 0.310440789043, 1.13903768833, 1.08855482784, 2.19793805444,
         1.2046591519},
        {4.14589395642, 3, 0.246135062165, 1.00058519802, 0.986241742994, 0.0305683334708,
         -0.453331268751},
        {2.00687114054, 3, 0.570981799085, 0.846414898948, 0.686356145431, -3.18843512392,
         -4.93051633249},
        {3.97691373571, 3, 0.263967844567, 1.08396631476, 1.09106280515, 4.55962829293,
         4.7537901683},
        {1.47641502142, 3, 0.687724330435, 1.19739661018, 1.20370214167, 2.81463776598,
         2.61466539246},
    };
    const FitResults fit = ComputeFit(Lsat7TwoPL().Inputs());
    EXPECT_EQ(fit.sx2Examinees, 1000u);
    for (std::size_t i = 0; i < 5; ++i) {
        const ItemFit& ours = fit.items[i];
        SCOPED_TRACE("item " + std::to_string(i + 1));
        EXPECT_NEAR(ours.sx2, rpf[i].sx2, 1e-9 * rpf[i].sx2);
        EXPECT_EQ(ours.df, rpf[i].df);
        EXPECT_NEAR(ours.p, rpf[i].p, 1e-10);
        EXPECT_NEAR(ours.infit, rpf[i].infit, 1e-10);
        EXPECT_NEAR(ours.outfit, rpf[i].outfit, 1e-10);
        EXPECT_NEAR(ours.infitT, rpf[i].infitT, 1e-9);
        EXPECT_NEAR(ours.outfitT, rpf[i].outfitT, 1e-9);
    }
    // Examinees 13 (00001) and 400 (10111); rpf leaves out the 320 whose
    // answers are all right or all wrong, as we do.
    EXPECT_NEAR(fit.persons[12].infit, 0.674548154073, 1e-10);
    EXPECT_NEAR(fit.persons[12].outfit, 0.656243275944, 1e-10);
    EXPECT_NEAR(fit.persons[12].infitT, -1.06394943939, 1e-9);
    EXPECT_NEAR(fit.persons[12].outfitT, -1.11176163179, 1e-9);
    EXPECT_NEAR(fit.persons[399].infit, 0.897395076347, 1e-10);
    EXPECT_NEAR(fit.persons[399].outfit, 0.695548165366, 1e-10);
    std::size_t left = 0;
    for (const PersonFit& person : fit.persons) left += person.gap == PersonFitGap::AllSame;
    EXPECT_EQ(left, 320u);
}

TEST(RpfAgreement, SimulatedSetMeanSquaresAndSx2TablesEqualRpfs) {
    // The generating items and abilities of a 1,000 x 20 3PL set.
    const FitData data = Sim1000x20();
    // rpf.1dim.fit: infit, outfit and the infit t of every item.
    const double rpf[20][3] = {
        {1.03719748621, 1.04302096001, 0.976303267932},
        {1.03403336447, 1.09780436242, 0.926523544489},
        {1.01956254714, 1.04439601947, 0.754150440587},
        {1.05073432841, 1.06235269742, 1.68445915339},
        {1.02169630468, 0.700440549928, 0.39699812936},
        {0.987282786938, 1.17662525, -0.251662787447},
        {0.998199268937, 1.16938188911, -0.0142029261114},
        {0.94494630209, 0.967635152952, -1.01849057982},
        {1.0532010501, 1.23549593578, 0.963323316113},
        {1.00495172749, 1.02475037034, 0.189980079864},
        {0.975631012562, 0.97537854789, -0.510533688641},
        {0.954005338329, 0.932444471372, -1.14314085578},
        {0.981998215561, 1.04959649737, -0.640318667435},
        {1.04881775439, 0.964113928287, 1.05999499838},
        {1.02913755183, 1.03479588213, 1.02412116503},
        {0.98666669625, 0.987176201215, -0.478420876541},
        {0.982331291261, 1.01070326385, -0.683432724774},
        {1.00110454745, 1.02404049101, 0.0391814265118},
        {1.00199543019, 0.995478642541, 0.0977379620138},
        {1.06902273203, 0.925013417335, 1.03652745336},
    };
    const FitResults fit = ComputeFit(data.Inputs());
    for (std::size_t i = 0; i < 20; ++i) {
        SCOPED_TRACE("item " + std::to_string(i + 1));
        EXPECT_NEAR(fit.items[i].infit, rpf[i][0], 1e-10);
        EXPECT_NEAR(fit.items[i].outfit, rpf[i][1], 1e-10);
        EXPECT_NEAR(fit.items[i].infitT, rpf[i][2], 1e-9);
    }
    EXPECT_NEAR(fit.persons[0].infit, 0.896513199323, 1e-10);
    EXPECT_NEAR(fit.persons[0].outfit, 0.875599051519, 1e-10);
    EXPECT_NEAR(fit.persons[1].outfit, 0.523306840335, 1e-10);
    EXPECT_NEAR(fit.persons[999].infit, 1.34677743966, 1e-10);

    // SitemFit's tables before it joins any cells (item, rest score,
    // observed incorrect and correct, expected incorrect and correct).
    const struct {
        std::size_t item, rest;
        double observed[2], expected[2];
    } tables[] = {
        {0, 1, {1, 0}, {0.821047700001, 0.178952299999}},
        {0, 2, {6, 0}, {4.92524432112, 1.07475567888}},
        {0, 19, {13, 17}, {9.85859600987, 20.1414039901}},
        {7, 10, {11, 60}, {16.3996298755, 54.6003701245}},
    };
    const TotalScoreCounts counts = CountTotalScores(data.responses, 20);
    std::vector<double> expected(20 * 20), examinees(20), correct(20);
    ExpectedProportionsByRestScore(data.a, data.b, data.c, {data.gridTheta, data.gridWeight},
                                   expected);
    for (const auto& row : tables) {
        counts.RestScoreTable(row.item, examinees, correct);
        const double n = examinees[row.rest], e = expected[row.item * 20 + row.rest];
        EXPECT_EQ(n - correct[row.rest], row.observed[0]);
        EXPECT_EQ(correct[row.rest], row.observed[1]);
        EXPECT_NEAR(n * (1 - e), row.expected[0], 1e-9);
        EXPECT_NEAR(n * e, row.expected[1], 1e-9);
    }
}

}  // namespace
}  // namespace tarvo::fit
