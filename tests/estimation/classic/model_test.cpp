#include "estimation/classic/model.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

namespace tarvo {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

TEST(ProbCorrectTest, ValuesAndBounds) {
    struct Case {
        double theta, a, b, c, expected;
    };
    const Case cases[] = {
        // At theta = b the curve is halfway between c and 1.
        {0.7, 1.3, 0.7, 0, 0.5},
        {-1.2, 0.4, -1.2, 0.25, 0.625},
        // a = 0 flattens the curve to the same point at every theta.
        {-40, 0, 2, 0, 0.5},
        {40, 0, 2, 0.5, 0.75},
        // Far above b: the upper bound, 0.999 in single precision.
        {50, 2, 0, 0, 0.9990000128746033},
        {1000, 2, 0, 0.2, 0.9990000128746033},
        // Far below b: the lower bound with c = 0, exactly c above it.
        {-50, 2, 0, 0, 0.0010000000474974513},
        {-1000, 2, 0, 0.2, 0.2},
        // Any NaN ends at the upper bound.
        {kNaN, 1, 0, 0, 0.9990000128746033},
        {0, 1, 0, kNaN, 0.9990000128746033},
        {kInf, 0, 0, 0, 0.9990000128746033},
    };
    for (const Case& t : cases) {
        EXPECT_EQ(ProbCorrect(t.theta, t.a, t.b, t.c), t.expected)
            << "theta " << t.theta << " a " << t.a << " b " << t.b << " c " << t.c;
    }
}

TEST(ProbCorrectTest, FollowsTheLogisticCurveInside) {
    EXPECT_DOUBLE_EQ(ProbCorrect(1, 1, 0, 0), 1 / (1 + std::exp(-1.7)));
    EXPECT_DOUBLE_EQ(ProbCorrect(0, 1.5, 1, 0.2), 0.2 + 0.8 / (1 + std::exp(1.7 * 1.5)));
}

TEST(ItemFitMSETest, CountsAndMeans) {
    // At theta = b = 0 with a = 1 and c = 0, P = 0.5, so every valid residual
    // squared is 0.25.
    const std::vector<double> theta(12, 0.0);
    struct Case {
        std::vector<std::uint8_t> codes;
        double expected;
        std::int32_t nobs;
    };
    const Case cases[] = {
        {{1, 0, 1, 0, 1, 0, 1, 0, 1, 9, 9, 9}, -1, 9},
        {{1, 0, 1, 0, 1, 0, 1, 0, 1, 0, 9, 9}, 0.25, 10},
        {{9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9}, -1, 0},
        {{1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1}, 0.25, 12},
    };
    for (const Case& t : cases) {
        std::int32_t nobs = -7;
        EXPECT_EQ(ItemFitMSE(t.codes, theta, 1, 0, 0, nobs), t.expected);
        EXPECT_EQ(nobs, t.nobs);
    }
}

TEST(ItemFitMSETest, MeanOfSquaredResidualsOverValidCodes) {
    const std::vector<double> theta = {-2, -1, -0.5, 0, 0.5, 1, 1.5, 2, 2.5, 3, 0};
    const std::vector<std::uint8_t> codes = {0, 1, 0, 1, 1, 0, 1, 1, 1, 1, 9};
    double sum = 0;
    for (std::size_t j = 0; j < 10; ++j) {
        const double r = codes[j] - ProbCorrect(theta[j], 1.2, 0.3, 0.15);
        sum += r * r;
    }
    std::int32_t nobs = 0;
    EXPECT_DOUBLE_EQ(ItemFitMSE(codes, theta, 1.2, 0.3, 0.15, nobs), sum / 10);
    EXPECT_EQ(nobs, 10);
}

TEST(ItemFitMSETest, NoExamineesLeavesNobs) {
    std::int32_t nobs = 42;
    EXPECT_EQ(ItemFitMSE({}, {}, 1, 0, 0, nobs), -1);
    EXPECT_EQ(nobs, 42);
}

}  // namespace
}  // namespace tarvo
