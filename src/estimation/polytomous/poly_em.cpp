#include "estimation/polytomous/poly_em.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>

#include "core/model_constants.h"
#include "estimation/marginal/mml_mstep.h"
#include "estimation/marginal/mml_squarem.h"
#include "estimation/polytomous/poly_groups.h"
#include "estimation/polytomous/poly_population.h"
#include "estimation/polytomous/poly_scales.h"
#include "irt/item_curve.h"

namespace tarvo::poly {

namespace {

constexpr int kMostScoringSteps = 50;
constexpr int kMostHalvings = 30;
constexpr double kSettledStep = 1e-9;
// The least SD an extrapolated group keeps.
constexpr double kSmallestGroupSd = 0.01;

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
    // The row's priors, carried to its free parameters.
    return value + item.model->logPrior(item, priors, gradient, information);
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
            // The common slope stays above 0: its sign only turns the
            // ability scale over.
            const double trial = a + step;
            if (trial > 0 && total(trial) >= value) {
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

namespace {

// One cycle of the polytomous EM as a map of the point: every estimated
// item's free parameters in item order, then the common slope when the
// items share one.
class PolytomousCycle final : public mml::EmMap {
  public:
    PolytomousCycle(std::vector<Item>& items, std::span<const char> estimated, Responses responses,
                    const MarginalSettings& settings, mml::Quadrature& quadrature, EmTables& tables,
                    WorkerPool& pool, std::span<const Scale> scales, Groups* groups)
        : items_(items),
          estimated_(estimated),
          responses_(responses),
          quadrature_(quadrature),
          tables_(tables),
          pool_(pool),
          scales_(scales),
          estimatePopulation_(settings.estimatePopulation),
          quadratureRange_(settings.quadratureRange),
          priors_(BinaryPriors(settings)),
          lowestC_(LowestC(RulesOf(MarginalModel::ThreePL), priors_.c.on)),
          groups_(groups) {
        for (std::size_t i = 0; i < items.size(); ++i) {
            if (!estimated[i]) continue;
            size_ += static_cast<std::size_t>(FreeCount(items[i]));
            common_ = common_ || items[i].commonSlope;
        }
        if (common_) ++size_;
        // The shared steps and the population follow, counted in the
        // change test.
        steps_ = static_cast<std::size_t>(SharedStepCount(scales));
        size_ += steps_ + (estimatePopulation_ ? 2 : 0);
        // The focal groups' means and SDs last, extrapolated with the items.
        focal_ = groups ? static_cast<std::size_t>(groups->Count() - 1) : 0;
        size_ += 2 * focal_;
    }

    const PopulationEstimate& Population() const { return population_; }

    std::size_t PointSize() const override { return size_; }
    std::size_t ItemEntries() const override { return size_; }

    void Read(std::span<double> point) const override {
        std::size_t at = 0;
        for (std::size_t i = 0; i < items_.size(); ++i) {
            if (!estimated_[i]) continue;
            PackFree(items_[i], point.subspan(at));
            at += static_cast<std::size_t>(FreeCount(items_[i]));
            if (items_[i].commonSlope) point[CommonAt()] = items_[i].a;
        }
        for (std::size_t s = 0; s < steps_; ++s) {
            point[StepsAt() + s] = SharedStepValue(items_, scales_, static_cast<int>(s));
        }
        if (estimatePopulation_) {
            point[GroupsAt() - 2] = population_.mean;
            point[GroupsAt() - 1] = population_.sd;
        }
        for (std::size_t g = 0; g < focal_; ++g) {
            point[GroupsAt() + 2 * g] = groups_->estimates[g + 1].mean;
            point[GroupsAt() + 2 * g + 1] = groups_->estimates[g + 1].sd;
        }
    }

    void Write(std::span<const double> point) override {
        std::size_t at = 0;
        for (std::size_t i = 0; i < items_.size(); ++i) {
            if (!estimated_[i]) continue;
            UnpackFree(point.subspan(at), items_[i]);
            at += static_cast<std::size_t>(FreeCount(items_[i]));
            if (items_[i].commonSlope) items_[i].a = point[CommonAt()];
        }
        // Without extrapolation the loop writes back only the point it has
        // just read, so the steps and the population, which the cycle alone
        // moves, are already there.
        if (focal_ == 0) return;
        for (std::size_t g = 0; g < focal_; ++g) {
            groups_->estimates[g + 1].mean = point[GroupsAt() + 2 * g];
            groups_->estimates[g + 1].sd = point[GroupsAt() + 2 * g + 1];
        }
        PlaceGroups(*groups_, quadrature_);
    }

    void KeepInBounds(std::span<double> point) const override {
        std::size_t at = 0;
        for (std::size_t i = 0; i < items_.size(); ++i) {
            if (!estimated_[i]) continue;
            Item item = items_[i];
            UnpackFree(point.subspan(at), item);
            if (item.commonSlope) item.a = point[CommonAt()];
            KeepInModel(item);
            PackFree(item, point.subspan(at));
            at += static_cast<std::size_t>(FreeCount(item));
            if (item.commonSlope) point[CommonAt()] = item.a;
        }
        for (std::size_t g = 0; g < focal_; ++g) {
            double& sd = point[GroupsAt() + 2 * g + 1];
            if (!std::isfinite(point[GroupsAt() + 2 * g])) point[GroupsAt() + 2 * g] = 0;
            if (!(sd >= kSmallestGroupSd)) sd = kSmallestGroupSd;
        }
    }

    Objective Run() override {
        Objective objective;
        objective.logLikelihood = EStep(items_, responses_, quadrature_, tables_, pool_);
        objective.logPosterior = objective.logLikelihood + LogPriors(items_, estimated_, priors_);
        for (std::size_t i = 0; i < items_.size(); ++i) {
            if (estimated_[i]) MaximiseItem(items_[i], tables_.Expected(i), quadrature_, priors_);
        }
        MaximiseCommonSlope(items_, estimated_, tables_, quadrature_, priors_);
        for (const Scale& scale : scales_) {
            MaximiseScaleSteps(items_, scale, tables_, quadrature_, priors_);
        }
        if (estimatePopulation_) {
            MovePopulation(items_, responses_, quadratureRange_, quadrature_, tables_, population_);
        }
        if (focal_ > 0) MoveGroups(*groups_, responses_, quadrature_, tables_, pool_);
        return objective;
    }

  private:
    std::size_t GroupsAt() const { return size_ - 2 * focal_; }
    std::size_t StepsAt() const { return GroupsAt() - steps_ - (estimatePopulation_ ? 2 : 0); }
    std::size_t CommonAt() const { return StepsAt() - 1; }

    // An extrapolated item back into its model: finite values, a common
    // slope above 0, the GRM's intercepts falling (a point outside the
    // model gets no likelihood to compare).
    void KeepInModel(Item& item) const {
        if (KeepInRange(item, lowestC_)) return;
        if (!std::isfinite(item.a)) item.a = 1;
        if (item.commonSlope && !(item.a > 0)) item.a = std::max(std::abs(item.a), 1e-3);
        for (int k = 0; k < item.Thresholds(); ++k) {
            if (!std::isfinite(item.b[k])) item.b[k] = 0;
            if (!std::isfinite(item.d[k])) item.d[k] = 0;
            if (!std::isfinite(item.slopes[k])) item.slopes[k] = 0;
        }
        if (item.model->orderedIntercepts) {
            const auto d =
                std::span<double>(item.d).first(static_cast<std::size_t>(item.Thresholds()));
            std::sort(d.begin(), d.end(), std::greater<>());
            for (std::size_t k = 1; k < d.size(); ++k) d[k] = std::min(d[k], d[k - 1] - 1e-6);
        }
        KeepInRange(item, lowestC_);
    }

    std::vector<Item>& items_;
    std::span<const char> estimated_;
    Responses responses_;
    mml::Quadrature& quadrature_;
    EmTables& tables_;
    WorkerPool& pool_;
    std::span<const Scale> scales_;
    bool estimatePopulation_;
    double quadratureRange_;
    PopulationEstimate population_;
    Priors priors_;
    double lowestC_;
    std::size_t size_ = 0;
    std::size_t steps_ = 0;
    bool common_ = false;
    Groups* groups_;
    std::size_t focal_ = 0;
};

}  // namespace

double LogPriors(std::span<const Item> items, std::span<const char> estimated,
                 const Priors& priors) {
    double total = 0;
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (!estimated[i]) continue;
        total += items[i].model->logPrior(items[i], priors, nullptr, nullptr);
    }
    return total;
}

EmOutcome RunPolytomousEm(std::vector<Item>& items, std::span<const char> estimated,
                          Responses responses, const MarginalSettings& settings,
                          mml::Quadrature& quadrature, EmTables& tables, WorkerPool& pool,
                          const CycleDone& cycleDone, Groups* groups) {
    const std::vector<Scale> scales = ScalesOf(items, estimated);
    if (groups) PlaceGroups(*groups, quadrature);
    PolytomousCycle cycle(items, estimated, responses, settings, quadrature, tables, pool, scales,
                          groups);
    // A stopped run keeps the log-likelihood of its last cycle.
    double lastLogLikelihood = 0;
    // The shared steps and the population are moved by the cycle alone, not
    // extrapolated: their runs take EM's own steps.
    const bool accelerate = settings.accelerate && scales.empty() && !settings.estimatePopulation;
    const mml::EmLoopOutcome loop =
        mml::RunEmLoop(cycle,
                       mml::EmLoopSettings{settings.maxCycles, settings.tolerance,
                                           settings.logLikelihoodTolerance, accelerate},
                       [&](int number, double change, double logLikelihood) {
                           lastLogLikelihood = logLikelihood;
                           return cycleDone(number, change, logLikelihood);
                       });
    EmOutcome outcome;
    outcome.cycles = loop.cycles;
    outcome.converged = loop.converged;
    outcome.stopped = loop.stopped;
    outcome.largestChange = loop.largestChange;
    outcome.extrapolations = loop.extrapolations;
    outcome.refused = loop.refused;
    outcome.population = cycle.Population();
    // The log-likelihood, and the counts, at the items as they ended.
    outcome.logLikelihood =
        outcome.stopped ? lastLogLikelihood : EStep(items, responses, quadrature, tables, pool);
    return outcome;
}

}  // namespace tarvo::poly
