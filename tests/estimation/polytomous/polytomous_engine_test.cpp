// The polytomous EM's pieces on their own: the category counts and their
// merging, the observed information against a second-difference Hessian of
// the marginal log-likelihood (Louis' form and the differenced gradient),
// recovery of generating parameters, and the same bits on 1, 2 and 3
// threads.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "estimation/polytomous/inputs/poly_categories.h"
#include "estimation/polytomous/inputs/poly_item_file.h"
#include "estimation/polytomous/poly_em.h"
#include "estimation/polytomous/poly_information.h"
#include "estimation/polytomous/poly_louis.h"
#include "estimation/polytomous/poly_population.h"
#include "estimation/polytomous/poly_scales.h"
#include "estimation/polytomous/poly_scores.h"
#include "estimation/polytomous/poly_start.h"
#include "poly_test_items.h"
#include "support/temp_dir.h"

namespace tarvo::poly {
namespace {

using test_items::Binary;
using test_items::Graded;
using test_items::Plain;

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
            codes.push_back(test_items::DrawScore(item, theta, uniform(random), p));
        }
    }
    return codes;
}

using test::Partial;

Item Credit(std::vector<double> b) {
    Item item =
        ItemOf(static_cast<int>(b.size()) + 1, RulesOf(MarginalModel::TwoPL), PolytomousModel::Pcm);
    item.a = 0.8;
    for (std::size_t k = 0; k < b.size(); ++k) item.b[k] = b[k];
    InterceptsFromThresholds(item);
    return item;
}

// A held item file's rows by their SeqItem; a faulty row refuses the whole
// file, so that no row read before it is held.
TEST(PolytomousItemFile, HoldsEachRowsItemOrNoneOnAFault) {
    const test_support::TempDir dir;
    const std::string header = "SeqItem,AccNo,Model,Categories,a,b1,b2,c\r\n";
    const std::string rows = "2,Q2,grm,3,1.25,-0.5,0.75,\r\n1,Q1,3pl,2,0.8,0.1,,0.2\r\n";
    HeldItems held = ReadPolytomousItemFile(dir.Write("good.csv", header + rows), 3);
    EXPECT_EQ(held.error, "");
    ASSERT_EQ(held.items.size(), 3u);
    ASSERT_TRUE(held.items[0] && held.items[1]);
    EXPECT_FALSE(held.items[2]);
    EXPECT_EQ(held.items[1]->model, "grm");
    EXPECT_EQ(held.items[1]->line, 2u);
    EXPECT_EQ(held.items[1]->b[1], 0.75);
    EXPECT_EQ(held.items[0]->c, 0.2);

    const std::string bad = dir.Write("bad.csv", header + rows + "3,Q3,grm,3,x,0,1,\r\n");
    held = ReadPolytomousItemFile(bad, 3);
    EXPECT_EQ(held.error,
              "ERROR Item file " + bad + ", line 4 ('3,Q3,grm,3,x,0,1,'): its a is not a number.");
    ASSERT_EQ(held.items.size(), 3u);
    for (const auto& row : held.items) EXPECT_FALSE(row);
}

// Held rows the model cannot use, or that say two things of one item, refuse
// the file naming the line; a partial credit item's steps may come in any
// order, a graded item's thresholds must rise.
TEST(PolytomousItemFile, RefusesValuesOutOfRangeAndTwoRowsOfOneItem) {
    const test_support::TempDir dir;
    const std::string header = "SeqItem,AccNo,Model,Categories,a,b1,b2,b3,c\r\n";
    const std::string first = "1,Q1,3pl,2,0.8,0.1,,,0.2\r\n";
    struct Case {
        std::string row;
        std::string fault;  // empty: held
    };
    const std::string wide = "must fit its column of the result (from -99.999 to 999.999)";
    const Case cases[] = {
        {"2,Q2,grm,4,1.1,-1,0.5,1.5,", ""},
        {"2,Q2,gpcm,4,1.1,1.5,-1,0.5,", ""},
        {"2,Q2,grm,4,-1.1,-1,0.5,1.5,", ""},  // reverse keyed
        {"2,Q2,grm,4,1.1,0.5,-1,1.5,", "its b2 must be above b1: a graded item's thresholds rise"},
        {"2,Q2,grm,4,1.1,-1,0.5,0.5,", "its b3 must be above b2: a graded item's thresholds rise"},
        {"2,Q2,grm,4,1e308,-1,0.5,1.5,", "its a " + wide},
        {"2,Q2,gpcm,4,0,-1,0.5,1.5,", "its a must not be 0"},
        {"2,Q2,grm,4,1.1,-1e308,0.5,1.5,", "its b1 " + wide},
        {"2,Q2,3pl,2,-0.5,0.1,,,0.2", "its a must be above 0"},
        {"2,Q2,3pl,2,0.8,0.1,,,1.0", "its c must be from 0 to below 1"},
        {"2,Q2,3pl,2,0.8,0.1,,,-0.5", "its c must be from 0 to below 1"},
        {"1,Q1,3pl,2,0.9,0.3,,,0.1", "item 1 has a row already, on line 2"},
    };
    for (const Case& c : cases) {
        const std::string path = dir.Write("held.csv", header + first + c.row + "\r\n");
        const HeldItems held = ReadPolytomousItemFile(path, 3);
        if (c.fault.empty()) {
            EXPECT_EQ(held.error, "") << c.row;
            EXPECT_TRUE(held.items[1]) << c.row;
            continue;
        }
        EXPECT_EQ(held.error,
                  "ERROR Item file " + path + ", line 3 ('" + c.row + "'): " + c.fault + ".");
        for (const auto& row : held.items) EXPECT_FALSE(row) << c.row;
    }
}

TEST(PolytomousInformation, MatchesSecondDifferencesOfTheLogLikelihood) {
    // One GRM, one GPCM with disordered steps and a reverse-keyed slope,
    // one right/wrong item, two PCM items sharing their slope; a few
    // responses missing.
    const std::vector<Item> truth = {Graded(1.1, {-0.8, 0.5}), Partial(-0.7, {0.4, -0.2, 0.9}),
                                     Binary(0.9, 0.3), Credit({-0.5, 0.6}), Credit({0.2, 0.9})};
    std::vector<std::uint8_t> codes = Simulate(truth, 300, 11);
    for (std::size_t x = 7; x < codes.size(); x += 13) codes[x] = 9;
    const Responses responses{codes, 300, truth.size()};
    const mml::Quadrature quadrature = mml::NormalQuadrature(21, 5);
    const std::vector<char> estimated(truth.size(), 1);
    const Priors priors{};
    EmTables tables(truth, quadrature.Points());
    WorkerPool one(1), three(3);
    const auto goOn = [] { return true; };

    const std::vector<double> louis =
        ObservedInformation(truth, estimated, responses, priors, quadrature, tables, one, goOn);
    const std::vector<double> differenced = InformationByDifferences(
        truth, estimated, responses, priors, quadrature, tables, one, goOn);
    EXPECT_EQ(
        ObservedInformation(truth, estimated, responses, priors, quadrature, tables, three, goOn),
        louis)
        << "the same bits on three threads";
    int n = 1;  // the common slope, last
    for (const Item& item : truth) n += FreeCount(item);
    ASSERT_EQ(louis.size(), static_cast<std::size_t>(n * n));
    ASSERT_EQ(differenced.size(), louis.size());

    // Minus the Hessian of the log-likelihood alone, by second differences.
    const auto logLikelihood = [&](std::vector<Item> items, int p, double dp, int q, double dq) {
        auto shift = [&](int which, double by) {
            if (which == n - 1) {
                for (Item& item : items) item.a += item.commonSlope ? by : 0;
                return;
            }
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
            const double tolerance = 2e-3 * std::max(1.0, std::abs(second));
            EXPECT_NEAR(louis[p * n + q], -second, tolerance) << "Louis " << p << "," << q;
            EXPECT_NEAR(differenced[p * n + q], -second, tolerance)
                << "differences " << p << "," << q;
        }
    }
}

// The cross-product estimate is the sum of the examinees' gradients'
// outer products: at the generating items its expectation is the
// information, so on many examinees each diagonal entry comes near Louis'
// and the matrix is symmetric, positive on the diagonal and the same bits
// on any number of threads. Without any parameter estimated it is empty.
TEST(PolytomousInformation, CrossProductsComeNearTheObservedInformation) {
    const std::vector<Item> truth = {Graded(1.2, {-1.0, 0.2, 1.1}), Partial(0.8, {-0.6, 0.7}),
                                     Graded(-0.9, {0.9, -0.4}),     Binary(1.1, -0.2),
                                     Credit({-0.5, 0.6}),           Credit({0.3, 1.0})};
    const int persons = 4000;
    const std::vector<std::uint8_t> codes = Simulate(truth, persons, 23);
    const Responses responses{codes, static_cast<std::size_t>(persons), truth.size()};
    const mml::Quadrature quadrature = mml::NormalQuadrature(31, 5);
    const std::vector<char> estimated(truth.size(), 1);
    const Priors priors{};
    EmTables tables(truth, quadrature.Points());
    WorkerPool one(1), three(3);
    const auto goOn = [] { return true; };

    const std::vector<double> louis =
        LouisInformation(truth, estimated, responses, priors, quadrature, tables, one, goOn);
    const std::vector<double> products =
        LouisInformation(truth, estimated, responses, priors, quadrature, tables, one, goOn, true);
    EXPECT_EQ(LouisInformation(truth, estimated, responses, priors, quadrature, tables, three, goOn,
                               true),
              products);
    ASSERT_EQ(products.size(), louis.size());
    const std::size_t n = static_cast<std::size_t>(std::sqrt(static_cast<double>(louis.size())));
    ASSERT_EQ(n * n, louis.size());
    for (std::size_t p = 0; p < n; ++p) {
        EXPECT_GT(products[p * n + p], 0) << p;
        EXPECT_NEAR(products[p * n + p] / louis[p * n + p], 1.0, 0.15) << "parameter " << p;
        for (std::size_t q = 0; q < p; ++q) EXPECT_EQ(products[p * n + q], products[q * n + p]);
    }
    const std::vector<char> held(truth.size(), 0);
    EXPECT_TRUE(
        LouisInformation(truth, held, responses, priors, quadrature, tables, one, goOn, true)
            .empty());
}

// Each item's own block, for long tests, is the whole information's block
// of the item (the same terms, the cross-item ones left out), a held item
// having none; the cross-products' blocks likewise.
TEST(PolytomousInformation, ItemBlocksAreTheWholeInformationsOwnBlocks) {
    const std::vector<Item> truth = {Graded(1.2, {-1.0, 0.2, 1.1}), Partial(0.8, {-0.6, 0.7}),
                                     Binary(1.1, -0.2), Graded(-0.9, {0.9, -0.4})};
    const std::vector<std::uint8_t> codes = Simulate(truth, 500, 31);
    const Responses responses{codes, 500, truth.size()};
    const mml::Quadrature quadrature = mml::NormalQuadrature(21, 5);
    const std::vector<char> estimated = {1, 1, 0, 1};
    EmTables tables(truth, quadrature.Points());
    WorkerPool pool(2);
    const auto goOn = [] { return true; };
    for (const bool products : {false, true}) {
        SCOPED_TRACE(products ? "cross-products" : "Louis");
        const std::vector<double> whole = LouisInformation(
            truth, estimated, responses, Priors{}, quadrature, tables, pool, goOn, products);
        const std::vector<double> blocks = LouisItemBlocks(
            truth, estimated, responses, Priors{}, quadrature, tables, pool, goOn, products);
        const std::size_t n =
            static_cast<std::size_t>(std::sqrt(static_cast<double>(whole.size())));
        std::size_t start = 0, at = 0;
        for (std::size_t i = 0; i < truth.size(); ++i) {
            if (!estimated[i]) continue;
            const std::size_t w = static_cast<std::size_t>(OwnWidth(truth[i]));
            for (std::size_t u = 0; u < w; ++u) {
                for (std::size_t v = 0; v < w; ++v) {
                    const double expected = whole[(start + u) * n + start + v];
                    EXPECT_NEAR(blocks[at + u * w + v], expected, 1e-9 * std::abs(expected))
                        << i << ": " << u << "," << v;
                }
            }
            start += w;
            at += w * w;
        }
        EXPECT_EQ(at, blocks.size());
        EXPECT_EQ(start, n);
    }
}

// Past 400 items each item's errors come from its own block: a graded
// item's slope error is the root of its block's inverse at the slope, and
// the slope a partial credit item shares with others has none (-1).
TEST(PolytomousInformation, LongTestsTakeEachItemsOwnBlock) {
    std::vector<Item> truth;
    for (int i = 0; i < 401; ++i) truth.push_back(Graded(0.8 + 0.002 * i, {-1.0 + 0.005 * i}));
    truth.push_back(Credit({-0.5, 0.6}));
    const std::vector<std::uint8_t> codes = Simulate(truth, 300, 41);
    const Responses responses{codes, 300, truth.size()};
    const mml::Quadrature quadrature = mml::NormalQuadrature(15, 5);
    const std::vector<char> estimated(truth.size(), 1);
    EmTables tables(truth, quadrature.Points());
    WorkerPool pool(2);
    const auto goOn = [] { return true; };
    const std::vector<double> blocks =
        LouisItemBlocks(truth, estimated, responses, Priors{}, quadrature, tables, pool, goOn);
    std::vector<Item> items = truth;
    ErrorForm form = ErrorForm::Whole;
    ASSERT_TRUE(SetStandardErrors(items, estimated, responses, Priors{}, quadrature, tables, pool,
                                  goOn, &form));
    EXPECT_EQ(form, ErrorForm::ItemBlocks);
    for (std::size_t i = 0; i < 401; ++i) {
        const double* b = &blocks[4 * i];  // (a, d) by (a, d)
        const double variance = b[3] / (b[0] * b[3] - b[1] * b[2]);
        EXPECT_NEAR(items[i].seA, std::sqrt(variance), 1e-9 * std::sqrt(variance)) << i;
        EXPECT_GT(items[i].seB[0], 0) << i;
    }
    EXPECT_EQ(items.back().seA, -1);
    EXPECT_GT(items.back().seB[0], 0);
    EXPECT_GT(items.back().seB[1], 0);
}

// The errors as asked: none leaves every estimated item's at -1 and says
// so; the cross-products give errors near the observed information's and
// say they are the cross-products'.
TEST(PolytomousInformation, StandardErrorsAsAsked) {
    const std::vector<Item> truth = {Graded(1.2, {-1.0, 0.2, 1.1}), Partial(0.8, {-0.6, 0.7}),
                                     Graded(1.0, {-0.4, 0.9}), Binary(1.1, -0.2)};
    const int persons = 3000;
    const std::vector<std::uint8_t> codes = Simulate(truth, persons, 5);
    const Responses responses{codes, static_cast<std::size_t>(persons), truth.size()};
    const mml::Quadrature quadrature = mml::NormalQuadrature(31, 5);
    const std::vector<char> estimated(truth.size(), 1);
    EmTables tables(truth, quadrature.Points());
    WorkerPool pool(2);
    const auto goOn = [] { return true; };
    std::vector<Item> louis = truth, products = truth, none = truth;
    ErrorForm form = ErrorForm::Whole;
    ASSERT_TRUE(SetStandardErrors(louis, estimated, responses, Priors{}, quadrature, tables, pool,
                                  goOn, &form));
    EXPECT_EQ(form, ErrorForm::Whole);
    ASSERT_TRUE(SetStandardErrors(products, estimated, responses, Priors{}, quadrature, tables,
                                  pool, goOn, &form, StandardErrorMethod::CrossProduct));
    EXPECT_EQ(form, ErrorForm::CrossProduct);
    ASSERT_TRUE(SetStandardErrors(none, estimated, responses, Priors{}, quadrature, tables, pool,
                                  goOn, &form, StandardErrorMethod::None));
    EXPECT_EQ(form, ErrorForm::NotFormed);
    for (std::size_t i = 0; i < truth.size(); ++i) {
        SCOPED_TRACE("item " + std::to_string(i));
        EXPECT_GT(louis[i].seA, 0);
        EXPECT_NEAR(products[i].seA / louis[i].seA, 1.0, 0.1);
        EXPECT_NEAR(products[i].seB[0] / louis[i].seB[0], 1.0, 0.1);
        EXPECT_EQ(none[i].seA, -1);
        EXPECT_EQ(none[i].seB[0], -1);
    }
}

// Two rated items of one scale (their thresholds a location plus shared
// steps) and a GPCM item: the marginal gradient by every parameter, the
// locations, the common slope and the scale's free steps, is the slope of
// the log-likelihood, and the steps stay shared when one is moved.
TEST(PolytomousScales, GradientBySharedStepsMatchesDifferencesOfTheLogLikelihood) {
    const auto rated = [](double location) {
        Item item = PolytomousItem(4, PolytomousModel::Rsm);
        item.a = 0.9;
        const double steps[3] = {-0.9, 0.2, 0.7};
        for (int k = 0; k < 3; ++k) item.b[k] = location + steps[k];
        InterceptsFromThresholds(item);
        return item;
    };
    const std::vector<Item> truth = {rated(-0.4), Partial(1.2, {0.3, -0.5}), rated(0.6)};
    const std::vector<std::uint8_t> codes = Simulate(truth, 250, 5);
    const Responses responses{codes, 250, truth.size()};
    const mml::Quadrature quadrature = mml::NormalQuadrature(21, 5);
    const std::vector<char> estimated(truth.size(), 1);
    EmTables tables(truth, quadrature.Points());
    const std::vector<Scale> scales = ScalesOf(truth, estimated);
    ASSERT_EQ(scales.size(), 1u);
    EXPECT_EQ(scales[0].items, (std::vector<std::size_t>{0, 2}));
    // Own: a location, a, b1, b2, a location; then the common slope and two steps.
    const int own = 5, n = own + 1 + SharedStepCount(scales);
    std::vector<double> gradient(static_cast<std::size_t>(n));
    WorkerPool pool(1);
    MarginalGradient(truth, estimated, responses, Priors{}, quadrature, tables, pool, gradient);
    const auto moved = [&](int p, double by) {
        std::vector<Item> items = truth;
        if (p >= own + 1) {
            ShiftSharedStep(items, scales, p - own - 1, by);
        } else if (p == own) {
            items[0].a += by;
            items[2].a += by;
        } else {
            int which = p;
            for (Item& item : items) {
                const int free = FreeCount(item);
                if (which < free) {
                    std::vector<double> x(kMostFree);
                    PackFree(item, x);
                    x[which] += by;
                    UnpackFree(x, item);
                    break;
                }
                which -= free;
            }
        }
        return items;
    };
    const double h = 1e-5;
    for (int p = 0; p < n; ++p) {
        const double slope = (EStep(moved(p, h), responses, quadrature, tables) -
                              EStep(moved(p, -h), responses, quadrature, tables)) /
                             (2 * h);
        EXPECT_NEAR(gradient[p], slope, 1e-4 * std::max(1.0, std::abs(slope))) << p;
    }
    const std::vector<Item> shifted = moved(own + 1, 0.3);
    for (int k = 0; k < 3; ++k) {
        EXPECT_NEAR(shifted[2].d[k] - LocationOf(shifted[2]),
                    shifted[0].d[k] - LocationOf(shifted[0]), 1e-12);
    }
    EXPECT_NEAR(LocationOf(shifted[0]), LocationOf(truth[0]), 1e-12);
}

// The polytomous priors (log-normal on |a|, normal on every threshold) in
// an item's objective: its gradient is the slope of its value, for a
// reverse-keyed GPCM item and a rated item whose location moves all its
// thresholds; a common slope takes no prior.
TEST(PolytomousPriors, ObjectiveGradientMatchesDifferencesWithEitherSignOfA) {
    Priors priors{};
    priors.polytomousLogA = {true, 0.1, 0.4};
    priors.polytomousB = {true, 0.5, 1.5};
    Item rated = PolytomousItem(4, PolytomousModel::Rsm);
    rated.a = 0.8;
    rated.b = {-0.7, 0.3, 1.1};
    InterceptsFromThresholds(rated);
    const std::vector<Item> items = {Partial(-0.9, {0.4, -0.3, 1.2}), rated};
    const std::vector<std::uint8_t> codes = Simulate(items, 200, 3);
    const mml::Quadrature quadrature = mml::NormalQuadrature(15, 5);
    EmTables tables(items, quadrature.Points());
    EStep(items, Responses{codes, 200, items.size()}, quadrature, tables);
    for (std::size_t i = 0; i < items.size(); ++i) {
        const int free = FreeCount(items[i]);
        std::vector<double> gradient(static_cast<std::size_t>(free));
        ItemObjective(items[i], tables.Expected(i), quadrature, priors, gradient.data(), nullptr);
        const double withPriors =
            ItemObjective(items[i], tables.Expected(i), quadrature, priors, nullptr, nullptr);
        EXPECT_LT(withPriors, ItemObjective(items[i], tables.Expected(i), quadrature, Priors{},
                                            nullptr, nullptr));
        for (int p = 0; p < free; ++p) {
            const auto at = [&](double by) {
                Item moved = items[i];
                std::vector<double> x(kMostFree);
                PackFree(moved, x);
                x[p] += by;
                UnpackFree(x, moved);
                return ItemObjective(moved, tables.Expected(i), quadrature, priors, nullptr,
                                     nullptr);
            };
            const double h = 1e-6;
            EXPECT_NEAR(gradient[p], (at(h) - at(-h)) / (2 * h), 1e-4) << i << " " << p;
        }
    }
    // The rated item's common slope: the same slope gradient with or
    // without the prior on a.
    EXPECT_EQ(SlopeGradient(rated, tables.Expected(1), quadrature, priors),
              SlopeGradient(rated, tables.Expected(1), quadrature,
                            Priors{{}, {}, {}, {}, priors.polytomousB, {}}));
}

// MAP and ML scores: the derivatives by theta of every model's category
// probabilities match differences; ML sets the score's slope to 0 and
// puts an all-highest pattern at the upper bound (no finite estimate),
// MAP keeps it finite and pulls every score toward the prior's mean.
TEST(PolytomousScores, ModeScoresSolveTheScoreEquationAndBoundExtremePatterns) {
    Item rated = PolytomousItem(4, PolytomousModel::Rsm);
    rated.a = 0.8;
    rated.b = {-0.7, 0.3, 1.1};
    InterceptsFromThresholds(rated);
    Item guessing = Binary(1.3, 0.2);
    guessing.c = 0.2;
    guessing.guessFree = true;
    const std::vector<Item> items = {Graded(1.1, {-0.8, 0.5}), Partial(-0.7, {0.4, -0.2, 0.9}),
                                     rated, guessing};
    for (const Item& item : items) {
        std::vector<double> p(static_cast<std::size_t>(item.categories)), dp(p.size());
        std::vector<double> up(p.size()), down(p.size());
        const double theta = 0.37, h = 1e-6;
        CategoryProbabilities(item, theta, p);
        CategoryThetaDerivatives(item, theta, p, dp);
        CategoryProbabilities(item, theta + h, up);
        CategoryProbabilities(item, theta - h, down);
        for (std::size_t k = 0; k < p.size(); ++k) {
            EXPECT_NEAR(dp[k], (up[k] - down[k]) / (2 * h), 1e-8) << k;
        }
    }
    // A middle pattern, the pattern of highest ability (the reverse-keyed
    // item at 0, every other at its highest) and one with a missing item.
    const std::vector<std::uint8_t> codes = {1, 2, 1, 1, 2, 0, 3, 1, 1, 9, 3, 1};
    const Responses responses{codes, 3, items.size()};
    std::vector<double> ml(3, 0.0), mlError(3), map(3, 0.0), mapError(3);
    ScoreByMode(items, responses, ModeScoring{}, ml, mlError);
    ScoreByMode(items, responses, ModeScoring{true, 0, 1, -6, 6}, map, mapError);
    EXPECT_GT(ml[0], -3);
    EXPECT_LT(ml[0], 3);
    EXPECT_LT(std::abs(map[0]), std::abs(ml[0]));
    EXPECT_GT(mlError[0], mapError[0]);
    // At the ML estimate the log-likelihood's slope is 0.
    const auto logLikelihood = [&](double theta) {
        double sum = 0;
        for (std::size_t i = 0; i < items.size(); ++i) {
            std::vector<double> p(static_cast<std::size_t>(items[i].categories));
            CategoryProbabilities(items[i], theta, p);
            sum += std::log(p[codes[i]]);
        }
        return sum;
    };
    EXPECT_NEAR((logLikelihood(ml[0] + 1e-5) - logLikelihood(ml[0] - 1e-5)) / 2e-5, 0, 1e-6);
    EXPECT_EQ(ml[1], 3) << "no finite estimate";
    EXPECT_GT(map[1], 0);
    EXPECT_LT(map[1], 3);
    EXPECT_GT(ml[2], -3);
    EXPECT_LT(ml[2], 3);
}

// Held items set the scale: the abilities of examinees drawn from
// N(0.5, 1.3^2) on it give back that mean and SD, within three of their
// standard errors.
TEST(PolytomousPopulation, HeldItemsGiveBackThePopulationsMeanAndSd) {
    const std::vector<Item> held = {Graded(1.2, {-1.0, 0.2, 1.1}), Partial(1.0, {-0.6, 0.3, 0.8}),
                                    Graded(0.8, {-0.5, 0.9}), Binary(1.3, -0.2)};
    // The same items on the standard scale of z = (theta - 0.5) / 1.3.
    std::vector<Item> standard = held;
    for (Item& item : standard) {
        item.a *= 1.3;
        for (int k = 0; k < item.Thresholds(); ++k) item.b[k] = (item.b[k] - 0.5) / 1.3;
        InterceptsFromThresholds(item);
    }
    const int persons = 1500;
    const std::vector<std::uint8_t> codes = Simulate(standard, persons, 9);
    const Responses responses{codes, static_cast<std::size_t>(persons), held.size()};
    mml::Quadrature quadrature = mml::NormalQuadrature(41, 6);
    const std::vector<char> estimated(held.size(), 0);
    MarginalSettings settings = Plain();
    settings.fixItems = true;
    settings.estimatePopulation = true;
    std::vector<Item> items = held;
    EmTables tables(items, quadrature.Points());
    WorkerPool pool(1);
    const EmOutcome em = RunPolytomousEm(items, estimated, responses, settings, quadrature, tables,
                                         pool, [](int, double, double) { return true; });
    ASSERT_TRUE(em.converged);
    PopulationEstimate population = em.population;
    ASSERT_TRUE(population.estimated);
    SetPopulationErrors(items, responses, quadrature, tables, population);
    EXPECT_GT(population.seMean, 0.01);
    EXPECT_LT(population.seMean, 0.2);
    EXPECT_NEAR(population.mean, 0.5, 3 * population.seMean);
    EXPECT_NEAR(population.sd, 1.3, 3 * population.seSd);
    EXPECT_NEAR(quadrature.theta[20], population.mean, 1e-12) << "the grid follows";
}

TEST(PolytomousEm, RecoversGeneratingParametersAndSameOnAnyThreadCount) {
    const std::vector<Item> truth = {
        Graded(1.2, {-1.0, 0.2, 1.1}), Graded(0.8, {-0.5, 0.9}), Partial(1.0, {-0.6, 0.3, 0.8}),
        Partial(-0.9, {0.5, -0.4}),    Binary(1.3, -0.2),        Binary(0.7, 0.6)};
    const int persons = 2000;
    const std::vector<std::uint8_t> codes = Simulate(truth, persons, 5);
    const Responses responses{codes, static_cast<std::size_t>(persons), truth.size()};
    mml::Quadrature quadrature = mml::NormalQuadrature(41, 6);
    const std::vector<char> estimated(truth.size(), 1);

    auto fit = [&](unsigned threads) {
        WorkerPool pool(threads);
        std::vector<Item> items = truth;
        for (Item& item : items) {
            // A reverse-keyed start for nothing: every slope starts at +1.
            item.a = 1;
            for (int k = 0; k < item.Thresholds(); ++k) item.b[k] = -0.5 + 0.5 * k;
            InterceptsFromThresholds(item);
        }
        EmTables tables(items, quadrature.Points());
        const EmOutcome em =
            RunPolytomousEm(items, estimated, responses, Plain(), quadrature, tables, pool,
                            [](int, double, double) { return true; });
        EXPECT_TRUE(em.converged);
        EXPECT_GT(em.extrapolations, 0);
        EXPECT_TRUE(SetStandardErrors(items, estimated, responses, Priors{}, quadrature, tables,
                                      pool, [] { return true; }));
        for (Item& item : items) ReportThresholds(item);
        return items;
    };
    const std::vector<Item> first = fit(1);
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
    for (const unsigned threads : {2u, 3u}) {
        const std::vector<Item> again = fit(threads);
        for (std::size_t i = 0; i < truth.size(); ++i) {
            EXPECT_EQ(first[i].a, again[i].a) << threads << " threads";
            EXPECT_EQ(first[i].b, again[i].b) << threads << " threads";
            EXPECT_EQ(first[i].seA, again[i].seA) << threads << " threads";
            EXPECT_EQ(first[i].seB, again[i].seB) << threads << " threads";
        }
    }
}

}  // namespace
}  // namespace tarvo::poly

namespace tarvo::poly {
namespace {

// The recovery study's small form (the benchmark runs 20 replicates of 10
// items at three sizes): one replicate per size of four items, RMSE of a
// and of the thresholds shrinking from 300 to 3,000 examinees, and small at
// 3,000.
TEST(PolytomousEm, EachModelRecoversItsItemsBetterWithMoreExaminees) {
    const std::vector<std::vector<Item>> models = {
        {Graded(1.2, {-1.2, 0.0, 1.0}), Graded(0.8, {-0.6, 0.3, 1.5}),
         Graded(1.5, {-1.5, -0.4, 0.6}), Graded(1.0, {-0.9, 0.4, 1.2})},
        {Partial(1.1, {-0.8, 0.1, 0.9}), Partial(0.7, {0.3, -0.4, 1.1}),
         Partial(1.4, {-1.1, -0.2, 0.5}), Partial(0.9, {-0.3, 0.6, 0.2})},
        {Credit({-0.8, 0.1, 0.9}), Credit({0.3, -0.4, 1.1}), Credit({-1.1, -0.2, 0.5}),
         Credit({-0.3, 0.6, 0.2})}};
    mml::Quadrature quadrature = mml::NormalQuadrature(21, 5);
    WorkerPool pool(1);
    for (const std::vector<Item>& truth : models) {
        const std::vector<char> estimated(truth.size(), 1);
        double rmse[2][2] = {};  // by size: a, thresholds
        const int sizes[2] = {300, 3000};
        for (int s = 0; s < 2; ++s) {
            const std::vector<std::uint8_t> codes = Simulate(truth, sizes[s], 17);
            const Responses responses{codes, static_cast<std::size_t>(sizes[s]), truth.size()};
            std::vector<Item> items = truth;
            for (Item& item : items) {
                item.a = 1;
                for (int k = 0; k < item.Thresholds(); ++k) item.b[k] = -0.5 + 0.5 * k;
                InterceptsFromThresholds(item);
            }
            EmTables tables(items, quadrature.Points());
            RunPolytomousEm(items, estimated, responses, Plain(), quadrature, tables, pool,
                            [](int, double, double) { return true; });
            for (Item& item : items) ReportThresholds(item);
            double squares[2] = {}, counts[2] = {};
            for (std::size_t i = 0; i < truth.size(); ++i) {
                squares[0] += (items[i].a - truth[i].a) * (items[i].a - truth[i].a);
                counts[0] += 1;
                for (int k = 0; k < truth[i].Thresholds(); ++k) {
                    squares[1] += (items[i].b[k] - truth[i].b[k]) * (items[i].b[k] - truth[i].b[k]);
                    counts[1] += 1;
                }
            }
            for (int x = 0; x < 2; ++x) rmse[s][x] = std::sqrt(squares[x] / counts[x]);
        }
        const std::string_view model = truth[0].model->name;
        EXPECT_LT(rmse[1][0], rmse[0][0]) << model << " a";
        EXPECT_LT(rmse[1][1], rmse[0][1]) << model << " thresholds";
        EXPECT_LT(rmse[1][0], 0.1) << model << " a";
        EXPECT_LT(rmse[1][1], 0.1) << model << " thresholds";
    }
}

}  // namespace
}  // namespace tarvo::poly

namespace tarvo::poly {
namespace {

// A reverse-keyed GRM item starts with a negative slope, and EM takes it
// to its generating values; started at +1 it crosses 0 to the same
// maximum.
TEST(PolytomousStart, ReverseKeyedGradedItemStartsAndEndsOnItsOwnSide) {
    const std::vector<Item> truth = {Graded(1.2, {-1.0, 0.0, 1.0}), Graded(0.9, {-0.5, 0.4, 1.3}),
                                     Graded(1.4, {-1.2, -0.3, 0.8}), Graded(1.0, {-0.8, 0.2, 1.1}),
                                     Graded(-1.1, {0.9, 0.0, -0.9})};
    const std::vector<std::uint8_t> codes = Simulate(truth, 2000, 23);
    const std::vector<int> signs = RestSigns(codes, truth);
    EXPECT_EQ(signs, (std::vector<int>{1, 1, 1, 1, -1}));
    const std::vector<CategoryCounts> counts = CountCategories(codes, truth.size());
    std::vector<Item> items = truth;
    for (std::size_t i = 0; i < items.size(); ++i) StartPolytomous(counts[i], signs[i], items[i]);
    Item start = items[4];
    EXPECT_TRUE(KeepInRange(start, 0)) << "falling intercepts, whatever the slope's sign";

    mml::Quadrature quadrature = mml::NormalQuadrature(41, 6);
    const std::vector<char> estimated(truth.size(), 1);
    EmTables tables(items, quadrature.Points());
    WorkerPool pool(1);
    const Responses responses{codes, 2000, truth.size()};
    EXPECT_TRUE(RunPolytomousEm(items, estimated, responses, Plain(), quadrature, tables, pool,
                                [](int, double, double) { return true; })
                    .converged);
    ReportThresholds(items[4]);
    EXPECT_NEAR(items[4].a, -1.1, 0.15);
    for (int k = 0; k < 3; ++k) EXPECT_NEAR(items[4].b[k], truth[4].b[k], 0.15) << "b" << k + 1;

    // Started on the wrong side, the slope crosses 0 (its intercepts need
    // no other order for either sign) and ends at the same maximum.
    std::vector<Item> crossing = items;
    for (std::size_t i = 0; i < crossing.size(); ++i) StartPolytomous(counts[i], 1, crossing[i]);
    const double reached = RunPolytomousEm(items, estimated, responses, Plain(), quadrature, tables,
                                           pool, [](int, double, double) { return true; })
                               .logLikelihood;
    const EmOutcome crossed =
        RunPolytomousEm(crossing, estimated, responses, Plain(), quadrature, tables, pool,
                        [](int, double, double) { return true; });
    EXPECT_TRUE(crossed.converged);
    EXPECT_NEAR(crossed.logLikelihood, reached, 1e-3);
    EXPECT_NEAR(crossing[4].a, items[4].a, 1e-3);
}

}  // namespace
}  // namespace tarvo::poly
