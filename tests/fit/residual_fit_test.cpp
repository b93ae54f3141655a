#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "fit/mean_square.h"
#include "fit/residual_pass.h"
#include "fit_test_data.h"
#include "irt/item_curve.h"
#include "parallel/worker_pool.h"

namespace tarvo::fit {
namespace {

FitData SmallSet() {
    sim::SimulationSettings settings;
    settings.seed = 5;
    settings.personCount = 200;
    settings.itemCount = 12;
    settings.missingFraction = 0.1;
    return Simulated(settings);
}

std::vector<PersonFit> Persons(const FitData& data, ItemResidualSums* sums = nullptr) {
    std::vector<PersonFit> persons(data.theta.size());
    WorkerPool pool(1);
    const ItemResidualSums out = ResidualPass(data.Inputs(), persons, nullptr, pool);
    if (sums != nullptr) *sums = out;
    return persons;
}

TEST(PersonFit, LzEqualsTheLogLikelihoodStandardisedByItsMoments) {
    // Drasgow, Levine & Williams (1985): l0 = sum x ln P + (1 - x) ln Q,
    // E(l0) = sum P ln P + Q ln Q, Var(l0) = sum P Q (ln(P / Q))^2.
    const FitData data = SmallSet();
    const std::vector<PersonFit> persons = Persons(data);
    int checked = 0;
    for (std::size_t j = 0; j < data.theta.size(); ++j) {
        double l0 = 0, mean = 0, variance = 0;
        for (std::size_t i = 0; i < data.Items(); ++i) {
            const std::uint8_t x = data.responses[j * data.Items() + i];
            if (x == 9) continue;
            const Curve curve = CurveAt(data.theta[j], data.a[i], data.b[i], data.c[i]);
            const double p = curve.p, q = curve.q;
            l0 += x == 1 ? std::log(p) : std::log(q);
            mean += p * std::log(p) + q * std::log(q);
            variance += p * q * std::pow(std::log(p / q), 2);
        }
        if (persons[j].gap != PersonFitGap::None) continue;
        EXPECT_NEAR(persons[j].lz, (l0 - mean) / std::sqrt(variance), 1e-12) << "examinee " << j;
        EXPECT_EQ(persons[j].misfit, persons[j].lz < -1.96);
        ++checked;
    }
    EXPECT_GT(checked, 150);
}

TEST(PersonFit, ExamineesWithoutInformationAreLeftOutAndSayWhy) {
    FitData data = SmallSet();
    const std::size_t items = data.Items();
    auto row = [&](std::size_t j) { return data.responses.begin() + static_cast<long>(j * items); };
    std::fill(row(0), row(1), 1);      // all right
    std::fill(row(1), row(2), 0);      // all wrong
    std::fill(row(2), row(3), 9);      // nothing answered
    *row(3) = 1;                       // one right answer, the rest
    std::fill(row(3) + 1, row(4), 9);  // missing: all right among the valid
    data.theta[4] = NAN;
    ItemResidualSums with;
    const std::vector<PersonFit> persons = Persons(data, &with);
    EXPECT_EQ(persons[0].gap, PersonFitGap::AllSame);
    EXPECT_EQ(persons[1].gap, PersonFitGap::AllSame);
    EXPECT_EQ(persons[2].gap, PersonFitGap::NoValidResponse);
    EXPECT_EQ(persons[3].gap, PersonFitGap::AllSame);
    EXPECT_EQ(persons[4].gap, PersonFitGap::NoAbility);
    for (std::size_t j = 0; j < 5; ++j) {
        EXPECT_TRUE(std::isnan(persons[j].lz));
        EXPECT_FALSE(persons[j].misfit);
        EXPECT_NE(PersonFitGapText(persons[j].gap)[0], '\0');
    }
    EXPECT_EQ(persons[5].gap, PersonFitGap::None);

    // The items' mean squares do not see those examinees: the same sums
    // without them.
    FitData without = data;
    without.responses.erase(without.responses.begin(),
                            without.responses.begin() + static_cast<long>(5 * items));
    without.theta.erase(without.theta.begin(), without.theta.begin() + 5);
    ItemResidualSums expected;
    Persons(without, &expected);
    for (std::size_t i = 0; i < items; ++i) {
        EXPECT_EQ(with.meanSquares[i].count, expected.meanSquares[i].count);
        EXPECT_NEAR(with.meanSquares[i].squaredStandardized,
                    expected.meanSquares[i].squaredStandardized, 1e-9);
    }
}

TEST(MeanSquares, WilsonHilfertyAndUndefinedSpread) {
    // A mean square of 1 sits at q / 3 above 0; the transform is monotone.
    EXPECT_NEAR(WilsonHilferty(1, 0.3), 0.1, 1e-15);
    EXPECT_NEAR(WilsonHilferty(1.3, 0.1), (std::cbrt(1.3) - 1) * 30 + 0.1 / 3, 1e-13);
    EXPECT_LT(WilsonHilferty(0.7, 0.1), WilsonHilferty(0.8, 0.1));
    EXPECT_TRUE(std::isnan(WilsonHilferty(1.2, 0)));

    // One response at P = 1/2: outfit variance (P - Q)^2 / PQ = 0, no t.
    MeanSquareSums one;
    one.Add(ResponseMoments::Of(1, 0.5, 0.5));
    const MeanSquares squares = MeanSquaresOf(one);
    EXPECT_EQ(squares.outfit, 1);
    EXPECT_TRUE(std::isnan(squares.outfitT));
    EXPECT_TRUE(std::isnan(MeanSquaresOf(MeanSquareSums{}).infit));
}

TEST(ItemFit, GroupResidualsCompareObservedAndExpectedCorrectPerGroup) {
    // Two items, four examinees in two groups; item 1 missing for one.
    FitData data;
    data.a = {1, 1.5};
    data.b = {0, 0.5};
    data.c = {0, 0.2};
    data.estimated = {2, 3};
    data.theta = {-1, -0.5, 0.5, 1};
    data.responses = {0, 1, 1, 9, 1, 0, 1, 1};
    data.group = {0, 0, 1, 1};
    data.groups = 2;
    ItemResidualSums sums;
    Persons(data, &sums);
    auto p = [&](std::size_t j, std::size_t i) {
        return CurveAt(data.theta[j], data.a[i], data.b[i], data.c[i]).p;
    };
    // Item 1 (index 1), group 0: examinee 0 right; examinee 1 missing.
    EXPECT_NEAR(sums.groupObserved[0 * 2 + 1], 1, 0);
    EXPECT_NEAR(sums.groupExpected[0 * 2 + 1], p(0, 1), 1e-15);
    EXPECT_NEAR(sums.groupVariance[0 * 2 + 1], p(0, 1) * (1 - p(0, 1)), 1e-15);
    // Item 0, group 1: examinees 2 and 3 both right.
    EXPECT_NEAR(sums.groupObserved[1 * 2 + 0], 2, 0);
    EXPECT_NEAR(sums.groupExpected[1 * 2 + 0], p(2, 0) + p(3, 0), 1e-15);
}

}  // namespace
}  // namespace tarvo::fit
