#include "simulator.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

namespace tarvo::sim {
namespace {

TEST(SimulatorTest, SameSeedGivesTheSameData) {
    const SimulationSettings settings{.seed = 9, .personCount = 50, .itemCount = 7};
    const SimulatedData first = Simulate(settings);
    const SimulatedData second = Simulate(settings);
    EXPECT_EQ(first.theta, second.theta);
    EXPECT_EQ(first.responses, second.responses);
    EXPECT_NE(Simulate({.seed = 10, .personCount = 50, .itemCount = 7}).theta, first.theta);
}

TEST(SimulatorTest, NormalDrawsHaveUnitScale) {
    Random random(1);
    double sum = 0, squares = 0;
    const int n = 20000;
    for (int k = 0; k < n; ++k) {
        const double z = random.Normal();
        sum += z;
        squares += z * z;
    }
    EXPECT_NEAR(sum / n, 0, 0.03);
    EXPECT_NEAR(squares / n, 1, 0.03);
}

TEST(SimulatorTest, ItemsStayInTheirRanges) {
    Random random(2);
    for (const SimulatedItem& item : DrawItems(random, 500, ItemModel::ThreePL)) {
        EXPECT_GE(item.a, 0.4);
        EXPECT_LE(item.a, 2);
        EXPECT_GE(item.b, -2.5);
        EXPECT_LE(item.b, 2.5);
        EXPECT_GE(item.c, 0.1);
        EXPECT_LT(item.c, 0.25);
    }
    for (const SimulatedItem& item : DrawItems(random, 50, ItemModel::OnePL)) {
        EXPECT_EQ(item.a, 1);
        EXPECT_EQ(item.c, 0);
    }
}

TEST(SimulatorTest, ResponsesAreExamineeMajorCodes) {
    const SimulatedData data =
        Simulate({.seed = 3, .personCount = 400, .itemCount = 5, .missingFraction = 0.2});
    ASSERT_EQ(data.responses.size(), 2000u);
    const auto missing = std::count(data.responses.begin(), data.responses.end(), 9);
    EXPECT_NEAR(missing / 2000.0, 0.2, 0.03);
    EXPECT_TRUE(std::all_of(data.responses.begin(), data.responses.end(),
                            [](std::uint8_t u) { return u == 0 || u == 1 || u == 9; }));

    const std::vector<std::uint8_t> column = ItemColumn(data.responses, 5, 3);
    ASSERT_EQ(column.size(), 400u);
    for (std::size_t j = 0; j < 400; ++j) {
        EXPECT_EQ(column[j], ExamineeRow(data.responses, 5, j)[3]);
        EXPECT_EQ(column[j], data.responses[j * 5 + 3]);
    }
}

TEST(SimulatorTest, EasierItemsAreAnsweredMoreOften) {
    const std::vector<SimulatedItem> items = {{1, -1.5, 0.2}, {1, 1.5, 0.2}};
    Random random(4);
    const std::vector<double> theta(3000, 0.0);
    const std::vector<std::uint8_t> codes = DrawResponses(random, theta, items);
    double easy = 0, hard = 0;
    for (std::size_t j = 0; j < theta.size(); ++j) {
        easy += codes[2 * j];
        hard += codes[2 * j + 1];
    }
    EXPECT_NEAR(easy / 3000, ProbabilityCorrect(0, items[0]), 0.03);
    EXPECT_NEAR(hard / 3000, ProbabilityCorrect(0, items[1]), 0.03);
}

}  // namespace
}  // namespace tarvo::sim
