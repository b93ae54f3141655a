#include "fit/compute_fit.h"

#include <gtest/gtest.h>

#include <cmath>
#include <stdexcept>

#include "fit_test_data.h"

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
        EXPECT_EQ(item.df, item.sx2Groups - 3);
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

}  // namespace
}  // namespace tarvo::fit
