#include "estimation/polytomous/poly_em.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "core/model_constants.h"
#include "estimation/marginal/mml_mstep.h"
#include "estimation/polytomous/poly_population.h"
#include "estimation/polytomous/poly_priors.h"
#include "estimation/polytomous/poly_scales.h"
#include "irt/item_curve.h"

namespace tarvo::poly {

namespace {

constexpr int kMostScoringSteps = 50;
constexpr int kMostHalvings = 30;
constexpr double kSettledStep = 1e-9;

using Square = std::array<double, kMostFree * kMostFree>;

}  // namespace

bool SolvePositive(int n, Square matrix, double* rhs) {
    for (int i = 0; i < n; ++i) {
        for (int j = 0; j <= i; ++j) {
            double sum = matrix[i * n + j];
            for (int k = 0; k < j; ++k) sum -= matrix[i * n + k] * matrix[j * n + k];
            if (i == j) {
                if (!(sum > 0)) return false;
                matrix[i * n + i] = std::sqrt(sum);
            } else {
                matrix[i * n + j] = sum / matrix[j * n + j];
            }
        }
    }
    for (int i = 0; i < n; ++i) {
        double sum = rhs[i];
        for (int k = 0; k < i; ++k) sum -= matrix[i * n + k] * rhs[k];
        rhs[i] = sum / matrix[i * n + i];
    }
    for (int i = n - 1; i >= 0; --i) {
        double sum = rhs[i];
        for (int k = i + 1; k < n; ++k) sum -= matrix[k * n + i] * rhs[k];
        rhs[i] = sum / matrix[i * n + i];
    }
    return true;
}

EmTables::EmTables(std::span<const Item> items, int points) : points_(points) {
    std::size_t size = 0;
    for (const Item& item : items) {
        offset_.push_back(size);
        size += static_cast<std::size_t>(item.categories) * static_cast<std::size_t>(points);
    }
    offset_.push_back(size);
    logP_.assign(size, 0.0);
    expected_.assign(size, 0.0);
    posterior_.assign(static_cast<std::size_t>(points), 0.0);
}

std::span<double> EmTables::LogProbabilities(std::size_t item) {
    return std::span<double>(logP_).subspan(offset_[item], offset_[item + 1] - offset_[item]);
}

std::span<double> EmTables::Expected(std::size_t item) {
    return std::span<double>(expected_).subspan(offset_[item], offset_[item + 1] - offset_[item]);
}

std::span<const double> EmTables::Expected(std::size_t item) const {
    return std::span<const double>(expected_).subspan(offset_[item],
                                                      offset_[item + 1] - offset_[item]);
}

namespace {

// Each item's log P(X = k) at every point.
void FillLogProbabilities(std::span<const Item> items, const mml::Quadrature& quadrature,
                          EmTables& tables) {
    const int points = quadrature.Points();
    std::array<double, kMostCategories> p{};
    for (std::size_t i = 0; i < items.size(); ++i) {
        std::span<double> logP = tables.LogProbabilities(i);
        for (int q = 0; q < points; ++q) {
            CategoryProbabilities(items[i], quadrature.theta[q], p);
            for (int k = 0; k < items[i].categories; ++k) {
                logP[static_cast<std::size_t>(k * points + q)] = LogProbability(p[k]);
            }
        }
    }
}

}  // namespace

double PosteriorOf(std::span<const std::uint8_t> row, std::span<const Item> items,
                   const mml::Quadrature& quadrature, EmTables& tables) {
    const int points = quadrature.Points();
    std::span<double> post = tables.Posterior();
    std::copy(quadrature.logWeight.begin(), quadrature.logWeight.end(), post.begin());
    for (std::size_t i = 0; i < items.size(); ++i) {
        const std::uint8_t code = row[i];
        if (static_cast<int>(code) >= items[i].categories) continue;
        const double* logP = tables.LogProbabilities(i).data() + code * points;
        for (int q = 0; q < points; ++q) post[q] += logP[q];
    }
    const double largest = *std::max_element(post.begin(), post.end());
    double sum = 0;
    for (int q = 0; q < points; ++q) {
        post[q] = std::exp(post[q] - largest);
        sum += post[q];
    }
    for (int q = 0; q < points; ++q) post[q] /= sum;
    return largest + std::log(sum);
}

double EStep(std::span<const Item> items, Responses responses, const mml::Quadrature& quadrature,
             EmTables& tables) {
    FillLogProbabilities(items, quadrature, tables);
    for (std::size_t i = 0; i < items.size(); ++i) {
        std::span<double> expected = tables.Expected(i);
        std::fill(expected.begin(), expected.end(), 0.0);
    }
    const int points = quadrature.Points();
    double logLikelihood = 0;
    for (std::size_t j = 0; j < responses.persons; ++j) {
        const std::span<const std::uint8_t> row =
            responses.codes.subspan(j * responses.items, responses.items);
        logLikelihood += PosteriorOf(row, items, quadrature, tables);
        const std::span<const double> post = tables.Posterior();
        for (std::size_t i = 0; i < items.size(); ++i) {
            const std::uint8_t code = row[i];
            if (static_cast<int>(code) >= items[i].categories) continue;
            double* expected = tables.Expected(i).data() + code * points;
            for (int q = 0; q < points; ++q) expected[q] += post[q];
        }
    }
    return logLikelihood;
}

Priors BinaryPriors(const MarginalSettings& settings) { return PriorsFor(settings); }

double ItemObjective(const Item& item, std::span<const double> expected,
                     const mml::Quadrature& quadrature, const Priors& priors, double* gradient,
                     double* information) {
    const int points = quadrature.Points();
    const int free = FreeCount(item);
    const int categories = item.categories;
    std::array<double, kMostCategories> p{};
    std::array<double, kMostCategories * kMostFree> d{};
    if (gradient) std::fill_n(gradient, free, 0.0);
    if (information) std::fill_n(information, free * free, 0.0);
    double value = 0;
    for (int q = 0; q < points; ++q) {
        const double theta = quadrature.theta[q];
        CategoryProbabilities(item, theta, p);
        double total = 0;
        for (int k = 0; k < categories; ++k) {
            const double r = expected[static_cast<std::size_t>(k * points + q)];
            total += r;
            if (r > 0) value += r * LogProbability(p[k]);
        }
        if (!gradient && !information) continue;
        CategoryDerivatives(item, theta, p, d);
        for (int k = 0; k < categories; ++k) {
            const double pk = std::max(p[k], 1e-300);
            const double r = expected[static_cast<std::size_t>(k * points + q)];
            const double* dk = d.data() + k * free;
            if (gradient) {
                for (int u = 0; u < free; ++u) gradient[u] += r * dk[u] / pk;
            }
            if (information) {
                for (int u = 0; u < free; ++u) {
                    for (int v = 0; v <= u; ++v) {
                        information[u * free + v] += total * dk[u] * dk[v] / pk;
                    }
                }
            }
        }
    }
    if (information) {
        for (int u = 0; u < free; ++u) {
            for (int v = 0; v < u; ++v) information[v * free + u] = information[u * free + v];
        }
    }
    if (item.form != ItemForm::Binary) {
        return value + AddPolytomousPriors(item, priors, gradient, information);
    }
    // The right/wrong item's priors by (a, b, c), carried to its free
    // parameters; their curvature only where it adds information.
    mml::ItemObjective prior;
    mml::AddPriors(prior, item.a, item.b[0], item.c, priors,
                   FreeParameters{item.slopeFree, true, item.guessFree});
    value += prior.value;
    int column[3] = {-1, -1, -1};
    int at = 0;
    if (item.slopeFree) column[0] = at++;
    column[1] = at++;
    if (item.guessFree) column[2] = at++;
    for (int u = 0; u < 3; ++u) {
        if (column[u] < 0) continue;
        if (gradient) gradient[column[u]] += prior.gradient[u];
        if (information) {
            information[column[u] * free + column[u]] += std::max(0.0, -prior.hessian[u][u]);
        }
    }
    return value;
}

double MaximiseItem(Item& item, std::span<const double> expected, const mml::Quadrature& quadrature,
                    const Priors& priors) {
    const int free = FreeCount(item);
    const double lowestC = LowestC(RulesOf(MarginalModel::ThreePL), priors.c.on);
    std::array<double, kMostFree> start{}, x{}, step{};
    Square information{};
    PackFree(item, start);
    for (int pass = 0; pass < kMostScoringSteps; ++pass) {
        const double value =
            ItemObjective(item, expected, quadrature, priors, step.data(), information.data());
        if (!SolvePositive(free, information, step.data())) {
            // Not positive definite (counts at the edge): a plain gradient
            // step scaled by the diagonal.
            for (int u = 0; u < free; ++u) {
                const double diagonal = information[u * free + u];
                step[u] = diagonal > 0 ? step[u] / diagonal : 0;
            }
        }
        PackFree(item, x);
        double largest = 0;
        for (int u = 0; u < free; ++u) largest = std::max(largest, std::abs(step[u]));
        // At most one unit per step: far from the maximum the quadratic
        // model overshoots.
        const double scale = largest > 1 ? 1 / largest : 1;
        bool moved = false;
        double stepScale = scale;
        for (int halving = 0; halving < kMostHalvings; ++halving, stepScale /= 2) {
            Item trial = item;
            std::array<double, kMostFree> y{};
            for (int u = 0; u < free; ++u) y[u] = x[u] + stepScale * step[u];
            UnpackFree(y, trial);
            if (!KeepInRange(trial, lowestC)) continue;
            const double trialValue =
                ItemObjective(trial, expected, quadrature, priors, nullptr, nullptr);
            if (trialValue >= value) {
                item = trial;
                moved = true;
                break;
            }
        }
        if (!moved || largest * stepScale < kSettledStep) break;
    }
    PackFree(item, x);
    double change = 0;
    for (int u = 0; u < free; ++u) change = std::max(change, std::abs(x[u] - start[u]));
    return change;
}

double SlopeGradient(const Item& item, std::span<const double> expected,
                     const mml::Quadrature& quadrature, const Priors& priors, double* information) {
    Item own = item;
    own.slopeFree = true;
    own.commonSlope = false;
    // A common slope takes no prior: it sets the scale.
    Priors withoutSlopePrior = priors;
    if (item.commonSlope) withoutSlopePrior.polytomousLogA.on = false;
    std::array<double, kMostFree> gradient{};
    Square square{};
    ItemObjective(own, expected, quadrature, withoutSlopePrior, gradient.data(), square.data());
    if (information) *information = square[0];
    return gradient[0];
}

double MaximiseCommonSlope(std::vector<Item>& items, std::span<const char> estimated,
                           const EmTables& tables, const mml::Quadrature& quadrature,
                           const Priors& priors) {
    const auto shares = [&](std::size_t i) { return estimated[i] && items[i].commonSlope; };
    double start = 0;
    bool any = false;
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (!shares(i)) continue;
        start = items[i].a;
        any = true;
    }
    if (!any) return 0;
    const auto total = [&](double a) {
        double value = 0;
        for (std::size_t i = 0; i < items.size(); ++i) {
            if (!shares(i)) continue;
            Item trial = items[i];
            trial.a = a;
            value += ItemObjective(trial, tables.Expected(i), quadrature, priors, nullptr, nullptr);
        }
        return value;
    };
    double a = start;
    for (int pass = 0; pass < kMostScoringSteps; ++pass) {
        double gradient = 0, information = 0;
        for (std::size_t i = 0; i < items.size(); ++i) {
            if (!shares(i)) continue;
            Item at = items[i];
            at.a = a;
            double own = 0;
            gradient += SlopeGradient(at, tables.Expected(i), quadrature, priors, &own);
            information += own;
        }
        if (!(information > 0)) break;
        double step = gradient / information;
        step = std::clamp(step, -1.0, 1.0);
        const double value = total(a);
        bool moved = false;
        for (int halving = 0; halving < kMostHalvings; ++halving, step /= 2) {
            const double trial = std::clamp(a + step, kMarginalA.lowest, kMarginalA.highest);
            if (total(trial) >= value) {
                a = trial;
                moved = true;
                break;
            }
        }
        if (!moved || std::abs(step) < kSettledStep) break;
    }
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (shares(i)) items[i].a = a;
    }
    return std::abs(a - start);
}

void ScoreExpected(std::span<const Item> items, Responses responses,
                   const mml::Quadrature& quadrature, EmTables& tables, std::span<double> theta,
                   std::span<double> seTheta) {
    FillLogProbabilities(items, quadrature, tables);
    const int points = quadrature.Points();
    for (std::size_t j = 0; j < responses.persons; ++j) {
        PosteriorOf(responses.codes.subspan(j * responses.items, responses.items), items,
                    quadrature, tables);
        const std::span<const double> post = tables.Posterior();
        double mean = 0, square = 0;
        for (int q = 0; q < points; ++q) mean += post[q] * quadrature.theta[q];
        for (int q = 0; q < points; ++q) {
            const double dev = quadrature.theta[q] - mean;
            square += post[q] * dev * dev;
        }
        theta[j] = mean;
        seTheta[j] = std::sqrt(square);
    }
}

EmOutcome RunPolytomousEm(std::vector<Item>& items, std::span<const char> estimated,
                          Responses responses, const MarginalSettings& settings,
                          mml::Quadrature& quadrature, EmTables& tables,
                          const CycleDone& cycleDone) {
    const Priors priors = BinaryPriors(settings);
    const std::vector<Scale> scales = ScalesOf(items, estimated);
    EmOutcome outcome;
    double previous = -HUGE_VAL;
    for (int cycle = 1; cycle <= settings.maxCycles; ++cycle) {
        const double logLikelihood = EStep(items, responses, quadrature, tables);
        double change = 0;
        for (std::size_t i = 0; i < items.size(); ++i) {
            if (!estimated[i]) continue;
            change =
                std::max(change, MaximiseItem(items[i], tables.Expected(i), quadrature, priors));
        }
        change =
            std::max(change, MaximiseCommonSlope(items, estimated, tables, quadrature, priors));
        for (const Scale& scale : scales) {
            change = std::max(change, MaximiseScaleSteps(items, scale, tables, quadrature, priors));
        }
        if (settings.estimatePopulation) {
            change = std::max(change, MovePopulation(items, responses, settings.quadratureRange,
                                                     quadrature, tables, outcome.population));
        }
        outcome.cycles = cycle;
        outcome.largestChange = change;
        outcome.logLikelihood = logLikelihood;
        if (!cycleDone(cycle, change, logLikelihood)) {
            outcome.stopped = true;
            break;
        }
        if (change < settings.tolerance &&
            std::abs(logLikelihood - previous) < settings.logLikelihoodTolerance) {
            outcome.converged = true;
            break;
        }
        previous = logLikelihood;
    }
    // The log-likelihood at the items as they ended.
    if (!outcome.stopped) outcome.logLikelihood = EStep(items, responses, quadrature, tables);
    return outcome;
}

}  // namespace tarvo::poly
