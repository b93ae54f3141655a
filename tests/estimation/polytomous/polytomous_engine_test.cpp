// The polytomous EM's pieces on their own: the category counts and their
// merging, the observed information against a second-difference Hessian of
// the marginal log-likelihood, recovery of generating parameters, and the
// same result from any start of the tables.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "estimation/polytomous/poly_categories.h"
#include "estimation/polytomous/poly_em.h"
#include "estimation/polytomous/poly_information.h"

namespace tarvo::poly {
namespace {

TEST(PolytomousCategories, CountsErrorsAndMerges) {
    // Two items: scores 0..3 with 2 unused, and 1..2 with 0 unused.
    std::vector<std::uint8_t> codes = {0, 1, 3, 2, 1, 9, 3, 1, 9, 2};
    std::vector<CategoryCounts> counts = CountCategories(codes, 2);
    EXPECT_EQ(CategoriesOf(counts[0]), 4);
    EXPECT_EQ(counts[0][3], 2);
    EXPECT_EQ(counts[1][1], 2);
    const std::string error = EmptyCategoryError(counts);
    EXPECT_NE(error.find("Item 1 has no response in category 2 of its scores 0 to 3"),
              std::string::npos)
        << error;

    const std::vector<std::string> changes = CollapseEmptyCategories(codes, counts);
    ASSERT_EQ(changes.size(), 2u);
    EXPECT_EQ(codes, (std::vector<std::uint8_t>{0, 0, 2, 1, 1, 9, 2, 0, 9, 1}));
    EXPECT_EQ(CategoriesOf(counts[0]), 3);
    EXPECT_EQ(CategoriesOf(counts[1]), 2);
    EXPECT_EQ(EmptyCategoryError(counts), "");
}

// Simulated responses of the given items for persons drawn from N(0, 1).
std::vector<std::uint8_t> Simulate(const std::vector<Item>& items, int persons,
                                   std::uint32_t seed) {
    std::mt19937 random(seed);
    std::normal_distribution<double> normal;
    std::uniform_real_distribution<double> uniform;
    std::vector<std::uint8_t> codes;
    std::vector<double> p(kMostCategories);
    for (int j = 0; j < persons; ++j) {
        const double theta = normal(random);
        for (const Item& item : items) {
            CategoryProbabilities(item, theta, p);
            double u = uniform(random);
            int k = 0;
            while (k + 1 < item.categories && u >= p[k]) u -= p[k++];
            codes.push_back(static_cast<std::uint8_t>(k));
        }
    }
    return codes;
}

Item Graded(double a, std::vector<double> b) {
    Item item =
        ItemOf(static_cast<int>(b.size()) + 1, RulesOf(MarginalModel::TwoPL), PolytomousModel::Grm);
    item.a = a;
    for (std::size_t k = 0; k < b.size(); ++k) item.b[k] = b[k];
    return item;
}

Item Partial(double a, std::vector<double> b) {
    Item item = ItemOf(static_cast<int>(b.size()) + 1, RulesOf(MarginalModel::TwoPL),
                       PolytomousModel::Gpcm);
    item.a = a;
    for (std::size_t k = 0; k < b.size(); ++k) item.b[k] = b[k];
    return item;
}

Item Binary(double a, double b) {
    Item item = ItemOf(2, RulesOf(MarginalModel::TwoPL), PolytomousModel::Grm);
    item.a = a;
    item.b[0] = b;
    return item;
}

MarginalSettings Plain() {
    MarginalSettings settings = SettingsFor(MarginalModel::TwoPL);
    settings.polytomous = PolytomousModel::Grm;
    settings.tolerance = 1e-7;
    settings.logLikelihoodTolerance = 1e-9;
    return settings;
}

TEST(PolytomousInformation, MatchesSecondDifferencesOfTheLogLikelihood) {
    // One GRM, one GPCM with disordered steps and a reverse-keyed slope,
    // one right/wrong item.
    const std::vector<Item> truth = {Graded(1.1, {-0.8, 0.5}), Partial(-0.7, {0.4, -0.2, 0.9}),
                                     Binary(0.9, 0.3)};
    const std::vector<std::uint8_t> codes = Simulate(truth, 300, 11);
    const Responses responses{codes, 300, truth.size()};
    const mml::Quadrature quadrature = mml::NormalQuadrature(21, 5);
    const std::vector<char> estimated(truth.size(), 1);
    const Priors priors{};
    EmTables tables(truth, quadrature.Points());

    const std::vector<double> information = ObservedInformation(
        truth, estimated, responses, priors, quadrature, tables, [] { return true; });
    int n = 0;
    for (const Item& item : truth) n += FreeCount(item);
    ASSERT_EQ(information.size(), static_cast<std::size_t>(n * n));

    // Minus the Hessian of the log-likelihood alone, by second differences.
    const auto logLikelihood = [&](std::vector<Item> items, int p, double dp, int q, double dq) {
        auto shift = [&](int which, double by) {
            for (Item& item : items) {
                const int free = FreeCount(item);
                if (which < free) {
                    std::vector<double> x(kMostFree);
                    PackFree(item, x);
                    x[which] += by;
                    UnpackFree(x, item);
                    return;
                }
                which -= free;
            }
        };
        shift(p, dp);
        shift(q, dq);
        return EStep(items, responses, quadrature, tables);
    };
    const double h = 1e-4;
    for (int p = 0; p < n; ++p) {
        for (int q = 0; q <= p; ++q) {
            const double second =
                (logLikelihood(truth, p, h, q, h) - logLikelihood(truth, p, h, q, -h) -
                 logLikelihood(truth, p, -h, q, h) + logLikelihood(truth, p, -h, q, -h)) /
                (4 * h * h);
            EXPECT_NEAR(information[p * n + q], -second, 2e-3 * std::max(1.0, std::abs(second)))
                << p << "," << q;
        }
    }
}

TEST(PolytomousEm, RecoversGeneratingParametersAndSameOnRepeat) {
    const std::vector<Item> truth = {
        Graded(1.2, {-1.0, 0.2, 1.1}), Graded(0.8, {-0.5, 0.9}), Partial(1.0, {-0.6, 0.3, 0.8}),
        Partial(-0.9, {0.5, -0.4}),    Binary(1.3, -0.2),        Binary(0.7, 0.6)};
    const int persons = 2000;
    const std::vector<std::uint8_t> codes = Simulate(truth, persons, 5);
    const Responses responses{codes, static_cast<std::size_t>(persons), truth.size()};
    const mml::Quadrature quadrature = mml::NormalQuadrature(41, 6);
    const std::vector<char> estimated(truth.size(), 1);

    auto fit = [&] {
        std::vector<Item> items = truth;
        for (Item& item : items) {
            // A reverse-keyed start for nothing: every slope starts at +1.
            item.a = 1;
            for (int k = 0; k < item.Thresholds(); ++k) item.b[k] = -0.5 + 0.5 * k;
        }
        EmTables tables(items, quadrature.Points());
        const EmOutcome em = RunPolytomousEm(items, estimated, responses, Plain(), quadrature,
                                             tables, [](int, double, double) { return true; });
        EXPECT_TRUE(em.converged);
        EXPECT_TRUE(SetStandardErrors(items, estimated, responses, Priors{}, quadrature, tables,
                                      [] { return true; }));
        return items;
    };
    const std::vector<Item> first = fit();
    for (std::size_t i = 0; i < truth.size(); ++i) {
        // Within four standard errors of the truth, and errors of the size
        // 2000 examinees give.
        EXPECT_NEAR(first[i].a, truth[i].a, 4 * first[i].seA) << "item " << i;
        EXPECT_GT(first[i].seA, 0.02);
        EXPECT_LT(first[i].seA, 0.2);
        for (int k = 0; k < truth[i].Thresholds(); ++k) {
            EXPECT_NEAR(first[i].b[k], truth[i].b[k], 4 * first[i].seB[k])
                << "item " << i << " b" << k + 1;
        }
    }
    EXPECT_LT(first[3].a, 0) << "the reverse-keyed slope is negative";
    const std::vector<Item> second = fit();
    for (std::size_t i = 0; i < truth.size(); ++i) {
        EXPECT_EQ(first[i].a, second[i].a);
        EXPECT_EQ(first[i].b, second[i].b);
        EXPECT_EQ(first[i].seB, second[i].seB);
    }
}

}  // namespace
}  // namespace tarvo::poly
