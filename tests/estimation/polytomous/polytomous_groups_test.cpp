// Several groups calibrated together, on groups made in memory: which
// examinees each group takes, the information of the focal groups' means
// and SDs against second differences of the marginal log-likelihood, and
// EM giving back the groups' populations, the same with and without
// extrapolation and on any number of threads.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "estimation/polytomous/poly_em.h"
#include "estimation/polytomous/poly_groups.h"
#include "estimation/polytomous/poly_information.h"
#include "poly_test_items.h"

namespace tarvo::poly {
namespace {

// Responses of the items for examinees drawn from each one's group's
// N(mean, sd); the groups in turn, so every group is spread over the file.
std::vector<std::uint8_t> SimulateGroups(const std::vector<Item>& items,
                                         const std::vector<std::int32_t>& groupOf,
                                         const std::vector<std::pair<double, double>>& groups,
                                         std::uint32_t seed) {
    std::mt19937 random(seed);
    std::normal_distribution<double> normal;
    std::uniform_real_distribution<double> uniform;
    std::vector<std::uint8_t> codes;
    std::vector<double> p(kMostCategories);
    for (const std::int32_t g : groupOf) {
        const double theta = groups[static_cast<std::size_t>(g)].first +
                             groups[static_cast<std::size_t>(g)].second * normal(random);
        for (const Item& item : items) {
            codes.push_back(test_items::DrawScore(item, theta, uniform(random), p));
        }
    }
    return codes;
}

std::vector<std::int32_t> Alternating(int persons, int groups) {
    std::vector<std::int32_t> of;
    for (int j = 0; j < persons; ++j) of.push_back(j % groups);
    return of;
}

using test_items::Binary;
using test_items::Graded;
using test_items::Plain;

std::vector<Item> Mixed() {
    return {Graded(1.2, {-1.0, 0.2, 1.1}),
            Graded(0.8, {-0.5, 0.9}),
            Binary(1.3, -0.2),
            Binary(0.7, 0.6),
            Binary(1.5, 0.1),
            Graded(1.0, {-0.3, 0.4})};
}

TEST(GroupPlan, TakesTheReferenceAndFocalGroupsAndLeavesOutTheRest) {
    const std::vector<std::string> labels = {"m", "f", "x"};
    const std::vector<std::int32_t> group = {0, 1, 2, PersonTable::kNoGroup, 1, 0};
    GroupSettings settings;
    settings.column = "sex";
    GroupPlan plan = PlanGroups(settings, group, labels);
    EXPECT_EQ(plan.error, "");
    EXPECT_EQ(plan.labels, (std::vector<std::string>{"m", "f", "x"}));
    EXPECT_EQ(plan.index, (std::vector<std::int32_t>{0, 1, 2, -1, 1, 0}));
    EXPECT_EQ(plan.leftOut, 1u);

    settings.reference = "f";
    settings.focal = {"m"};
    plan = PlanGroups(settings, group, labels);
    EXPECT_EQ(plan.labels, (std::vector<std::string>{"f", "m"}));
    EXPECT_EQ(plan.index, (std::vector<std::int32_t>{1, 0, -1, -1, 0, 1}));
    EXPECT_EQ(plan.counts, (std::vector<std::size_t>{2, 2}));
    EXPECT_EQ(plan.leftOut, 2u);

    settings.focal = {"y"};
    EXPECT_NE(PlanGroups(settings, group, labels).error.find("'y' is not in the group field"),
              std::string::npos);
    settings.focal = {};
    settings.reference = "z";
    EXPECT_NE(PlanGroups(settings, group, labels).error.find("reference group 'z'"),
              std::string::npos);
    settings.reference = "";
    const std::vector<std::string> one = {"m"};
    const std::vector<std::int32_t> same = {0, 0};
    EXPECT_NE(PlanGroups(settings, same, one).error.find("two at least"), std::string::npos);
}

// The grid covers every group's mean +- range SDs, and each group's weights
// sum to 1 with their mean and SD the group's.
TEST(GroupGrid, SpansEveryGroupAndWeighsEachByItsOwnNormal) {
    Groups groups(std::vector<std::int32_t>{0, 1}, 2, 61, 6);
    groups.estimates[1].mean = 1.5;
    groups.estimates[1].sd = 1.4;
    mml::Quadrature grid = mml::NormalQuadrature(61, 6);
    PlaceGroups(groups, grid);
    EXPECT_NEAR(grid.theta.front(), 1.5 - 6 * 1.4, 1e-12);
    EXPECT_NEAR(grid.theta.back(), 1.5 + 6 * 1.4, 1e-12);
    for (int g = 0; g < 2; ++g) {
        double total = 0, mean = 0, square = 0;
        for (int q = 0; q < 61; ++q) {
            const double w = groups.populations[g].weight[q];
            total += w;
            mean += w * grid.theta[q];
            square += w * grid.theta[q] * grid.theta[q];
        }
        EXPECT_NEAR(total, 1, 1e-12);
        EXPECT_NEAR(mean, groups.estimates[g].mean, 1e-6);
        EXPECT_NEAR(std::sqrt(square - mean * mean), groups.estimates[g].sd, 1e-6);
    }
    EXPECT_EQ(grid.logWeight, groups.populations[0].logWeight) << "the grid weighs the reference";
}

// Louis' information of the items and the focal groups' means and SDs
// (their own block and the terms between them) is minus the Hessian of the
// marginal log-likelihood, by second differences with the grid held.
TEST(GroupInformationTest, MatchesSecondDifferencesOfTheLogLikelihood) {
    const std::vector<Item> truth = {Graded(1.1, {-0.8, 0.5}), Binary(0.9, 0.3), Binary(1.4, -0.4),
                                     Graded(0.7, {0.2, 1.0})};
    const int persons = 600;
    const std::vector<std::int32_t> of = Alternating(persons, 3);
    const std::vector<std::uint8_t> codes =
        SimulateGroups(truth, of, {{0, 1}, {0.5, 1.2}, {-0.4, 0.8}}, 17);
    Groups groups(of, 3, 31, 6);
    groups.estimates[1].mean = 0.45;
    groups.estimates[1].sd = 1.15;
    groups.estimates[2].mean = -0.35;
    groups.estimates[2].sd = 0.85;
    mml::Quadrature grid = mml::NormalQuadrature(31, 6);
    PlaceGroups(groups, grid);
    const Responses responses = groups.Attach(Responses{codes, of.size(), truth.size()});
    const std::vector<char> estimated(truth.size(), 1);
    EmTables tables(truth, grid.Points());
    WorkerPool one(1);
    const std::vector<double> items = ObservedInformation(truth, estimated, responses, Priors{},
                                                          grid, tables, one, [] { return true; });
    EStep(truth, responses, grid, tables, one);
    std::vector<double> block, cross;
    GroupInformation(truth, estimated, groups, responses, grid, tables, block, &cross);
    const int n = FreeParameterCount(truth, estimated);
    const int e = 4;
    ASSERT_EQ(block.size(), static_cast<std::size_t>(e * e));
    ASSERT_EQ(cross.size(), static_cast<std::size_t>(n * e));

    // The log-likelihood with parameter p moved (items first, then each
    // focal group's mean and SD), the grid where it lies.
    const auto logLikelihood = [&](int p, double dp, int q, double dq) {
        std::vector<Item> moved = truth;
        Groups shifted = groups;
        const auto shift = [&](int which, double by) {
            if (which >= n) {
                PopulationEstimate& g = shifted.estimates[1 + (which - n) / 2];
                ((which - n) % 2 == 0 ? g.mean : g.sd) += by;
                return;
            }
            for (Item& item : moved) {
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
        mml::Quadrature held = grid;
        WeighGroups(shifted, held);
        return EStep(moved, shifted.Attach(Responses{codes, of.size(), truth.size()}), held,
                     tables);
    };
    const double h = 1e-4;
    const auto second = [&](int p, int q) {
        return (logLikelihood(p, h, q, h) - logLikelihood(p, h, q, -h) -
                logLikelihood(p, -h, q, h) + logLikelihood(p, -h, q, -h)) /
               (4 * h * h);
    };
    const auto near = [](double louis, double differenced) {
        return std::abs(louis + differenced) <= 3e-3 * std::max(1.0, std::abs(differenced));
    };
    for (int u = 0; u < e; ++u) {
        for (int v = 0; v <= u; ++v) {
            const double d = second(n + u, n + v);
            EXPECT_TRUE(near(block[u * e + v], d))
                << u << "," << v << ": " << block[u * e + v] << " against " << -d;
        }
        for (int p = 0; p < n; ++p) {
            const double d = second(p, n + u);
            EXPECT_TRUE(near(cross[p * e + u], d))
                << "item parameter " << p << ", group entry " << u << ": " << cross[p * e + u]
                << " against " << -d;
        }
    }
    // The items' own block is unchanged by the groups' weights being apart.
    EXPECT_TRUE(near(items[0], second(0, 0)));
}

struct GroupFit {
    std::vector<Item> items;
    std::vector<PopulationEstimate> groups;
    double logLikelihood = 0;
    bool converged = false;
    GroupErrorSource source = GroupErrorSource::NotFormed;
};

GroupFit FitGroups(const std::vector<Item>& truth, const std::vector<std::int32_t>& of,
                   const std::vector<std::uint8_t>& codes, int groupCount, unsigned threads,
                   bool accelerate) {
    WorkerPool pool(threads);
    MarginalSettings settings = Plain();
    settings.accelerate = accelerate;
    std::vector<Item> items = truth;
    for (Item& item : items) {
        item.a = 1;
        for (int k = 0; k < item.Thresholds(); ++k) item.b[k] = -0.5 + 0.5 * k;
        InterceptsFromThresholds(item);
    }
    const std::vector<char> estimated(items.size(), 1);
    Groups groups(of, groupCount, settings.quadraturePoints, settings.quadratureRange);
    mml::Quadrature grid =
        mml::NormalQuadrature(settings.quadraturePoints, settings.quadratureRange);
    EmTables tables(items, grid.Points());
    const Responses responses = groups.Attach(Responses{codes, of.size(), items.size()});
    const EmOutcome em = RunPolytomousEm(
        items, estimated, responses, settings, grid, tables, pool,
        [](int, double, double) { return true; }, &groups);
    GroupFit fit;
    fit.converged = em.converged;
    fit.logLikelihood = em.logLikelihood;
    ErrorForm form = ErrorForm::Whole;
    EXPECT_TRUE(SetGroupStandardErrors(
        items, estimated, groups, responses, Priors{}, grid, tables, pool, [] { return true; },
        &form, &fit.source, StandardErrorMethod::Louis, VectorUnit::Best));
    fit.items = items;
    fit.groups = groups.estimates;
    return fit;
}

TEST(GroupEm, GivesBackTheGroupsPopulationsTheSameWithoutExtrapolationAndOnAnyThreads) {
    const std::vector<Item> truth = Mixed();
    const int persons = 3000;
    const std::vector<std::int32_t> of = Alternating(persons, 2);
    const std::vector<std::uint8_t> codes = SimulateGroups(truth, of, {{0, 1}, {0.6, 1.3}}, 23);
    const GroupFit fit = FitGroups(truth, of, codes, 2, 1, true);
    ASSERT_TRUE(fit.converged);
    EXPECT_EQ(fit.source, GroupErrorSource::WithItems);
    const PopulationEstimate& focal = fit.groups[1];
    EXPECT_FALSE(fit.groups[0].estimated);
    EXPECT_EQ(fit.groups[0].mean, 0);
    EXPECT_EQ(fit.groups[0].sd, 1);
    EXPECT_GT(focal.seMean, 0.02);
    EXPECT_LT(focal.seMean, 0.15);
    EXPECT_GT(focal.seSd, 0.02);
    EXPECT_LT(focal.seSd, 0.15);
    EXPECT_NEAR(focal.mean, 0.6, 3 * focal.seMean);
    EXPECT_NEAR(focal.sd, 1.3, 3 * focal.seSd);
    for (std::size_t i = 0; i < truth.size(); ++i) {
        EXPECT_NEAR(fit.items[i].a, truth[i].a, 4 * fit.items[i].seA) << "item " << i;
    }

    const GroupFit plain = FitGroups(truth, of, codes, 2, 1, false);
    EXPECT_NEAR(plain.logLikelihood, fit.logLikelihood, 1e-4) << "one maximum";
    EXPECT_NEAR(plain.groups[1].mean, focal.mean, 1e-3);
    EXPECT_NEAR(plain.groups[1].sd, focal.sd, 1e-3);

    const GroupFit three = FitGroups(truth, of, codes, 2, 3, true);
    EXPECT_EQ(three.logLikelihood, fit.logLikelihood) << "the same bits on three threads";
    EXPECT_EQ(three.groups[1].mean, focal.mean);
    EXPECT_EQ(three.groups[1].seSd, focal.seSd);
    EXPECT_EQ(three.items[0].seA, fit.items[0].seA);
}

// The groups' errors with the items' uncertainty in them are larger than
// those of the groups' own block (the items taken as known).
TEST(GroupEm, ErrorsWithTheItemsExceedThoseOfTheGroupsAlone) {
    const std::vector<Item> truth = Mixed();
    const std::vector<std::int32_t> of = Alternating(1200, 2);
    const std::vector<std::uint8_t> codes = SimulateGroups(truth, of, {{0, 1}, {-0.5, 0.9}}, 29);
    const GroupFit whole = FitGroups(truth, of, codes, 2, 1, true);
    std::vector<Item> items = whole.items;
    const std::vector<char> estimated(items.size(), 1);
    Groups groups(of, 2, 61, 6);
    groups.estimates = whole.groups;
    mml::Quadrature grid = mml::NormalQuadrature(61, 6);
    PlaceGroups(groups, grid);
    EmTables tables(items, grid.Points());
    WorkerPool one(1);
    ErrorForm form = ErrorForm::Whole;
    GroupErrorSource source = GroupErrorSource::NotFormed;
    ASSERT_TRUE(SetGroupStandardErrors(
        items, estimated, groups, groups.Attach(Responses{codes, of.size(), items.size()}),
        Priors{}, grid, tables, one, [] { return true; }, &form, &source,
        StandardErrorMethod::CrossProduct, VectorUnit::Best));
    EXPECT_EQ(source, GroupErrorSource::GroupsAlone);
    EXPECT_GT(whole.groups[1].seMean, groups.estimates[1].seMean);
    EXPECT_GT(groups.estimates[1].seMean, 0.5 * whole.groups[1].seMean);
}

}  // namespace
}  // namespace tarvo::poly
