// The polytomous E-step's grouped tables and vector kernels: the groups it
// forms, its counts against an item-by-item posterior, the same bits on
// every vector unit and thread count, and, for right/wrong items, the bits
// of the right/wrong estimator's E-step.
#include "estimation/polytomous/poly_estep.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "estimation/kernels/mml_kernels.h"
#include "estimation/marginal/mml_estep.h"
#include "irt/item_curve.h"
#include "poly_test_items.h"

namespace tarvo::poly {
namespace {

using test::Binary;
using test::Graded;
using test::Partial;

// Right/wrong, three-, five- and nine-category items side by side, in an
// order that makes groups of one, two and three items.
std::vector<Item> MixedItems() {
    return {Binary(1.2, -0.3, 0.2),
            Binary(0.8, 0.5),
            Partial(0.9, {-1.4, -0.9, -0.3, 0.0, 0.4, 0.8, 1.2, 1.7}),
            Graded(1.1, {-1.0, -0.2, 0.6, 1.3}),
            Graded(0.7, {-0.5, 0.7}),
            Binary(1.5, 0.1),
            Binary(1.0, -1.0),
            Partial(-0.8, {0.4, -0.3, 0.9, 1.4}),
            Binary(0.6, 0.9, 0.15)};
}

// Random codes: each item's scores, a tenth missing (9), and now and then a
// code above an item's scores, which is read as missing too.
std::vector<std::uint8_t> RandomCodes(const std::vector<Item>& items, std::size_t persons,
                                      std::uint32_t seed) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> uniform;
    std::vector<std::uint8_t> codes;
    for (std::size_t j = 0; j < persons; ++j) {
        const double theta = 2 * uniform(random) - 1;
        for (const Item& item : items) {
            const double u = uniform(random);
            if (u < 0.1) {
                codes.push_back(9);
            } else if (u < 0.12) {
                codes.push_back(static_cast<std::uint8_t>(item.categories));
            } else {
                // Higher scores likelier at higher abilities, every score seen.
                const double share = std::clamp(0.5 + 0.4 * theta * item.a, 0.0, 0.999);
                const double v = 0.5 * share + 0.5 * uniform(random);
                codes.push_back(static_cast<std::uint8_t>(v * item.categories));
            }
        }
    }
    return codes;
}

TEST(PolytomousEStepGroups, RightWrongItemsInThreesLargerItemsInSmallerGroups) {
    const mml::Quadrature q = mml::NormalQuadrature(21, 4);
    const std::vector<Item> binary(7, Binary(1, 0));
    EmTables rightWrong(binary, q.Points());
    EXPECT_EQ(rightWrong.Groups(), 3u) << "3 + 3 + 1";
    EXPECT_EQ(rightWrong.RowTableSize(), (27u + 27u + 3u) * rightWrong.Stride());
    EXPECT_EQ(rightWrong.Stride(), 24u) << "21 points padded to the lanes";

    // Digits 3, 3, 10 | 6, 4, 3 | 3, 6, 3: three items a group, each
    // within 100 patterns.
    const std::vector<Item> mixedItems = MixedItems();
    EmTables mixed(mixedItems, q.Points());
    EXPECT_EQ(mixed.Groups(), 3u);
    EXPECT_EQ(mixed.RowTableSize(), (90u + 72u + 54u) * mixed.Stride());
    // Two nine-category items fill a group (10 * 10 patterns); a third
    // starts the next, which two right/wrong items join (10 * 3 * 3).
    const Item nine = Partial(1, {-1.4, -0.9, -0.3, 0.0, 0.4, 0.8, 1.2, 1.7});
    const std::vector<Item> largeItems = {nine, nine, nine, Binary(1, 0), Binary(1, 0)};
    EmTables large(largeItems, q.Points());
    EXPECT_EQ(large.Groups(), 2u);
    EXPECT_EQ(large.RowTableSize(), (100u + 90u) * large.Stride());

    // Patterns: each item's digit by its place, missing as its categories.
    const std::vector<std::uint8_t> row = {1, 9, 8, 4, 2, 0, 1, 5, 3};
    std::vector<std::uint8_t> patterns(mixed.Groups());
    mixed.PatternsOf(row, patterns.data());
    EXPECT_EQ(patterns[0], 1 + 2 * 3 + 8 * 9);
    EXPECT_EQ(patterns[1], 4 + 2 * 6 + 0 * 24);
    EXPECT_EQ(patterns[2], 1 + 5 * 3 + 2 * 18) << "code 3 above a right/wrong item's scores";
}

// Item after item with the library's exponential: the plain form the
// vector kernels must agree with.
double PlainCounts(const std::vector<Item>& items, std::span<const std::uint8_t> codes,
                   std::size_t persons, const mml::Quadrature& q,
                   std::vector<std::vector<double>>& expected) {
    const int points = q.Points();
    expected.assign(items.size(), {});
    for (std::size_t i = 0; i < items.size(); ++i) {
        expected[i].assign(static_cast<std::size_t>(items[i].categories * points), 0.0);
    }
    double logLikelihood = 0;
    std::array<double, kMostCategories> p{};
    std::vector<double> w(static_cast<std::size_t>(points));
    for (std::size_t j = 0; j < persons; ++j) {
        for (int k = 0; k < points; ++k) w[k] = q.logWeight[k];
        for (std::size_t i = 0; i < items.size(); ++i) {
            const int code = codes[j * items.size() + i];
            if (code >= items[i].categories) continue;
            for (int k = 0; k < points; ++k) {
                CategoryProbabilities(items[i], q.theta[k], p);
                w[k] += LogProbability(p[code]);
            }
        }
        double top = w[0];
        for (double x : w) top = std::max(top, x);
        double sum = 0;
        for (double& x : w) sum += (x = std::exp(x - top));
        logLikelihood += top + std::log(sum);
        for (std::size_t i = 0; i < items.size(); ++i) {
            const int code = codes[j * items.size() + i];
            if (code >= items[i].categories) continue;
            for (int k = 0; k < points; ++k) expected[i][code * points + k] += w[k] / sum;
        }
    }
    return logLikelihood;
}

TEST(PolytomousEStep, CountsAgreeWithTheItemByItemPosterior) {
    const std::vector<Item> items = MixedItems();
    const std::size_t persons = 300;
    const std::vector<std::uint8_t> codes = RandomCodes(items, persons, 3);
    const mml::Quadrature q = mml::NormalQuadrature(41, 6);
    EmTables tables(items, q.Points());
    const double logLikelihood = EStep(items, {codes, persons, items.size()}, q, tables);
    std::vector<std::vector<double>> plain;
    const double plainLogLikelihood = PlainCounts(items, codes, persons, q, plain);
    EXPECT_NEAR(logLikelihood, plainLogLikelihood, 1e-9 * std::abs(plainLogLikelihood));
    for (std::size_t i = 0; i < items.size(); ++i) {
        const std::span<const double> counts = tables.Expected(i);
        ASSERT_EQ(counts.size(), plain[i].size());
        for (std::size_t x = 0; x < counts.size(); ++x) {
            // Only the negligible weights (below e^-40 of the largest) are
            // left out.
            EXPECT_NEAR(counts[x], plain[i][x], 1e-12) << "item " << i << " entry " << x;
        }
    }
}

TEST(PolytomousEStep, SameBitsOnEveryVectorUnitAndThreadCount) {
    const std::vector<Item> items = MixedItems();
    const std::size_t persons = 1500;  // several blocks and a part batch
    const std::vector<std::uint8_t> codes = RandomCodes(items, persons, 11);
    const Responses responses{codes, persons, items.size()};
    const mml::Quadrature q = mml::NormalQuadrature(29, 6);  // a part block of lanes
    struct Way {
        VectorUnit unit;
        unsigned threads;
    };
    std::vector<double> firstCounts, firstTheta, firstSe;
    double firstLogLikelihood = 0;
    bool first = true;
    for (const Way way : {Way{VectorUnit::Portable, 1}, Way{VectorUnit::Avx2, 2},
                          Way{VectorUnit::Avx512, 3}, Way{VectorUnit::Portable, 3}}) {
        WorkerPool pool(way.threads);
        EmTables tables(items, q.Points(), way.unit);
        const double logLikelihood = EStep(items, responses, q, tables, pool);
        std::vector<double> counts;
        for (std::size_t i = 0; i < items.size(); ++i) {
            const auto e = tables.Expected(i);
            counts.insert(counts.end(), e.begin(), e.end());
        }
        std::vector<double> theta(persons), se(persons);
        ScoreExpected(items, responses, q, tables, pool, theta, se);
        const std::string name =
            std::string(tables.Kernels().name) + ", " + std::to_string(way.threads) + " threads";
        if (first) {
            firstCounts = counts;
            firstTheta = theta;
            firstSe = se;
            firstLogLikelihood = logLikelihood;
            first = false;
            continue;
        }
        EXPECT_EQ(logLikelihood, firstLogLikelihood) << name;
        EXPECT_EQ(counts, firstCounts) << name;
        EXPECT_EQ(theta, firstTheta) << name;
        EXPECT_EQ(se, firstSe) << name;
    }
}

// Right/wrong items alone take the right/wrong estimator's curves, groups,
// patterns and kernels: at the same items its E-step's counts and
// log-likelihood come out bit for bit.
TEST(PolytomousEStep, RightWrongItemsGiveTheRightWrongEStepsBits) {
    std::vector<Item> items;
    for (int i = 0; i < 11; ++i) {
        items.push_back(Binary(0.6 + 0.1 * i, -1.0 + 0.2 * i, i % 3 == 0 ? 0.2 : 0.0));
    }
    const std::size_t persons = 900;
    const std::vector<std::uint8_t> codes = RandomCodes(items, persons, 5);
    const mml::Quadrature q = mml::NormalQuadrature(41, 6);
    std::vector<double> a, b, c;
    for (const Item& item : items) {
        a.push_back(item.a);
        b.push_back(item.b[0]);
        c.push_back(item.c);
    }
    mml::LogCurveTables curves;
    curves.Fill(a, b, c, q);

    WorkerPool pool(2);
    const mml::ResponseView view{codes.data(), persons, items.size()};
    mml::PatternPosteriors posteriors(view, q.Points(), MarginalKernelsFor(VectorUnit::Best));
    posteriors.Fill(curves, q);
    mml::EStep rightWrong(posteriors, pool.Threads());
    mml::ExpectedCounts counts;
    rightWrong.Run(pool, counts);

    // The table engine's E-step at the same items: category 0 wrong, 1 right.
    EmTables tables(items, q.Points());
    const std::size_t points = static_cast<std::size_t>(q.Points());
    const double logLikelihood = EStep(items, {codes, persons, items.size()}, q, tables, pool);
    EXPECT_EQ(logLikelihood, counts.logLikelihood);
    for (std::size_t i = 0; i < items.size(); ++i) {
        const std::span<const double> expected = tables.Expected(i);
        for (std::size_t k = 0; k < points; ++k) {
            ASSERT_EQ(expected[k], counts.wrong[i * points + k]) << "item " << i << " point " << k;
            ASSERT_EQ(expected[points + k], counts.correct[i * points + k])
                << "item " << i << " point " << k;
        }
    }
}

}  // namespace
}  // namespace tarvo::poly
