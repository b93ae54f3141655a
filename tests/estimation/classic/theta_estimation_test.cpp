#include "estimation/classic/theta_estimation.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "estimation/classic/model.h"
#include "simulator.h"

namespace tarvo {
namespace {

// Item parameters as the parallel columns EstimateTheta takes.
struct ItemColumns {
    std::vector<double> a, b, c;

    explicit ItemColumns(const std::vector<sim::SimulatedItem>& items) {
        for (const sim::SimulatedItem& item : items) {
            a.push_back(item.a);
            b.push_back(item.b);
            c.push_back(item.c);
        }
    }
    ItemColumns(std::size_t count, double a0, double b0, double c0)
        : a(count, a0), b(count, b0), c(count, c0) {}
};

struct ThetaResult {
    double theta;
    double seetheta;
    std::int32_t nvalid;
};

ThetaResult Estimate(const ItemColumns& items, const std::vector<std::uint8_t>& row,
                     double start = 0) {
    ThetaResult r{start, -5, -5};
    EstimateTheta(r.theta, items.a, items.b, items.c, row, r.seetheta, r.nvalid);
    return r;
}

// Information about theta at theta, summed over the valid codes.
double Information(const ItemColumns& items, const std::vector<std::uint8_t>& row, double theta) {
    double info = 0;
    for (std::size_t i = 0; i < row.size(); ++i) {
        if (row[i] == 9) continue;
        const double p = ProbCorrect(theta, items.a[i], items.b[i], items.c[i]);
        const double w = kD * items.a[i] * (1 - p) * (p - items.c[i]) / (1 - items.c[i]);
        info += w * w / (p * (1 - p));
    }
    return info;
}

TEST(EstimateThetaTest, ExtremePatternsEndAtTheBounds) {
    const ItemColumns items(6, 1.1, 0.2, 0.15);
    struct Case {
        std::vector<std::uint8_t> row;
        double start, theta;
        std::int32_t nvalid;
    };
    const Case cases[] = {
        {{1, 1, 9, 1, 1, 1}, 0, 3, 5},
        {{0, 0, 0, 9, 9, 0}, 0, -3, 4},
        {{1, 1, 1, 1, 1, 1}, -3, 3, 6},
        {{0, 0, 0, 0, 0, 0}, 3, -3, 6},
    };
    for (const Case& t : cases) {
        const ThetaResult r = Estimate(items, t.row, t.start);
        EXPECT_EQ(r.theta, t.theta) << "start " << t.start;
        EXPECT_EQ(r.nvalid, t.nvalid) << "start " << t.start;
        EXPECT_GT(r.seetheta, 0);
        EXPECT_LE(r.seetheta, 99);
    }
}

TEST(EstimateThetaTest, NoValidCodeEndsAtTheUpperBoundWithTheCappedError) {
    // The step is 0/0, which the upper test turns into 3; 1 / sqrt(0) is
    // infinite and becomes 99.
    const ItemColumns items(4, 1, 0, 0);
    for (const double start : {0.0, -2.0}) {
        const ThetaResult r = Estimate(items, {9, 9, 9, 9}, start);
        EXPECT_EQ(r.theta, 3);
        EXPECT_EQ(r.seetheta, 99);
        EXPECT_EQ(r.nvalid, 0);
    }
}

TEST(EstimateThetaTest, StartAtTheUpperBoundStopsAfterOnePass) {
    // The one pass is evaluated at 3, so the error comes from the information
    // there; a second pass would not change it, but a climb from below would.
    const ItemColumns items(5, 0.9, -0.5, 0.2);
    const std::vector<std::uint8_t> row = {1, 1, 1, 1, 1};
    const ThetaResult fromTop = Estimate(items, row, 3);
    EXPECT_EQ(fromTop.theta, 3);
    EXPECT_DOUBLE_EQ(fromTop.seetheta, 1 / std::sqrt(Information(items, row, 3)));

    // Climbing from 0, the last pass starts below 3 and its information
    // differs.
    const ThetaResult fromZero = Estimate(items, row, 0);
    EXPECT_EQ(fromZero.theta, 3);
    EXPECT_NE(fromZero.seetheta, fromTop.seetheta);
}

// Log-likelihood of one examinee without the probability bounds.
double LogLikelihood(const ItemColumns& items, const std::vector<std::uint8_t>& row, double theta) {
    double sum = 0;
    for (std::size_t i = 0; i < row.size(); ++i) {
        if (row[i] == 9) continue;
        const sim::SimulatedItem item{items.a[i], items.b[i], items.c[i]};
        const double p = sim::ProbabilityCorrect(theta, item);
        sum += row[i] == 1 ? std::log(p) : std::log(1 - p);
    }
    return sum;
}

// Whether no valid item's probability at theta reaches the bounds of
// ProbCorrect; the scoring steps match the unbounded likelihood only then.
bool InsideProbabilityBounds(const ItemColumns& items, const std::vector<std::uint8_t>& row,
                             double theta) {
    for (std::size_t i = 0; i < row.size(); ++i) {
        if (row[i] == 9) continue;
        const double p = sim::ProbabilityCorrect(theta, {items.a[i], items.b[i], items.c[i]});
        if (!(p > kProbLower && p < kProbUpper)) return false;
    }
    return true;
}

// Global maximum on [-3, 3]: a grid of step 0.01, then golden-section search
// around the best grid point.
double BruteForceTheta(const ItemColumns& items, const std::vector<std::uint8_t>& row) {
    double best = -3;
    for (int k = -300; k <= 300; ++k) {
        if (LogLikelihood(items, row, k / 100.0) > LogLikelihood(items, row, best)) {
            best = k / 100.0;
        }
    }
    const double ratio = (std::sqrt(5.0) - 1) / 2;
    double low = best - 0.01, high = best + 0.01;
    while (high - low > 1e-9) {
        const double x1 = high - ratio * (high - low);
        const double x2 = low + ratio * (high - low);
        if (LogLikelihood(items, row, x1) < LogLikelihood(items, row, x2)) {
            low = x1;
        } else {
            high = x2;
        }
    }
    return (low + high) / 2;
}

// Thirty items with a in [0.6, 1.2] and b in [-1.5, 1.5], so that for
// abilities within +-1.8 no probability reaches a bound of ProbCorrect.
std::vector<sim::SimulatedItem> ModerateItems(sim::ItemModel model) {
    std::vector<sim::SimulatedItem> items(30);
    for (int k = 0; k < 30; ++k) {
        items[k].b = -1.5 + 3.0 * k / 29;
        if (model == sim::ItemModel::ThreePL) {
            items[k].a = 0.6 + 0.6 * ((7 * k) % 30) / 29;
            items[k].c = 0.1 + 0.15 * ((11 * k) % 30) / 29;
        }
    }
    return items;
}

TEST(EstimateThetaTest, MatchesTheBruteForceMaximum) {
    const std::vector<double> trueTheta = {-1.6, -0.8, -0.2, 0.4, 1.1, 1.7};
    for (const sim::ItemModel model : {sim::ItemModel::ThreePL, sim::ItemModel::OnePL}) {
        const std::vector<sim::SimulatedItem> simulated = ModerateItems(model);
        const ItemColumns items(simulated);
        sim::Random random(2024);
        const std::vector<std::uint8_t> codes =
            sim::DrawResponses(random, trueTheta, simulated, 0.1);
        for (std::size_t j = 0; j < trueTheta.size(); ++j) {
            const std::vector<std::uint8_t> row(codes.begin() + j * 30,
                                                codes.begin() + (j + 1) * 30);
            const double expected = BruteForceTheta(items, row);
            ASSERT_TRUE(InsideProbabilityBounds(items, row, expected)) << "examinee " << j;
            const ThetaResult r = Estimate(items, row);
            // Converged to 1e-5 in theta; the two agree to about 1e-6.
            EXPECT_NEAR(r.theta, expected, 1e-4) << "examinee " << j;
        }
    }
}

TEST(EstimateThetaTest, ErrorComesFromTheInformationAtTheEstimate) {
    const std::vector<sim::SimulatedItem> simulated = ModerateItems(sim::ItemModel::ThreePL);
    const ItemColumns items(simulated);
    sim::Random random(7);
    const std::vector<double> ability = {0.3};
    const std::vector<std::uint8_t> row = sim::DrawResponses(random, ability, simulated);
    const ThetaResult r = Estimate(items, row);
    ASSERT_GT(r.theta, -3);
    ASSERT_LT(r.theta, 3);
    // Converged to 1e-5, so the information of the last pass is within a
    // hair of the information at the estimate.
    EXPECT_NEAR(r.seetheta, 1 / std::sqrt(Information(items, row, r.theta)), 1e-6);
    EXPECT_EQ(r.nvalid, 30);
}

}  // namespace
}  // namespace tarvo
