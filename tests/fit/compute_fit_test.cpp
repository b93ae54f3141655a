#include "fit/compute_fit.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <stdexcept>

#include "fit_test_data.h"
#include "parallel/worker_pool.h"

namespace tarvo::fit {
namespace {

FitData Set(double missing = 0) {
    sim::SimulationSettings settings;
    settings.seed = 9;
    settings.personCount = 1500;
    settings.itemCount = 10;
    settings.missingFraction = missing;
    return Simulated(settings);
}

TEST(ComputeFit, AWrongCurveIsFlaggedByItsCorrectedSx2) {
    FitData data = Set(0.02);
    data.a[3] = data.a[3] > 1 ? 0.3 : 2.5;  // the model's curve is not the data's
    const FitResults fit = ComputeFit(data.Inputs());
    EXPECT_TRUE(fit.items[3].misfit);
    EXPECT_LT(fit.items[3].pAdjusted, kMisfitAlpha);
    EXPECT_GE(fit.items[3].pAdjusted, fit.items[3].p);
    EXPECT_LE(fit.misfittingItems, 2u);
    EXPECT_EQ(fit.sx2Examinees + fit.sx2LeftOutForMissing, 1500u);
    EXPECT_GT(fit.sx2LeftOutForMissing, 0u);
    for (const ItemFit& item : fit.items) {
        EXPECT_TRUE(item.note.empty()) << item.note;
        EXPECT_EQ(item.df, item.sx2Groups - 3 - item.sx2JoinedCells);
    }
}

TEST(ComputeFit, WithoutSx2TheMeanSquaresDecide) {
    FitData data = Set();
    const std::size_t items = data.Items();
    // Every examinee misses one item, so nobody answered every item.
    for (std::size_t j = 0; j < data.theta.size(); ++j) data.responses[j * items + j % items] = 9;
    data.a[3] = data.a[3] > 1 ? 0.3 : 2.5;
    const FitResults fit = ComputeFit(data.Inputs());
    EXPECT_EQ(fit.sx2Examinees, 0u);
    for (const ItemFit& item : fit.items) {
        EXPECT_TRUE(std::isnan(item.p));
        EXPECT_NE(item.note.find("no examinee answered every item"), std::string::npos);
        const bool outside = item.infit < kLowestMeanSquare || item.infit > kHighestMeanSquare ||
                             item.outfit < kLowestMeanSquare || item.outfit > kHighestMeanSquare;
        EXPECT_EQ(item.misfit, outside);
    }
    EXPECT_TRUE(fit.items[3].misfit);
}

TEST(ComputeFit, CopiedAnswersAreLocallyDependent) {
    FitData data = Set();
    const std::size_t items = data.Items();
    data.a[1] = data.a[0];
    data.b[1] = data.b[0];
    data.c[1] = data.c[0];
    for (std::size_t j = 0; j < data.theta.size(); ++j)
        data.responses[j * items + 1] = data.responses[j * items + 0];
    data.groups = 10;
    data.group.resize(data.theta.size());
    for (std::size_t j = 0; j < data.theta.size(); ++j) data.group[j] = static_cast<int>(j % 10);
    const FitResults fit = ComputeFit(data.Inputs());
    ASSERT_FALSE(fit.localDependence.flagged.empty());
    EXPECT_EQ(fit.localDependence.flagged[0].first, 0u);
    EXPECT_EQ(fit.localDependence.flagged[0].second, 1u);
    EXPECT_TRUE(fit.items[0].locallyDependent && fit.items[1].locallyDependent);
    EXPECT_FALSE(fit.items[5].locallyDependent);
    EXPECT_EQ(fit.localDependence.matrix.size(), items * items);
    EXPECT_EQ(fit.items[0].groupResidual.size(), 10u);
}

TEST(ComputeFit, ModelFitNeedsAMarginalLikelihood) {
    FitData data = Set();
    std::fill(data.responses.begin(), data.responses.begin() + 10, 9);  // nothing answered
    FitInputs in = data.Inputs();
    EXPECT_FALSE(ComputeFit(in).model.defined);
    in.likelihood = ModelLikelihood{-7000, 30};
    const ModelFit model = ComputeFit(in).model;
    ASSERT_TRUE(model.defined);
    EXPECT_EQ(model.examinees, 1499u);
    EXPECT_EQ(model.minus2LogLikelihood, 14000);
    EXPECT_NEAR(model.bic, 14000 + 30 * std::log(1499.0), 1e-9);
}

TEST(ComputeFit, InputsOfDifferentSizesAreRefused) {
    FitData data = Set();
    FitInputs in = data.Inputs();
    in.b = in.b.subspan(1);
    EXPECT_THROW(ComputeFit(in), std::invalid_argument);
    in = data.Inputs();
    in.responses = in.responses.subspan(1);
    EXPECT_THROW(ComputeFit(in), std::invalid_argument);
    in = data.Inputs();
    in.grid.weight = in.grid.weight.subspan(1);
    EXPECT_THROW(ComputeFit(in), std::invalid_argument);
}

TEST(ComputeFit, NoExamineesOrNoItemsGiveEmptyResults) {
    FitData data = Set();
    data.theta.clear();
    data.responses.clear();
    const FitResults noPersons = ComputeFit(data.Inputs());
    EXPECT_EQ(noPersons.items.size(), 10u);
    EXPECT_TRUE(std::isnan(noPersons.items[0].sx2));
    EXPECT_TRUE(std::isnan(noPersons.items[0].infit));
    EXPECT_TRUE(std::isnan(noPersons.localDependence.averageQ3));
    EXPECT_FALSE(noPersons.localDependence.note.empty());

    FitData empty;
    empty.theta = {0.5};
    const FitResults noItems = ComputeFit(empty.Inputs());
    EXPECT_TRUE(noItems.items.empty());
    EXPECT_EQ(noItems.localDependence.note, "Q3 needs at least two items.");
    EXPECT_EQ(noItems.persons[0].gap, PersonFitGap::NoValidResponse);
}

// The same bits, or both undefined.
bool Same(double x, double y) {
    return (std::isnan(x) && std::isnan(y)) ||
           std::bit_cast<std::uint64_t>(x) == std::bit_cast<std::uint64_t>(y);
}

TEST(ComputeFit, EveryThreadCountGivesTheSameBits) {
    // Items off the four-item step, several chunks of examinees with a
    // last one cut short, missing responses, examinees without an ability
    // or a group, all in different blocks.
    sim::SimulationSettings settings;
    settings.seed = 31;
    settings.personCount = 4100;
    settings.itemCount = 42;
    settings.missingFraction = 0.05;
    FitData data = Simulated(settings);
    data.groups = 10;
    for (std::size_t j = 0; j < data.theta.size(); ++j) {
        data.group.push_back(static_cast<std::int32_t>(j % 11) - 1);
    }
    for (const std::size_t j : {3u, 700u, 2049u, 4099u}) data.theta[j] = NAN;
    const FitResults one = ComputeFit(data.Inputs());
    for (const unsigned threads : {2u, 3u}) {
        WorkerPool pool(threads);
        const FitResults many = ComputeFit(data.Inputs(), pool);
        ASSERT_EQ(many.items.size(), one.items.size());
        for (std::size_t i = 0; i < one.items.size(); ++i) {
            const ItemFit &x = one.items[i], &y = many.items[i];
            for (const auto& [a, b] : {std::pair{x.sx2, y.sx2},
                                       {x.p, y.p},
                                       {x.infit, y.infit},
                                       {x.outfit, y.outfit},
                                       {x.infitT, y.infitT},
                                       {x.outfitT, y.outfitT}}) {
                EXPECT_TRUE(Same(a, b)) << threads << " threads, item " << i;
            }
            ASSERT_EQ(x.groupResidual.size(), 10u);
            for (std::size_t g = 0; g < 10; ++g) {
                EXPECT_TRUE(Same(x.groupResidual[g], y.groupResidual[g])) << i << " group " << g;
            }
            EXPECT_EQ(x.misfit, y.misfit);
            EXPECT_EQ(x.note, y.note);
        }
        ASSERT_EQ(many.persons.size(), one.persons.size());
        for (std::size_t j = 0; j < one.persons.size(); ++j) {
            const PersonFit &x = one.persons[j], &y = many.persons[j];
            EXPECT_TRUE(Same(x.lz, y.lz) && Same(x.infit, y.infit) && Same(x.outfit, y.outfit) &&
                        Same(x.infitT, y.infitT) && Same(x.outfitT, y.outfitT) && x.gap == y.gap)
                << threads << " threads, examinee " << j;
        }
        const auto& q3 = one.localDependence.matrix;
        ASSERT_EQ(many.localDependence.matrix.size(), q3.size());
        ASSERT_EQ(q3.size(), 42u * 42u);
        for (std::size_t k = 0; k < q3.size(); ++k) {
            EXPECT_TRUE(Same(q3[k], many.localDependence.matrix[k])) << threads << " at " << k;
        }
        EXPECT_TRUE(Same(one.localDependence.averageQ3, many.localDependence.averageQ3));
        EXPECT_EQ(one.persons[700].gap, PersonFitGap::NoAbility);
    }
}

}  // namespace
}  // namespace tarvo::fit
