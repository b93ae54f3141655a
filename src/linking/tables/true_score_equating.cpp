#include "linking/tables/true_score_equating.h"

#include <cmath>

#include "linking/tables/test_curves.h"

namespace tarvo::linking {
namespace {

double SumOf(const std::vector<double>& values) {
    double sum = 0;
    for (const double v : values) sum += v;
    return sum;
}

// The theta where the characteristic curve reaches tau, which lies strictly
// between the sum of the c's and the number of items: bisection, as the
// curve rises everywhere but may be nearly flat far out.
double ThetaForTrueScore(const ItemForm& items, double tau) {
    double low = -1, high = 1;
    while (ExpectedScore(items, low) > tau && low > -1e6) low *= 2;
    while (ExpectedScore(items, high) < tau && high < 1e6) high *= 2;
    for (int k = 0; k < 200 && high - low > 1e-12 * (1 + std::fabs(low)); ++k) {
        const double middle = (low + high) / 2;
        (ExpectedScore(items, middle) < tau ? low : high) = middle;
    }
    return (low + high) / 2;
}

}  // namespace

Equating TrueScoreEquating(const ItemForm& newOnBase, const ItemForm& base,
                           const StepWatch& watch) {
    Equating equating;
    for (const ItemForm* form : {&newOnBase, &base}) {
        for (const double a : form->a) {
            if (!(a > 0)) {
                equating.error = "true-score equating needs every a above 0";
                return equating;
            }
        }
    }
    const double guessNew = SumOf(newOnBase.c), guessBase = SumOf(base.c);
    const double reachNew = SumOf(newOnBase.u), reachBase = SumOf(base.u);
    const int top = static_cast<int>(newOnBase.size());
    std::vector<EquatingRow> rows;
    for (int score = 0; score <= top; ++score) {
        if (watch.Stopped()) {
            equating.error = "stopped";
            return equating;
        }
        watch.Report(static_cast<double>(score) / (top + 1));
        EquatingRow row;
        row.newScore = score;
        row.theta = NAN;
        if (score == top) {
            row.theta = INFINITY;
            row.baseScore = static_cast<double>(base.size());
        } else if (score <= guessNew) {
            row.baseScore = guessNew > 0 ? score * guessBase / guessNew : guessBase;
        } else if (score >= reachNew) {
            // Beyond every curve's upper asymptote (4PL items): no theta.
            const double beyond = (score - reachNew) / (top - reachNew);
            row.baseScore = reachBase + beyond * (static_cast<double>(base.size()) - reachBase);
        } else {
            row.theta = ThetaForTrueScore(newOnBase, score);
            row.baseScore = ExpectedScore(base, row.theta);
        }
        rows.push_back(row);
    }
    equating.rows = std::move(rows);
    return equating;
}

}  // namespace tarvo::linking
