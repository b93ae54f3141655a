// The polytomous estimator's errors and scores against independent sums: the
// population's errors against a numeric Hessian, a rated item's last
// threshold against its weights over the covariance, the EAP and its SD by
// hand over the grid, and an item-models line with too few categories.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "core/model_constants.h"
#include "estimation/marginal/mml_quadrature.h"
#include "estimation/polytomous/inputs/item_models_file.h"
#include "estimation/polytomous/poly_em.h"
#include "estimation/polytomous/poly_estep.h"
#include "estimation/polytomous/poly_information.h"
#include "estimation/polytomous/poly_population.h"

namespace tarvo::poly {
namespace {

std::vector<std::uint8_t> Simulate(const std::vector<Item>& items, int persons, double mean,
                                   double sd, std::uint32_t seed) {
    std::mt19937 random(seed);
    std::normal_distribution<double> normal(mean, sd);
    std::uniform_real_distribution<double> uniform;
    std::vector<std::uint8_t> codes;
    std::vector<double> p(kMostCategories);
    for (int j = 0; j < persons; ++j) {
        const double theta = normal(random);
        for (const Item& item : items) {
            CategoryProbabilities(item, theta, p);
            double u = uniform(random);
            int k = 0;
            while (k + 1 < item.categories && u >= p[k]) u -= p[k++];
            codes.push_back(static_cast<std::uint8_t>(k));
        }
    }
    return codes;
}

Item Of(int categories, PolytomousModel model, double a, std::vector<double> b) {
    Item item = ItemOf(categories, RulesOf(MarginalModel::TwoPL), model);
    item.a = a;
    for (std::size_t k = 0; k < b.size(); ++k) item.b[k] = b[k];
    InterceptsFromThresholds(item);
    return item;
}

// The inverse of a small symmetric positive definite matrix by Gauss-Jordan.
std::vector<double> Inverse(std::vector<double> m, int n) {
    std::vector<double> inverse(static_cast<std::size_t>(n) * n, 0.0);
    for (int i = 0; i < n; ++i) inverse[i * n + i] = 1;
    for (int c = 0; c < n; ++c) {
        const double pivot = m[c * n + c];
        for (int k = 0; k < n; ++k) {
            m[c * n + k] /= pivot;
            inverse[c * n + k] /= pivot;
        }
        for (int r = 0; r < n; ++r) {
            if (r == c) continue;
            const double f = m[r * n + c];
            for (int k = 0; k < n; ++k) {
                m[r * n + k] -= f * m[c * n + k];
                inverse[r * n + k] -= f * inverse[c * n + k];
            }
        }
    }
    return inverse;
}

// Held items: the population's mean and SD errors are those of minus the
// inverse Hessian of the marginal log-likelihood in (mean, SD), by second
// differences, within 1%.
TEST(PolytomousErrors, PopulationErrorsEqualTheNumericHessians) {
    const std::vector<Item> held = {Of(4, PolytomousModel::Grm, 1.2, {-1.0, 0.2, 1.1}),
                                    Of(4, PolytomousModel::Gpcm, 1.0, {-0.6, 0.3, 0.8}),
                                    Of(3, PolytomousModel::Grm, 0.8, {-0.5, 0.9}),
                                    Of(2, PolytomousModel::Grm, 1.3, {-0.2})};
    const int persons = 800;
    const std::vector<std::uint8_t> codes = Simulate(held, persons, 0.4, 1.2, 5);
    const Responses responses{codes, static_cast<std::size_t>(persons), held.size()};
    const int points = 41;
    const double range = 6;
    PopulationEstimate population;
    population.estimated = true;
    population.mean = 0.4;
    population.sd = 1.2;
    mml::Quadrature quadrature = mml::NormalQuadrature(points, range, 0.4, 1.2);
    EmTables tables(held, quadrature.Points());
    EStep(held, responses, quadrature, tables);
    SetPopulationErrors(held, responses, quadrature, tables, population);

    const auto logLikelihood = [&](double mean, double sd) {
        const mml::Quadrature moved = mml::NormalQuadrature(points, range, mean, sd);
        EmTables own(held, moved.Points());
        return EStep(held, responses, moved, own);
    };
    const double h = 1e-3, m = population.mean, s = population.sd;
    const double mm =
        (logLikelihood(m + h, s) - 2 * logLikelihood(m, s) + logLikelihood(m - h, s)) / (h * h);
    const double ss =
        (logLikelihood(m, s + h) - 2 * logLikelihood(m, s) + logLikelihood(m, s - h)) / (h * h);
    const double ms = (logLikelihood(m + h, s + h) - logLikelihood(m + h, s - h) -
                       logLikelihood(m - h, s + h) + logLikelihood(m - h, s - h)) /
                      (4 * h * h);
    const std::vector<double> covariance = Inverse({-mm, -ms, -ms, -ss}, 2);
    EXPECT_NEAR(population.seMean, std::sqrt(covariance[0]), 0.01 * std::sqrt(covariance[0]));
    EXPECT_NEAR(population.seSd, std::sqrt(covariance[3]), 0.01 * std::sqrt(covariance[3]));
}

// A rated item's intercepts are its location plus the scale's free steps,
// the last one its location minus their sum, and b_k = -d_k / (D a) with
// the common slope a: each threshold's error is sqrt(g' S g), g its
// gradient by the location, the steps and the slope, S the inverse of the
// information.
TEST(PolytomousErrors, RatedThresholdErrorsAreTheirGradientsOverTheCovariance) {
    Item first = Of(4, PolytomousModel::Rsm, 0.9, {-0.9, 0.1, 0.8});
    Item second = Of(4, PolytomousModel::Rsm, 0.9, {-0.4, 0.6, 1.3});
    const std::vector<Item> truth = {first, second, Of(3, PolytomousModel::Gpcm, 1.1, {-0.3, 0.5})};
    const int persons = 500;
    const std::vector<std::uint8_t> codes = Simulate(truth, persons, 0, 1, 17);
    const Responses responses{codes, static_cast<std::size_t>(persons), truth.size()};
    const mml::Quadrature quadrature = mml::NormalQuadrature(31, 6);
    const std::vector<char> estimated(truth.size(), 1);
    EmTables tables(truth, quadrature.Points());
    WorkerPool pool(1);
    const auto goOn = [] { return true; };
    const Priors priors{};

    const int n = FreeParameterCount(truth, estimated);
    const std::vector<double> information =
        ObservedInformation(truth, estimated, responses, priors, quadrature, tables, pool, goOn);
    ASSERT_EQ(information.size(), static_cast<std::size_t>(n) * n);
    const std::vector<double> covariance = Inverse(information, n);
    std::vector<Item> items = truth;
    ASSERT_TRUE(
        SetStandardErrors(items, estimated, responses, priors, quadrature, tables, pool, goOn));

    // The parameters: each item's own (a rated item's location, the GPCM's
    // slope and two intercepts), the common slope, then the scale's two
    // free steps.
    const int location[] = {0, FreeCount(truth[0])};
    const int slope = n - 3, firstStep = n - 2;
    for (int i = 0; i < 2; ++i) {
        const Item& item = truth[static_cast<std::size_t>(i)];
        const int at[] = {location[i], firstStep, firstStep + 1, slope};
        const double byD = -1 / (kD * item.a);
        for (int k = 0; k < 3; ++k) {
            const double g[] = {byD, k == 2 ? -byD : (k == 0 ? byD : 0),
                                k == 2 ? -byD : (k == 1 ? byD : 0),
                                item.d[static_cast<std::size_t>(k)] / (kD * item.a * item.a)};
            double variance = 0;
            for (int u = 0; u < 4; ++u) {
                for (int v = 0; v < 4; ++v) variance += g[u] * g[v] * covariance[at[u] * n + at[v]];
            }
            EXPECT_NEAR(items[static_cast<std::size_t>(i)].seB[static_cast<std::size_t>(k)],
                        std::sqrt(variance), 1e-9 * std::sqrt(variance))
                << i << " " << k;
        }
    }
}

// EAP scores and their SDs are the posterior's mean and SD over the grid.
TEST(PolytomousErrors, EapAndItsErrorAreThePosteriorsMeanAndSd) {
    const std::vector<Item> items = {Of(4, PolytomousModel::Grm, 1.2, {-1.0, 0.2, 1.1}),
                                     Of(3, PolytomousModel::Gpcm, 0.7, {-0.5, 0.9}),
                                     Of(2, PolytomousModel::Grm, 1.5, {0.3})};
    // Three examinees: a middle pattern, the highest, one with a missing item.
    const std::vector<std::uint8_t> codes = {2, 1, 0, 3, 2, 1, 0, 9, 1};
    const Responses responses{codes, 3, items.size()};
    const mml::Quadrature quadrature = mml::NormalQuadrature(41, 6, 0.2, 1.1);
    EmTables tables(items, quadrature.Points());
    WorkerPool pool(2);
    EStep(items, responses, quadrature, tables);
    std::vector<double> theta(3), se(3);
    ScoreExpected(items, responses, quadrature, tables, pool, theta, se);
    std::vector<double> p(kMostCategories);
    for (std::size_t j = 0; j < 3; ++j) {
        double mass = 0, first = 0, second = 0;
        for (int q = 0; q < quadrature.Points(); ++q) {
            const double t = quadrature.theta[q];
            double w = quadrature.weight[q];
            for (std::size_t i = 0; i < items.size(); ++i) {
                const std::uint8_t code = codes[j * items.size() + i];
                if (code == 9) continue;
                CategoryProbabilities(items[i], t, p);
                w *= p[code];
            }
            mass += w;
            first += w * t;
            second += w * t * t;
        }
        const double mean = first / mass;
        EXPECT_NEAR(theta[j], mean, 1e-10) << j;
        EXPECT_NEAR(se[j], std::sqrt(second / mass - mean * mean), 1e-9) << j;
    }
}

TEST(PolytomousErrors, AnItemModelsLineOfOneCategoryIsRefused) {
    const std::vector<std::string> lines = {"3pl", "gpcm 1"};
    const ItemModels models = ParseItemModels("m.txt", lines, 2);
    EXPECT_NE(models.error.find("line 2 ('gpcm 1')"), std::string::npos) << models.error;
    const std::vector<std::string> two = {"3pl", "gpcm 2"};
    EXPECT_EQ(ParseItemModels("m.txt", two, 2).error, "");
}

}  // namespace
}  // namespace tarvo::poly
