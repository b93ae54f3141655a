#include "fit/local_dependence.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "fit/residual_correlations.h"
#include "simulator.h"

namespace tarvo::fit {
namespace {

// Residual-like values with some missing, and the Pearson correlation of
// every pair over the rows where both are valid, computed pair by pair.
struct Residuals {
    std::size_t rows, items;
    std::vector<double> d;
    std::vector<std::uint8_t> valid;
};

Residuals Draw(std::size_t rows, std::size_t items, double missing, std::uint64_t seed) {
    sim::Random random(seed);
    Residuals r{rows, items, std::vector<double>(rows * items),
                std::vector<std::uint8_t>(rows * items)};
    for (std::size_t j = 0; j < rows; ++j) {
        const double shared = random.Normal();
        for (std::size_t i = 0; i < items; ++i) {
            const bool ok = random.Uniform() >= missing;
            r.valid[j * items + i] = ok;
            // Items 0 and 1 share part of their residual.
            const double own = random.Normal() + (i < 2 ? shared : 0);
            r.d[j * items + i] = ok ? own : 0.0;
        }
    }
    return r;
}

double Pairwise(const Residuals& r, std::size_t i, std::size_t k) {
    double n = 0, si = 0, sk = 0;
    for (std::size_t j = 0; j < r.rows; ++j) {
        if (!r.valid[j * r.items + i] || !r.valid[j * r.items + k]) continue;
        n += 1;
        si += r.d[j * r.items + i];
        sk += r.d[j * r.items + k];
    }
    const double mi = si / n, mk = sk / n;
    double cov = 0, vi = 0, vk = 0;
    for (std::size_t j = 0; j < r.rows; ++j) {
        if (!r.valid[j * r.items + i] || !r.valid[j * r.items + k]) continue;
        const double x = r.d[j * r.items + i] - mi, y = r.d[j * r.items + k] - mk;
        cov += x * y;
        vi += x * x;
        vk += y * y;
    }
    return cov / std::sqrt(vi * vk);
}

std::vector<double> Q3Of(const Residuals& r, std::size_t blockRows) {
    ResidualCorrelations correlations(r.items);
    for (std::size_t first = 0; first < r.rows; first += blockRows) {
        const std::size_t rows = std::min(blockRows, r.rows - first);
        correlations.AddRows(std::span<const double>(r.d).subspan(first * r.items),
                             std::span<const std::uint8_t>(r.valid).subspan(first * r.items), rows);
    }
    std::vector<double> q3(r.items * r.items);
    correlations.Correlations(q3);
    return q3;
}

TEST(ResidualCorrelations, EqualPairwisePearsonWithMissingInAnyBlocking) {
    // Item counts off the four-item step and past one column tile.
    for (const std::size_t items : {2u, 7u, 300u}) {
        for (const double missing : {0.0, 0.15}) {
            const Residuals r = Draw(items > 100 ? 120 : 300, items, missing, items + 11);
            for (const std::size_t block : {1u, 64u, 1000u}) {
                const std::vector<double> q3 = Q3Of(r, block);
                for (std::size_t i = 0; i < items; ++i) {
                    EXPECT_TRUE(std::isnan(q3[i * items + i]));
                    for (std::size_t k = i + 1; k<items; k += items> 100 ? 37 : 1) {
                        const double expected = Pairwise(r, i, k);
                        EXPECT_NEAR(q3[i * items + k], expected, 1e-12)
                            << items << " items, missing " << missing << ", pair " << i << "," << k;
                        EXPECT_EQ(q3[i * items + k], q3[k * items + i]);
                    }
                }
            }
        }
    }
}

TEST(ResidualCorrelations, PairsWithoutSpreadOrCommonExamineesAreUndefined) {
    // Item 2 never answered together with item 0; item 1 constant.
    Residuals r{4,
                3,
                {0.5, 0.1, 0, -0.5, 0.1, 0, 0, 0.1, 0.3, 0, 0.1, -0.3},
                {1, 1, 0, 1, 1, 0, 0, 1, 1, 0, 1, 1}};
    const std::vector<double> q3 = Q3Of(r, 64);
    EXPECT_TRUE(std::isnan(q3[0 * 3 + 2]));  // no examinee answered both
    EXPECT_TRUE(std::isnan(q3[0 * 3 + 1]));  // item 1 does not vary

    // Exactly two examinees answered both items of a pair: two points lie on
    // a line, so Q3 is +1 or -1 (the others' residuals left out).
    Residuals two{4,
                  3,
                  {0.5, 0.2, -0.4, -0.5, 0.6, 0.3, 0.9, 0, 0, 0, 0.4, 0},
                  {1, 1, 1, 1, 1, 1, 1, 0, 0, 0, 1, 0}};
    const std::vector<double> pairs = Q3Of(two, 64);
    EXPECT_NEAR(pairs[0 * 3 + 1], -1, 1e-12);  // examinees 0 and 1 only
    EXPECT_NEAR(pairs[0 * 3 + 2], -1, 1e-12);  // examinees 0 and 1 only
    EXPECT_NEAR(pairs[1 * 3 + 2], 1, 1e-12);   // examinees 0 and 1 only
}

TEST(LocalDependence, FlagsPairsAboveTheAverageByMoreThanTheMargin) {
    // Four items: pairs (0,1) 0.35, (2,3) 0.10, the rest -0.1; one undefined.
    const std::size_t items = 4;
    std::vector<double> q3(16, -0.1);
    q3[0 * 4 + 1] = q3[1 * 4 + 0] = 0.35;
    q3[2 * 4 + 3] = q3[3 * 4 + 2] = 0.10;
    q3[1 * 4 + 3] = q3[3 * 4 + 1] = NAN;
    for (std::size_t i = 0; i < items; ++i) q3[i * 4 + i] = NAN;
    const LocalDependence out = DescribeLocalDependence(q3, items);
    EXPECT_EQ(out.definedPairs, 5u);
    EXPECT_NEAR(out.averageQ3, (0.35 + 0.10 - 0.3) / 5, 1e-15);
    EXPECT_NEAR(out.flagAbove, out.averageQ3 + kQ3AboveAverage, 1e-15);
    ASSERT_EQ(out.flagged.size(), 1u);
    EXPECT_EQ(out.flagged[0].first, 0u);
    EXPECT_EQ(out.flagged[0].second, 1u);
    ASSERT_EQ(out.largest.size(), 5u);
    EXPECT_EQ(out.largest[0].q3, 0.35);
    EXPECT_EQ(out.largest[1].q3, 0.10);
    EXPECT_EQ(out.matrix.size(), 16u);
}

TEST(LocalDependence, LargeTestsKeepOnlyTheLargestPairs) {
    const std::size_t items = kQ3MatrixItems + 1;
    std::vector<double> q3(items * items);
    for (std::size_t i = 0; i < items; ++i)
        for (std::size_t k = 0; k < items; ++k)
            q3[i * items + k] = i == k ? NAN : -0.01 + 1e-6 * static_cast<double>(i + k);
    const LocalDependence out = DescribeLocalDependence(q3, items);
    EXPECT_TRUE(out.matrix.empty());
    ASSERT_EQ(out.largest.size(), kQ3LargestPairs);
    EXPECT_EQ(out.largest[0].first, items - 2);
    EXPECT_EQ(out.largest[0].second, items - 1);
    for (std::size_t k = 1; k < out.largest.size(); ++k)
        EXPECT_GE(out.largest[k - 1].q3, out.largest[k].q3);
    EXPECT_TRUE(out.flagged.empty());
}

}  // namespace
}  // namespace tarvo::fit
