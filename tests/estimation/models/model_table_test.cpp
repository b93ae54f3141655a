// Every row of the item model table against its own probabilities: they
// are probabilities, the derivatives by the moved parameters and by theta
// are those of the curves (central differences through the row's own
// packing), the priors' gradient is that of their log density, and the
// reported values convert back. A new row is checked by being in the table.
#include "estimation/models/model_table.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <set>
#include <string>
#include <vector>

namespace tarvo::models {
namespace {

// An item of the row with values away from any bound: a slope of either
// sign, falling intercepts, asymptotes inside (0, 1).
Item Sample(const ItemModel& model, double slope) {
    Item item = NewItem(model, 4);
    item.a = model.slopeFree ? slope : 1.1;
    item.b[0] = 0.3;
    item.c = item.guessFree ? 0.15 : 0;
    item.u = item.upperFree ? 0.9 : 1;
    for (int k = 0; k < item.Thresholds(); ++k) item.d[k] = 1.2 - 0.9 * k;
    // The reported values of the moved ones (the 4PL's b from its intercept).
    model.report(item);
    return item;
}

std::vector<double> Probabilities(const Item& item, double theta) {
    std::vector<double> p(static_cast<std::size_t>(item.categories));
    item.model->probabilities(item, theta, p);
    return p;
}

TEST(ItemModelTable, NamesAgreeWithTheModelTables) {
    std::set<std::string> names;
    for (const ItemModel* row : AllModels()) {
        EXPECT_TRUE(names.insert(std::string(row->name)).second) << row->name;
        EXPECT_EQ(ModelNamed(row->name), row);
        EXPECT_FALSE(row->caption.empty()) << row->name;
        EXPECT_FALSE(row->parameters.empty()) << row->name;
        // The estimator reads a nominal item's options by this mark alone.
        EXPECT_EQ(row->optionSlopes, row->name == "nominal") << row->name;
    }
    EXPECT_EQ(ModelNamed("no such model"), nullptr);
    for (const MarginalModelRules& rules : kMarginalModels) {
        const ItemModel& row = ModelFor(rules.model);
        EXPECT_EQ(row.name, rules.name);
        EXPECT_EQ(row.caption, rules.caption);
        EXPECT_EQ(row.slopeFree, rules.free.a) << row.name;
        EXPECT_EQ(row.guessFree, rules.free.c) << row.name;
        EXPECT_EQ(row.priors.onC, rules.priorOnC) << row.name;
        EXPECT_EQ(row.priors.defaultC, rules.defaultPriorOnC) << row.name;
    }
    for (const PolytomousModel model : {PolytomousModel::Grm, PolytomousModel::Gpcm,
                                        PolytomousModel::Pcm, PolytomousModel::Rsm}) {
        const ItemModel& row = ModelFor(model);
        EXPECT_EQ(row.name, RulesOf(model).name);
        EXPECT_EQ(row.slopeFree, RulesOf(model).slopeFree) << row.name;
        EXPECT_EQ(row.commonSlope, RulesOf(model).commonSlope) << row.name;
        EXPECT_EQ(row.sharedSteps, RulesOf(model).sharedSteps) << row.name;
        EXPECT_EQ(row.orderedIntercepts, RulesOf(model).cumulative) << row.name;
    }
}

TEST(ItemModelTable, EveryRowsDerivativesAreThoseOfItsCurves) {
    const double h = 1e-6;
    for (const ItemModel* row : AllModels()) {
        for (const double slope : {1.3, -0.7}) {
            const Item item = Sample(*row, slope);
            const int free = row->freeCount(item);
            ASSERT_LE(free, kMostFree) << row->name;
            std::vector<double> values(static_cast<std::size_t>(free));
            row->pack(item, values);
            // Packing is the inverse of unpacking (an asymptote through its
            // logit to the last bits).
            Item copy = item;
            row->unpack(values, copy);
            const std::vector<double> before = Probabilities(item, 0.4);
            const std::vector<double> after = Probabilities(copy, 0.4);
            for (std::size_t k = 0; k < before.size(); ++k) {
                EXPECT_NEAR(after[k], before[k], 1e-15) << row->name;
            }
            for (const double theta : {-2.5, -0.2, 0.0, 1.7}) {
                const std::vector<double> p = Probabilities(item, theta);
                double sum = 0;
                for (const double pk : p) {
                    EXPECT_GE(pk, 0) << row->name;
                    sum += pk;
                }
                EXPECT_NEAR(sum, 1, 1e-12) << row->name;
                std::vector<double> by(static_cast<std::size_t>(item.categories * free));
                row->byParameter(item, theta, p, by);
                for (int u = 0; u < free; ++u) {
                    Item up = item, down = item;
                    std::vector<double> moved = values;
                    moved[u] += h;
                    row->unpack(moved, up);
                    moved[u] -= 2 * h;
                    row->unpack(moved, down);
                    const std::vector<double> pu = Probabilities(up, theta);
                    const std::vector<double> pd = Probabilities(down, theta);
                    for (int k = 0; k < item.categories; ++k) {
                        EXPECT_NEAR(by[k * free + u], (pu[k] - pd[k]) / (2 * h), 1e-7)
                            << row->name << " parameter " << u << " category " << k;
                    }
                }
                std::vector<double> byTheta(static_cast<std::size_t>(item.categories));
                row->byTheta(item, theta, p, byTheta);
                const std::vector<double> pu = Probabilities(item, theta + h);
                const std::vector<double> pd = Probabilities(item, theta - h);
                for (int k = 0; k < item.categories; ++k) {
                    EXPECT_NEAR(byTheta[k], (pu[k] - pd[k]) / (2 * h), 1e-7)
                        << row->name << " theta, category " << k;
                }
            }
        }
    }
}

TEST(ItemModelTable, PriorsGradientIsThatOfTheirLogDensity) {
    Priors priors;
    priors.logA = {true, 0, 0.5};
    priors.b = {true, 0, 2};
    priors.c = {true, 5, 17};
    priors.u = {true, 17, 5};
    priors.polytomousLogA = {true, 0, 0.5};
    priors.polytomousB = {true, 0, 2};
    const double h = 1e-6;
    for (const ItemModel* row : AllModels()) {
        const Item item = Sample(*row, 1.3);
        const int free = row->freeCount(item);
        std::vector<double> values(static_cast<std::size_t>(free));
        row->pack(item, values);
        std::vector<double> gradient(static_cast<std::size_t>(free), 0.0);
        std::vector<double> information(static_cast<std::size_t>(free * free), 0.0);
        const double at = row->logPrior(item, priors, gradient.data(), information.data());
        EXPECT_TRUE(std::isfinite(at)) << row->name;
        for (int u = 0; u < free; ++u) {
            Item up = item, down = item;
            std::vector<double> moved = values;
            moved[u] += h;
            row->unpack(moved, up);
            moved[u] -= 2 * h;
            row->unpack(moved, down);
            const double difference = (row->logPrior(up, priors, nullptr, nullptr) -
                                       row->logPrior(down, priors, nullptr, nullptr)) /
                                      (2 * h);
            EXPECT_NEAR(gradient[u], difference, 1e-5) << row->name << " parameter " << u;
            EXPECT_GE(information[u * free + u], 0) << row->name;
        }
    }
}

TEST(ItemModelTable, ReportedValuesConvertBackAndBoundsHold) {
    for (const ItemModel* row : AllModels()) {
        Item item = Sample(*row, -0.8);
        row->report(item);
        Item back = item;
        back.d.fill(0);
        if (row->metric == Metric::Thresholds) {
            row->fromReported(back);
            for (int k = 0; k < item.Thresholds(); ++k) {
                EXPECT_NEAR(back.d[k], item.d[k], 1e-12) << row->name;
            }
        }
        // Values that are no item of the model are refused.
        Item broken = Sample(*row, 1.0);
        broken.a = std::nan("");
        EXPECT_FALSE(row->keepInRange(broken, 0)) << row->name;
    }
    // Graded intercepts must fall; partial credit ones need not.
    Item graded = Sample(kGrm, 1.0);
    std::swap(graded.d[0], graded.d[1]);
    EXPECT_FALSE(kGrm.keepInRange(graded, 0));
    Item partial = Sample(kGpcm, 1.0);
    std::swap(partial.d[0], partial.d[1]);
    EXPECT_TRUE(kGpcm.keepInRange(partial, 0));
}

}  // namespace
}  // namespace tarvo::models
