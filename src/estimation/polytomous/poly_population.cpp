#include "estimation/polytomous/poly_population.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

namespace tarvo::poly {

namespace {

// An SD below this is no distribution of abilities.
constexpr double kSmallestSd = 0.01;

}  // namespace

double MovePopulation(std::span<const Item> /*items: their log P are in the tables*/,
                      Responses responses, double range, mml::Quadrature& quadrature,
                      EmTables& tables, PopulationEstimate& population) {
    const int points = quadrature.Points();
    std::vector<double> post(tables.Stride());
    std::vector<std::uint8_t> patterns(tables.Groups());
    PointRange kept;
    double n = 0, sum = 0, squares = 0;
    for (std::size_t j = 0; j < responses.persons; ++j) {
        PosteriorOf(responses.Row(j), tables, patterns, post, kept);
        for (int q = 0; q < points; ++q) {
            n += post[q];
            sum += post[q] * quadrature.theta[q];
            squares += post[q] * quadrature.theta[q] * quadrature.theta[q];
        }
    }
    if (!(n > 0)) return 0;
    const double mean = sum / n;
    const double variance = squares / n - mean * mean;
    if (!(variance > 0)) return 0;
    const double sd = std::max(std::sqrt(variance), kSmallestSd);
    const double change = std::max(std::abs(mean - population.mean), std::abs(sd - population.sd));
    population.estimated = true;
    population.mean = mean;
    population.sd = sd;
    mml::MoveQuadrature(quadrature, range, mean, sd);
    return change;
}

void SetPopulationErrors(std::span<const Item> /*items: their log P are in the tables*/,
                         Responses responses, const mml::Quadrature& quadrature, EmTables& tables,
                         PopulationEstimate& population) {
    const int points = quadrature.Points();
    const double m = population.mean, s = population.sd;
    std::vector<double> post(tables.Stride());
    std::vector<std::uint8_t> patterns(tables.Groups());
    PointRange kept;
    double imm = 0, iss = 0, ims = 0;
    for (std::size_t j = 0; j < responses.persons; ++j) {
        PosteriorOf(responses.Row(j), tables, patterns, post, kept);
        // The posterior moments of the score (d/dmean, d/dSD of log phi)
        // and of minus its Hessian.
        double gm = 0, gs = 0, gmm = 0, gss = 0, gms = 0, hss = 0, hms = 0;
        for (int q = 0; q < points; ++q) {
            const double d = quadrature.theta[q] - m;
            const double sm = d / (s * s);
            const double ss = (d * d - s * s) / (s * s * s);
            gm += post[q] * sm;
            gs += post[q] * ss;
            gmm += post[q] * sm * sm;
            gss += post[q] * ss * ss;
            gms += post[q] * sm * ss;
            hss += post[q] * (3 * d * d / (s * s * s * s) - 1 / (s * s));
            hms += post[q] * 2 * d / (s * s * s);
        }
        imm += 1 / (s * s) - (gmm - gm * gm);
        iss += hss - (gss - gs * gs);
        ims += hms - (gms - gm * gs);
    }
    const double determinant = imm * iss - ims * ims;
    const double nan = std::numeric_limits<double>::quiet_NaN();
    if (!(imm > 0) || !(determinant > 0)) {
        population.seMean = population.seSd = nan;
        return;
    }
    population.seMean = std::sqrt(iss / determinant);
    population.seSd = std::sqrt(imm / determinant);
}

}  // namespace tarvo::poly
