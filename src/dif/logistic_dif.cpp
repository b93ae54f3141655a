#include "dif/logistic_dif.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "dif/cumulative_logit.h"
#include "fit/chi_square.h"

namespace tarvo::dif {

namespace {

// Nagelkerke's R-squared of a model with log-likelihood ll, against the
// model without covariates (nullLl) over n examinees.
double Nagelkerke(double ll, double nullLl, double n) {
    const double coxSnell = 1 - std::exp(-2 * (ll - nullLl) / n);
    return coxSnell / (1 - std::exp(2 * nullLl / n));
}

double Statistic(double larger, double smaller) { return std::max(0.0, 2 * (larger - smaller)); }

}  // namespace

char JodoinGierlCategory(double r2Change, double p) {
    if (!std::isfinite(r2Change) || !std::isfinite(p)) return ' ';
    if (p >= 0.05 || r2Change < 0.035) return 'A';
    return r2Change >= 0.070 ? 'C' : 'B';
}

LogisticResult LogisticDif(const ItemStrata& strata) {
    LogisticResult out;
    // The categories someone of the two groups used, renumbered 0.. in
    // order: an unused score is no step of this comparison's scale.
    std::vector<double> byCategory(strata.categories, 0);
    double n = 0, sumX = 0, sumXX = 0;
    for (std::size_t s = 0; s < strata.strata; ++s) {
        for (std::size_t g = 0; g < 2; ++g) {
            for (std::size_t y = 0; y < strata.categories; ++y) {
                const double count = strata.at(s, g, y);
                byCategory[y] += count;
                n += count;
                sumX += count * static_cast<double>(s);
                sumXX += count * static_cast<double>(s) * static_cast<double>(s);
            }
        }
    }
    std::vector<std::size_t> rank(strata.categories, 0);
    std::size_t used = 0;
    double nullLl = 0;
    for (std::size_t y = 0; y < strata.categories; ++y) {
        rank[y] = used;
        if (byCategory[y] > 0) {
            ++used;
            nullLl += byCategory[y] * std::log(byCategory[y] / n);
        }
    }
    if (used < 2) {
        out.note = "every examinee of the two groups has the same score on the item";
        return out;
    }
    if (used > kMostLogitCategories) {
        out.note = "the item has more scores than the screen takes";
        return out;
    }
    const double mean = sumX / n;
    const double sd = std::sqrt(std::max(0.0, sumXX / n - mean * mean));
    if (!(sd > 0)) {
        out.note = "every examinee of the two groups has the same matching score";
        return out;
    }
    // The matching score standardized: the fits are the same models, and
    // Newton's steps are better conditioned.
    std::vector<LogitCell> cells;
    for (std::size_t s = 0; s < strata.strata; ++s) {
        for (std::size_t g = 0; g < 2; ++g) {
            for (std::size_t y = 0; y < strata.categories; ++y) {
                const double count = strata.at(s, g, y);
                if (count == 0) continue;
                LogitCell cell;
                const double x = (static_cast<double>(s) - mean) / sd;
                const double group = static_cast<double>(g);
                cell.x[0] = x;
                cell.x[1] = group;
                cell.x[2] = x * group;
                cell.category = rank[y];
                cell.count = count;
                cells.push_back(cell);
            }
        }
    }
    const LogitFit score = FitCumulativeLogit(cells, used, 1);
    const LogitFit uniform = FitCumulativeLogit(cells, used, 2);
    const LogitFit nonUniform = FitCumulativeLogit(cells, used, 3);
    out.converged = score.converged && uniform.converged && nonUniform.converged;
    if (!out.converged) {
        out.note =
            "a model's fit did not reach its maximum (a group or score separates the answers)";
    }
    out.uniform = Statistic(uniform.logLikelihood, score.logLikelihood);
    out.nonUniform = Statistic(nonUniform.logLikelihood, uniform.logLikelihood);
    out.both = Statistic(nonUniform.logLikelihood, score.logLikelihood);
    out.uniformP = fit::ChiSquareUpperTail(out.uniform, 1);
    out.nonUniformP = fit::ChiSquareUpperTail(out.nonUniform, 1);
    out.bothP = fit::ChiSquareUpperTail(out.both, 2);
    const double r2Score = Nagelkerke(score.logLikelihood, nullLl, n);
    const double r2Uniform = Nagelkerke(uniform.logLikelihood, nullLl, n);
    const double r2Both = Nagelkerke(nonUniform.logLikelihood, nullLl, n);
    out.uniformR2 = r2Uniform - r2Score;
    out.nonUniformR2 = r2Both - r2Uniform;
    out.bothR2 = r2Both - r2Score;
    out.category = JodoinGierlCategory(out.bothR2, out.bothP);
    return out;
}

}  // namespace tarvo::dif
