#include "irt/category_curves.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <vector>

#include "irt/item_curve.h"
#include "irt/rating_scale_curves.h"

namespace tarvo {
namespace {

using Probabilities = void (*)(double, double, std::span<const double>, std::span<double>);

struct Case {
    const char* name;
    Probabilities probabilities;
    double a;
    std::vector<double> b;
};

std::vector<double> At(const Case& c, double theta, double a, const std::vector<double>& b) {
    std::vector<double> p(b.size() + 1);
    c.probabilities(theta, a, b, p);
    return p;
}

std::vector<double> Derivatives(const Case& c, double theta) {
    const std::size_t width = c.b.size() + 1;
    std::vector<double> d(width * width);
    if (c.probabilities == GrmProbabilities) {
        GrmDerivatives(theta, c.a, c.b, d);
    } else {
        const std::vector<double> p = At(c, theta, c.a, c.b);
        GpcmDerivatives(theta, c.a, c.b, p, d);
    }
    return d;
}

// Ordered and disordered steps, a negative slope (a reverse-keyed item,
// whose GRM thresholds then fall), two and five categories.
const std::vector<Case> kCases = {
    {"grm", GrmProbabilities, 1.2, {-1.0, 0.3, 1.4}},
    {"grm reversed", GrmProbabilities, -0.8, {1.0, -0.5}},
    {"grm two categories", GrmProbabilities, 0.7, {0.2}},
    {"gpcm", GpcmProbabilities, 0.9, {-0.4, 0.8, 0.1, 1.9}},
    {"gpcm negative slope", GpcmProbabilities, -1.1, {0.5, -0.3}},
};

TEST(CategoryCurves, ProbabilitiesArePositiveAndSumToOne) {
    for (const Case& c : kCases) {
        for (double theta = -6; theta <= 6; theta += 0.75) {
            const std::vector<double> p = At(c, theta, c.a, c.b);
            double sum = 0;
            for (double pk : p) {
                EXPECT_GE(pk, 0) << c.name;
                sum += pk;
            }
            EXPECT_NEAR(sum, 1, 1e-14) << c.name << " theta " << theta;
        }
    }
}

TEST(CategoryCurves, DerivativesMatchCentralDifferences) {
    const double h = 1e-6;
    for (const Case& c : kCases) {
        const std::size_t width = c.b.size() + 1;
        for (double theta : {-2.5, -0.3, 0.0, 1.1, 3.0}) {
            const std::vector<double> d = Derivatives(c, theta);
            for (std::size_t u = 0; u < width; ++u) {
                double aUp = c.a, aDown = c.a;
                std::vector<double> bUp = c.b, bDown = c.b;
                if (u == 0) {
                    aUp += h;
                    aDown -= h;
                } else {
                    bUp[u - 1] += h;
                    bDown[u - 1] -= h;
                }
                const std::vector<double> up = At(c, theta, aUp, bUp);
                const std::vector<double> down = At(c, theta, aDown, bDown);
                for (std::size_t k = 0; k < width; ++k) {
                    EXPECT_NEAR(d[k * width + u], (up[k] - down[k]) / (2 * h), 1e-8)
                        << c.name << " theta " << theta << " category " << k << " parameter " << u;
                }
            }
        }
    }
}

TEST(CategoryCurves, TwoCategoryModelsAreTheTwoParameterLogistic) {
    const double a = 1.3, b = 0.4;
    for (double theta : {-2.0, 0.4, 1.5}) {
        const double p2pl = 1 / (1 + std::exp(-1.7 * a * (theta - b)));
        std::vector<double> grm(2), gpcm(2);
        GrmProbabilities(theta, a, std::vector<double>{b}, grm);
        GpcmProbabilities(theta, a, std::vector<double>{b}, gpcm);
        EXPECT_NEAR(grm[1], p2pl, 1e-15);
        EXPECT_NEAR(gpcm[1], p2pl, 1e-15);
    }
}

TEST(CategoryCurves, GpcmStepIsWhereAdjacentCategoriesMeet) {
    const std::vector<double> b = {-0.7, 1.2};
    std::vector<double> p(3);
    GpcmProbabilities(b[1], 1.4, b, p);
    EXPECT_NEAR(p[1], p[2], 1e-15);
}

// The 3PL curves of many items at once are CurveAt's, bit for bit, on both
// sides of b, at b itself, far out in the tails and with c = 0.
TEST(ItemCurves, ManyItemsAtOnceAreEachItemsCurveBitForBit) {
    std::vector<double> a, b, c;
    for (int i = 0; i < 37; ++i) {
        a.push_back(0.2 + 0.11 * i);
        b.push_back(-3 + 0.17 * i);
        c.push_back(i % 3 == 0 ? 0 : 0.01 * i);
    }
    std::vector<double> p(a.size()), q(a.size());
    for (const double theta : {-40.0, -2.5, -0.0, 0.0, 0.3, 1.49, 8.0, 60.0}) {
        CurvesAt(theta, a, b, c, p, q);
        for (std::size_t i = 0; i < a.size(); ++i) {
            const Curve one = CurveAt(theta, a[i], b[i], c[i]);
            EXPECT_EQ(std::bit_cast<std::uint64_t>(p[i]), std::bit_cast<std::uint64_t>(one.p))
                << theta << " item " << i;
            EXPECT_EQ(std::bit_cast<std::uint64_t>(q[i]), std::bit_cast<std::uint64_t>(one.q))
                << theta << " item " << i;
        }
    }
    CurvesAt(b[5], a, b, c, p, q);  // z = 0 exactly
    EXPECT_EQ(p[5], CurveAt(b[5], a[5], b[5], c[5]).p);
}

}  // namespace
}  // namespace tarvo

namespace tarvo {
namespace {

// The rating scale curves are the partial credit curves at location +
// steps; their derivatives by the location and by each step match central
// differences.
TEST(CategoryCurves, RatingScaleCurvesAreShiftedPartialCreditCurves) {
    const double a = 0.8, location = 0.4;
    const std::vector<double> steps = {-1.1, 0.2, 0.9};
    const auto at = [&](double theta, double l, const std::vector<double>& s) {
        std::vector<double> p(s.size() + 1);
        RsmProbabilities(theta, a, l, s, p);
        return p;
    };
    const double h = 1e-6;
    for (double theta : {-2.0, 0.1, 1.7}) {
        const std::vector<double> p = at(theta, location, steps);
        std::vector<double> b(steps.size()), q(p.size());
        for (std::size_t k = 0; k < steps.size(); ++k) b[k] = location + steps[k];
        GpcmProbabilities(theta, a, b, q);
        for (std::size_t k = 0; k < p.size(); ++k) EXPECT_NEAR(p[k], q[k], 1e-15);
        const std::size_t width = steps.size() + 2;
        std::vector<double> d(p.size() * width);
        RsmDerivatives(theta, a, location, steps, p, d);
        for (std::size_t u = 1; u < width; ++u) {
            std::vector<double> up = steps, down = steps;
            double lUp = location, lDown = location;
            if (u == 1) {
                lUp += h;
                lDown -= h;
            } else {
                up[u - 2] += h;
                down[u - 2] -= h;
            }
            const std::vector<double> pu = at(theta, lUp, up), pd = at(theta, lDown, down);
            for (std::size_t k = 0; k < p.size(); ++k) {
                EXPECT_NEAR(d[k * width + u], (pu[k] - pd[k]) / (2 * h), 1e-8)
                    << "theta " << theta << " column " << u << " category " << k;
            }
        }
    }
}

}  // namespace
}  // namespace tarvo
