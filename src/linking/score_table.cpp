#include "linking/score_table.h"

#include <cmath>

#include "irt/item_curve.h"
#include "irt/summed_scores.h"

namespace tarvo::linking {
namespace {

// The likelihoods of every summed score at each theta, score-major:
// row s holds P(score s | theta) over the thetas.
void ScoreLikelihoods(const ItemForm& items, const std::vector<double>& theta,
                      std::vector<double>& correct, std::vector<double>& out) {
    const std::size_t points = theta.size();
    correct.resize(items.size() * points);
    out.resize((items.size() + 1) * points);
    for (std::size_t i = 0; i < items.size(); ++i) {
        for (std::size_t q = 0; q < points; ++q) {
            correct[i * points + q] = CurveAt(theta[q], items.a[i], items.b[i], items.c[i]).p;
        }
    }
    SummedScoreLikelihoods(correct, points, out);
}

// The ML search: a coarse grid wide enough for any ability the scale
// shows, then golden-section refinement around the grid's best point.
constexpr double kSearchFrom = -10, kSearchTo = 10, kSearchStep = 0.05;

std::vector<double> SearchGrid() {
    std::vector<double> grid;
    const int steps = static_cast<int>(std::lround((kSearchTo - kSearchFrom) / kSearchStep));
    for (int k = 0; k <= steps; ++k) grid.push_back(kSearchFrom + k * kSearchStep);
    return grid;
}

class ScoreLikelihoodAt {
  public:
    explicit ScoreLikelihoodAt(const ItemForm& items) : items_(items) {}
    double operator()(int score, double theta) {
        point_[0] = theta;
        ScoreLikelihoods(items_, point_, correct_, out_);
        return out_[static_cast<std::size_t>(score)];
    }

  private:
    const ItemForm& items_;
    std::vector<double> point_ = std::vector<double>(1);
    std::vector<double> correct_, out_;
};

double GoldenMaximum(ScoreLikelihoodAt& likelihood, int score, double low, double high) {
    const double ratio = (std::sqrt(5.0) - 1) / 2;
    double x1 = high - ratio * (high - low), x2 = low + ratio * (high - low);
    double f1 = likelihood(score, x1), f2 = likelihood(score, x2);
    while (high - low > 1e-10) {
        if (f1 < f2) {
            low = x1;
            x1 = x2;
            f1 = f2;
            x2 = low + ratio * (high - low);
            f2 = likelihood(score, x2);
        } else {
            high = x2;
            x2 = x1;
            f2 = f1;
            x1 = high - ratio * (high - low);
            f1 = likelihood(score, x1);
        }
    }
    return (low + high) / 2;
}

}  // namespace

std::vector<ScoreRow> SummedScoreTable(const ItemForm& items, const AbilityGrid& population) {
    const std::size_t n = items.size(), points = population.size();
    std::vector<double> correct, likelihood;
    ScoreLikelihoods(items, population.theta, correct, likelihood);

    // Where theta goes to minus infinity every item is answered right with
    // probability c.
    std::vector<double> atFloor(n + 1);
    SummedScoreLikelihoods(items.c, 1, atFloor);

    const std::vector<double> search = SearchGrid();
    std::vector<double> overSearch;
    ScoreLikelihoods(items, search, correct, overSearch);
    ScoreLikelihoodAt likelihoodAt(items);

    std::vector<ScoreRow> table(n + 1);
    for (std::size_t s = 0; s <= n; ++s) {
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
        if (best == 0 || best + 1 == search.size() || !(over[best] > atFloor[s])) continue;
        row.ml =
            GoldenMaximum(likelihoodAt, static_cast<int>(s), search[best - 1], search[best + 1]);
    }
    return table;
}

}  // namespace tarvo::linking
