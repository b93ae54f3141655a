#include "irt/category_information.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "core/model_constants.h"
#include "irt/category_curves.h"

namespace tarvo {
namespace {

struct Item {
    const char* name;
    bool cumulative;
    double a;
    std::vector<double> b;
};

// Ordered and disordered steps, a reverse-keyed slope, two to five categories.
const std::vector<Item> kItems = {
    {"grm", true, 1.2, {-1.0, 0.3, 1.4}},
    {"grm reversed", true, -0.8, {1.0, -0.5}},
    {"grm two categories", true, 0.7, {0.2}},
    {"gpcm", false, 0.9, {-0.4, 0.8, 0.1, 1.9}},
    {"gpcm negative slope", false, -1.1, {0.5, -0.3}},
};

struct Point {
    std::vector<double> p, slopes;
};

Point At(const Item& item, double theta) {
    Point point{std::vector<double>(item.b.size() + 1), std::vector<double>(item.b.size() + 1)};
    CategoriesAt(item.cumulative, theta, item.a, item.b, point.p, point.slopes);
    return point;
}

TEST(CategoryInformation, SlopesMatchCentralDifferencesInTheta) {
    const double h = 1e-6;
    for (const Item& item : kItems) {
        for (double theta : {-3.0, -0.7, 0.0, 0.4, 2.2}) {
            const Point point = At(item, theta);
            const Point up = At(item, theta + h), down = At(item, theta - h);
            for (std::size_t k = 0; k < point.p.size(); ++k) {
                EXPECT_NEAR(point.slopes[k], (up.p[k] - down.p[k]) / (2 * h), 1e-8)
                    << item.name << " theta " << theta << " category " << k;
            }
        }
    }
}

// The information is the curvature of the log-likelihood in theta, which
// the expected second difference of log P_k shows without the slopes.
TEST(CategoryInformation, EqualsTheExpectedCurvatureOfTheLogLikelihood) {
    const double h = 1e-4;
    for (const Item& item : kItems) {
        for (double theta : {-2.0, 0.1, 1.5}) {
            const Point point = At(item, theta);
            const Point up = At(item, theta + h), down = At(item, theta - h);
            double curvature = 0;
            for (std::size_t k = 0; k < point.p.size(); ++k) {
                const double second =
                    (std::log(up.p[k]) - 2 * std::log(point.p[k]) + std::log(down.p[k])) / (h * h);
                curvature -= point.p[k] * second;
            }
            EXPECT_NEAR(CategoryInformation(point.p, point.slopes), curvature, 1e-5)
                << item.name << " theta " << theta;
        }
    }
}

TEST(CategoryInformation, KnownForms) {
    // Two categories: the 2PL's (D a)^2 P Q.
    const Item twoPl{"two", true, 0.7, {0.2}};
    const Point two = At(twoPl, 0.9);
    const double slope = kD * 0.7;
    EXPECT_NEAR(CategoryInformation(two.p, two.slopes), slope * slope * two.p[0] * two.p[1], 1e-15);
    // The GPCM's: (D a)^2 times the score's variance; the expected score
    // lies between 0 and m and rises with theta for a > 0.
    const Item& gpcm = kItems[3];
    const Point point = At(gpcm, 0.3);
    const double mean = ExpectedScore(point.p);
    double variance = 0;
    for (std::size_t k = 0; k < point.p.size(); ++k) {
        variance += point.p[k] * (static_cast<double>(k) - mean) * (static_cast<double>(k) - mean);
    }
    EXPECT_NEAR(CategoryInformation(point.p, point.slopes), kD * kD * gpcm.a * gpcm.a * variance,
                1e-13);
    EXPECT_LT(ExpectedScore(At(gpcm, -6).p), 0.01);
    EXPECT_GT(ExpectedScore(At(gpcm, 8).p), 3.99);
    EXPECT_LT(mean, ExpectedScore(At(gpcm, 0.31).p));
}

}  // namespace
}  // namespace tarvo
