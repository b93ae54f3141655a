#include "linking/tables/score_table.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "linking/tables/score_likelihoods.h"

namespace tarvo::linking {
namespace {

// The ML search: a coarse grid wide enough for any ability the scale
// shows finds each score's highest point; the maximum then lies within a
// step of it.
constexpr double kSearchFrom = -10, kSearchTo = 10, kSearchStep = 0.05;
// Where every curve has reached its limit: the likelihoods at the two ends
// of the scale, which a finite maximum must exceed.
constexpr double kScaleEnd = 1e6;
// The refinement's steps: the likelihood's slope from two points this far
// either side (the log-likelihood's third derivative makes it off by about
// 1e-11 of its curvature), and a step this short ends it.
constexpr double kSlopeSpan = 1e-5;
constexpr double kLastStep = 1e-7;
constexpr int kMostRefinements = 8;

std::vector<double> SearchGrid() {
    std::vector<double> grid;
    const int steps = static_cast<int>(std::lround((kSearchTo - kSearchFrom) / kSearchStep));
    for (int k = 0; k <= steps; ++k) grid.push_back(kSearchFrom + k * kSearchStep);
    return grid;
}

// The polynomial through the log-likelihood at the 2 k + 1 grid points
// around the best one (k = 3, fewer near the grid's ends or where a
// likelihood underflows), in grid steps x from the best point:
// coefficient j of x^j.
struct LocalPolynomial {
    int degree = 0;
    double coefficient[7] = {};

    double Slope(double x) const {
        double sum = 0;
        for (int j = degree; j >= 1; --j) sum = sum * x + j * coefficient[j];
        return sum;
    }
    double Bend(double x) const {
        double sum = 0;
        for (int j = degree; j >= 2; --j) sum = sum * x + j * (j - 1) * coefficient[j];
        return sum;
    }
};

LocalPolynomial FitAround(const double* over, std::size_t best, std::size_t size) {
    int k = 3;
    auto usable = [&](int reach) {
        if (best < static_cast<std::size_t>(reach) || best + reach >= size) return false;
        for (int j = -reach; j <= reach; ++j) {
            if (!(over[static_cast<std::ptrdiff_t>(best) + j] > 0)) return false;
        }
        return true;
    };
    while (k > 0 && !usable(k)) --k;
    LocalPolynomial polynomial;
    polynomial.degree = 2 * k;
    const int n = 2 * k + 1;
    // The Vandermonde system over the points -k .. k, by elimination with
    // partial pivoting (at most 7 unknowns).
    double matrix[7][8] = {};
    for (int row = 0; row < n; ++row) {
        const double x = row - k;
        double power = 1;
        for (int j = 0; j < n; ++j, power *= x) matrix[row][j] = power;
        matrix[row][n] = std::log(over[static_cast<std::ptrdiff_t>(best) + row - k]);
    }
    for (int col = 0; col < n; ++col) {
        int pivot = col;
        for (int row = col + 1; row < n; ++row) {
            if (std::fabs(matrix[row][col]) > std::fabs(matrix[pivot][col])) pivot = row;
        }
        std::swap(matrix[col], matrix[pivot]);
        for (int row = col + 1; row < n; ++row) {
            const double factor = matrix[row][col] / matrix[col][col];
            for (int j = col; j <= n; ++j) matrix[row][j] -= factor * matrix[col][j];
        }
    }
    for (int row = n - 1; row >= 0; --row) {
        double sum = matrix[row][n];
        for (int j = row + 1; j < n; ++j) sum -= matrix[row][j] * polynomial.coefficient[j];
        polynomial.coefficient[row] = sum / matrix[row][row];
    }
    return polynomial;
}

// The polynomial's maximum within a grid step of the best point, by
// Newton's method on its slope; 0 where it has none there.
double PolynomialMaximum(const LocalPolynomial& polynomial) {
    double x = 0;
    for (int iteration = 0; iteration < 20; ++iteration) {
        const double bend = polynomial.Bend(x);
        if (!(bend < 0)) return 0;
        const double step = polynomial.Slope(x) / bend;
        x -= step;
        if (!(std::fabs(x) <= 1)) return 0;
        if (std::fabs(step) < 1e-12) break;
    }
    return x;
}

// From the polynomial's maximum to the likelihood's own: steps by the
// score's exact slope (from its likelihood either side) over the
// polynomial's curvature, which is close enough that each step leaves a
// small fraction of the error before it. Kept within the grid's bracket.
double RefinedMaximum(OneScoreLikelihood& likelihood, int score, double theta, double bend,
                      double low, double high) {
    for (int round = 0; round < kMostRefinements; ++round) {
        const double up = likelihood(score, theta + kSlopeSpan);
        const double down = likelihood(score, theta - kSlopeSpan);
        if (!(up > 0 && down > 0)) break;
        const double slope = std::log(up / down) / (2 * kSlopeSpan);
        const double step = -slope / bend;
        theta = std::clamp(theta + step, low, high);
        if (std::fabs(step) < kLastStep) break;
    }
    return theta;
}

}  // namespace

std::vector<ScoreRow> SummedScoreTable(const std::vector<ScoredItem>& items,
                                       const AbilityGrid& population, const StepWatch& watch) {
    const std::size_t scores = static_cast<std::size_t>(HighestScore(items)) + 1;
    const std::size_t points = population.size();
    const std::vector<double> search = SearchGrid();
    // The shares of the watch by the abilities each pass works over; the
    // scores' ML searches take the last share.
    const double all = static_cast<double>(points + 2 + search.size());
    const double populationEnd = 0.5 * static_cast<double>(points) / all;
    const double searchFrom = 0.5 * static_cast<double>(points + 2) / all;
    std::vector<double> likelihood;
    if (!ScoreLikelihoods(items, population.theta, likelihood, watch.Part(0, populationEnd))) {
        return {};
    }

    const double ends[] = {-kScaleEnd, kScaleEnd};
    std::vector<double> atEnds;
    ScoreLikelihoods(items, ends, atEnds);

    std::vector<double> overSearch;
    if (!ScoreLikelihoods(items, search, overSearch, watch.Part(searchFrom, 0.5))) return {};
    OneScoreLikelihood likelihoodAt(items);

    std::vector<ScoreRow> table(scores);
    for (std::size_t s = 0; s < scores; ++s) {
        if (watch.Stopped()) return {};
        watch.Report(0.5 + 0.5 * static_cast<double>(s) / static_cast<double>(scores));
        ScoreRow& row = table[s];
        row.score = static_cast<int>(s);
        double mass = 0, first = 0, second = 0;
        for (std::size_t q = 0; q < points; ++q) {
            const double w = population.weight[q] * likelihood[s * points + q];
            mass += w;
            first += w * population.theta[q];
            second += w * population.theta[q] * population.theta[q];
        }
        row.proportion = mass;
        row.eap = mass > 0 ? first / mass : NAN;
        row.eapSd = mass > 0 ? std::sqrt(std::fmax(0.0, second / mass - row.eap * row.eap)) : NAN;

        row.ml = NAN;
        const double* over = overSearch.data() + s * search.size();
        std::size_t best = 0;
        for (std::size_t k = 1; k < search.size(); ++k) {
            if (over[k] > over[best]) best = k;
        }
        if (best == 0 || best + 1 == search.size() || !(over[best] > atEnds[2 * s]) ||
            !(over[best] > atEnds[2 * s + 1])) {
            continue;
        }
        const LocalPolynomial polynomial = FitAround(over, best, search.size());
        const double x = PolynomialMaximum(polynomial);
        const double bend = polynomial.Bend(x) / (kSearchStep * kSearchStep);
        row.ml = search[best] + kSearchStep * x;
        if (bend < 0) {
            row.ml = RefinedMaximum(likelihoodAt, static_cast<int>(s), row.ml, bend,
                                    search[best - 1], search[best + 1]);
        }
    }
    return table;
}

std::vector<ScoreRow> SummedScoreTable(const ItemForm& items, const AbilityGrid& population,
                                       const StepWatch& watch) {
    return SummedScoreTable(ScoredItemsOf(items), population, watch);
}

}  // namespace tarvo::linking
