#include "estimation/classic/standardize.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace tarvo {
namespace {

TEST(StandardizeTheta, UsesOnlyAbilitiesInsideTheBoundsButRescalesAll) {
    std::vector<double> theta{-1, 0, 1, 3, -3};
    StandardizeTheta(theta);
    // Mean 0 and variance 2/3 (divisor n) over -1, 0, 1.
    const double sd = std::sqrt(2.0 / 3.0);
    EXPECT_DOUBLE_EQ(theta[0], -1 / sd);
    EXPECT_DOUBLE_EQ(theta[1], 0);
    EXPECT_DOUBLE_EQ(theta[3], 3 / sd);  // beyond 3 after rescaling
    EXPECT_DOUBLE_EQ(theta[4], -3 / sd);
}

TEST(StandardizeTheta, LeavesAbilitiesAloneWithoutSpread) {
    const std::vector<std::vector<double>> cases{
        {0.5, 3, -3},        // one ability inside: variance 0
        {3, -3, 3},          // none inside: mean and variance undefined
        {},                  // no examinee
        {0.25, 0.25, 0.25},  // all equal
    };
    for (auto theta : cases) {
        const auto before = theta;
        StandardizeTheta(theta);
        EXPECT_EQ(theta, before);
    }
}

}  // namespace
}  // namespace tarvo
