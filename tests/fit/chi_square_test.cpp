#include "fit/chi_square.h"

#include <gtest/gtest.h>

#include <cmath>

namespace tarvo::fit {
namespace {

// Closed forms of the chi-square upper tail: for even df,
// Q = exp(-x/2) sum_{k < df/2} (x/2)^k / k!; for odd df, from
// Q(1) = erfc(sqrt(x/2)) by Q(s + 1, y) = Q(s, y) + y^s e^-y / Γ(s + 1).
double EvenTail(double x, int df) {
    const double y = x / 2;
    double term = 1, sum = 0;
    for (int k = 0; k < df / 2; ++k) {
        sum += term;
        term *= y / (k + 1);
    }
    return std::exp(-y) * sum;
}

double OddTail(double x, int df) {
    const double y = x / 2;
    double q = std::erfc(std::sqrt(y));
    for (double s = 0.5; s + 1 <= df / 2.0 + 0.25; s += 1) {
        q += std::exp(s * std::log(y) - y - std::lgamma(s + 1));
    }
    return q;
}

TEST(ChiSquare, UpperTailMatchesClosedFormsOverEveryRegion) {
    // Below and above x = s + 1 (series and continued fraction), small and
    // large df, and far out in the tail where only relative accuracy counts.
    const double statistics[] = {0.001, 0.5, 1, 3.84, 7.5, 20, 55.3, 150, 400};
    for (const int df : {1, 2, 3, 4, 5, 9, 10, 15, 30, 99, 100}) {
        for (const double x : statistics) {
            const double expected = df % 2 == 0 ? EvenTail(x, df) : OddTail(x, df);
            EXPECT_NEAR(ChiSquareUpperTail(x, df), expected, 1e-13 * expected + 1e-300)
                << "x " << x << " df " << df;
        }
    }
}

TEST(ChiSquare, KnownPercentagePoints) {
    // The 5% and 1% points of the usual tables.
    EXPECT_NEAR(ChiSquareUpperTail(3.841458820694124, 1), 0.05, 1e-14);
    EXPECT_NEAR(ChiSquareUpperTail(18.307038053275146, 10), 0.05, 1e-14);
    EXPECT_NEAR(ChiSquareUpperTail(37.56623478662507, 20), 0.01, 1e-14);
    // The regularized gamma itself at a non-integer order: Q(0.5, x) = erfc(sqrt x).
    EXPECT_NEAR(RegularizedUpperGamma(0.5, 2.25), std::erfc(1.5), 1e-16);
}

TEST(ChiSquare, EdgesAndArgumentsOutOfRange) {
    EXPECT_EQ(ChiSquareUpperTail(0, 3), 1);
    EXPECT_EQ(ChiSquareUpperTail(INFINITY, 3), 0);
    EXPECT_TRUE(std::isnan(ChiSquareUpperTail(-1, 3)));
    EXPECT_TRUE(std::isnan(ChiSquareUpperTail(NAN, 3)));
    EXPECT_TRUE(std::isnan(ChiSquareUpperTail(2, 0)));
    EXPECT_TRUE(std::isnan(ChiSquareUpperTail(2, -1)));
    EXPECT_TRUE(std::isnan(RegularizedUpperGamma(0, 1)));
    // Far in the tail the value stays positive and relatively accurate.
    const double far = ChiSquareUpperTail(1000, 1);
    EXPECT_GT(far, 0);
    EXPECT_NEAR(far / std::erfc(std::sqrt(500.0)), 1, 1e-12);
}

}  // namespace
}  // namespace tarvo::fit
