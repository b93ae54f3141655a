// The model's constants live in one place for both arithmetics. This test is
// built against a copy of the engine compiled with another D and other
// probability bounds (see CMakeLists.txt); every estimate here must follow
// those values in the reference loops and in the fast kernels alike. A copy
// of a constant anywhere else in either arithmetic makes it fail.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "core/model_constants.h"
#include "estimation/classic/estimators.h"
#include "estimation/classic/model.h"
#include "estimation/kernels/fast_kernels.h"

namespace tarvo {
namespace {

// The values the copy is compiled with (TARVO_TEST_MODEL_D and the bounds).
static_assert(kD == 1.3);
static_assert(kScoreD == static_cast<double>(1.3f));
static_assert(kProbLower == static_cast<double>(0.05f));
static_assert(kProbUpper == static_cast<double>(0.9f));

struct ArithmeticCase {
    const char* name;
    Arithmetic arithmetic;
    VectorUnit unit;
};

std::vector<ArithmeticCase> Arithmetics() {
    std::vector<ArithmeticCase> cases{{"reference", Arithmetic::Reference, VectorUnit::Best}};
    for (const auto& [name, unit] :
         {std::pair{"portable", VectorUnit::Portable}, std::pair{"avx2", VectorUnit::Avx2},
          std::pair{"avx512", VectorUnit::Avx512}}) {
        if (KernelsFor(unit) != nullptr) cases.push_back({name, Arithmetic::Fast, unit});
    }
    return cases;
}

TEST(OtherModelConstants, ProbCorrectFollowsDAndTheBounds) {
    const double z = -kD * 0.8 * (0.5 - 0.2);
    EXPECT_DOUBLE_EQ(ProbCorrect(0.5, 0.8, 0.2, 0.1), 0.1 + 0.9 / (1 + std::exp(z)));
    EXPECT_EQ(ProbCorrect(-30, 1, 0, 0), kProbLower);
    EXPECT_EQ(ProbCorrect(30, 1, 0, 0), kProbUpper);
}

// With every item alike (a = 1, b = 0, c = 0) the likelihood equation of
// theta is P(theta) = r, the share correct: theta = ln(r / (1 - r)) / D.
TEST(OtherModelConstants, AbilityEstimatesFollowD) {
    constexpr std::size_t kItems = 20;
    const std::vector<double> a(kItems, 1.0), b(kItems, 0.0), c(kItems, 0.0);
    std::vector<std::uint8_t> row(kItems, kIncorrect);
    for (std::size_t i = 0; i < 14; ++i) row[i] = kCorrect;  // r = 0.7
    const double expected = std::log(0.7 / 0.3) / kD;

    for (const ArithmeticCase& t : Arithmetics()) {
        AbilityEstimator estimator(t.arithmetic, t.unit);
        estimator.UseItems(a, b, c);
        AbilityEstimator::Workspace workspace;
        double theta = 0, seetheta = 0;
        std::int32_t nvalid = 0;
        estimator.EstimateMany(1, row.data(), &theta, &seetheta, &nvalid, workspace);
        EXPECT_NEAR(theta, expected, 1e-4) << t.name;
    }
}

// With every examinee at theta 0 the likelihood equation of b is
// P(-b) = r: b = ln((1 - r) / r) / D.
TEST(OtherModelConstants, ItemEstimatesFollowD) {
    constexpr std::size_t kExaminees = 40;
    const std::vector<double> theta(kExaminees, 0.0);
    std::vector<std::uint8_t> column(kExaminees, kIncorrect);
    for (std::size_t j = 0; j < 10; ++j) column[j] = kCorrect;  // r = 0.25
    const double expected = std::log(0.75 / 0.25) / kD;
    constexpr int kOnePLItemsOnly = 8;

    for (const ArithmeticCase& t : Arithmetics()) {
        const ItemEstimator estimator(t.arithmetic, t.unit);
        ItemParameters p{1, 0, 0};
        ItemStandardErrors se{-1, -1, -1};
        estimator.Calibrate(se, column, theta, p, kOnePLItemsOnly);
        EXPECT_NEAR(p.b, expected, 1e-3) << t.name;
    }
}

// Examinees far below and far above the item: every probability sits on a
// bound, so the mean squared residual is the bound's.
TEST(OtherModelConstants, FitFollowsTheProbabilityBounds) {
    struct BoundCase {
        double theta;
        std::uint8_t code;
        double residual;
    };
    const BoundCase bounds[] = {{-40, kCorrect, 1 - kProbLower}, {40, kIncorrect, kProbUpper}};
    for (const BoundCase& bound : bounds) {
        // Nineteen examinees: two full groups of eight and a padded rest.
        const std::vector<double> theta(19, bound.theta);
        const std::vector<std::uint8_t> column(19, bound.code);
        for (const ArithmeticCase& t : Arithmetics()) {
            const ItemEstimator estimator(t.arithmetic, t.unit);
            std::int32_t nobs = 0;
            const double fit = estimator.Fit(column, theta, 1.2, 0.3, 0.02, nobs);
            EXPECT_EQ(nobs, 19) << t.name;
            EXPECT_DOUBLE_EQ(fit, bound.residual * bound.residual)
                << t.name << " at theta " << bound.theta;
        }
    }
}

}  // namespace
}  // namespace tarvo
