#include "estimation/marginal/mml_em_cycle.h"

#include <algorithm>
#include <cmath>

namespace tarvo::mml {

namespace {

// Newton steps on the Rasch model's common slope per M-step.
constexpr int kCommonSlopeSteps = 20;
// An extrapolated population SD is kept above this.
constexpr double kSmallestSd = 0.01;
// c within this of 0 and 1: the ends of its logit's reach.
constexpr double kLowestLineC = 1e-7;

bool Estimates(std::span<const char> estimated, std::size_t i) { return estimated[i] != 0; }

// The common slope of the Rasch model: Newton's method on the sum of the
// items' expected log-likelihoods (in item order) plus the slope's prior,
// with step halving, the items' b held (d = -a b moves with a).
void MaximiseCommonSlope(const MarginalKernels& kernels, const ExpectedCounts& counts,
                         const Quadrature& quadrature, const Priors& priors,
                         std::span<const char> estimated, ItemSpans items, double& slope) {
    const int points = quadrature.Points();
    auto evaluate = [&](double a) {
        ItemObjective total;
        for (std::size_t i = 0; i < items.a.size(); ++i) {
            if (!Estimates(estimated, i)) continue;
            const double b = items.b[i];
            const ItemObjective o = ItemExpectedLogLikelihood(kernels, &counts.correct[i * points],
                                                              &counts.wrong[i * points], quadrature,
                                                              a, -a * b, items.c[i]);
            // By a with b held: d/da + (-b) d/dd.
            total.value += o.value;
            total.gradient[0] += o.gradient[0] - b * o.gradient[1];
            total.hessian[0][0] +=
                o.hessian[0][0] - 2 * b * o.hessian[0][1] + b * b * o.hessian[1][1];
        }
        AddPriors(total, a, 0, 0, Priors{priors.logA, {}, {}, {}, {}, {}},
                  FreeParameters{true, false, false});
        return total;
    };
    ItemObjective here = evaluate(slope);
    for (int step = 0; step < kCommonSlopeSteps; ++step) {
        const double curvature = -here.hessian[0][0];
        double move = curvature > 0 ? here.gradient[0] / curvature : 0.1 * here.gradient[0];
        move = std::clamp(move, -0.5, 0.5);
        bool moved = false;
        for (int halving = 0; halving < 30 && !moved; ++halving, move *= 0.5) {
            const double trial = std::clamp(slope + move, kLowestA, kHighestA);
            const ItemObjective there = evaluate(trial);
            if (there.value >= here.value) {
                moved = std::fabs(trial - slope) > 1e-10;
                slope = trial;
                here = there;
                break;
            }
        }
        if (!moved) break;
    }
}

bool AnyHeld(std::span<const char> estimated) {
    return std::any_of(estimated.begin(), estimated.end(), [](char e) { return e == 0; });
}

}  // namespace

EmCycle::EmCycle(PatternPosteriors& posteriors, const MarginalSettings& settings,
                 std::span<const char> estimated, ItemSpans items, WorkerPool& pool,
                 Quadrature& quadrature, ExpectedCounts& counts)
    : posteriors_(posteriors),
      settings_(settings),
      estimated_(estimated),
      items_(items),
      pool_(pool),
      quadrature_(quadrature),
      counts_(counts),
      itemCount_(posteriors.Responses().items),
      priors_(PriorsFor(settings)),
      free_(RulesOf(settings.model).free),
      rasch_(RulesOf(settings.model).commonSlope),
      movePopulation_(settings.estimatePopulation && AnyHeld(estimated)),
      estep_(posteriors, pool.Threads()),
      intercept_(itemCount_) {
    for (std::size_t i = 0; i < itemCount_; ++i) intercept_[i] = -items_.a[i] * items_.b[i];
}

void EmCycle::Read(std::span<double> point) const {
    for (std::size_t i = 0; i < itemCount_; ++i) {
        point[3 * i] = items_.a[i];
        point[3 * i + 1] = intercept_[i];
        point[3 * i + 2] = items_.c[i];
    }
    point[3 * itemCount_] = mean_;
    point[3 * itemCount_ + 1] = sd_;
}

void EmCycle::Write(std::span<const double> point) {
    for (std::size_t i = 0; i < itemCount_; ++i) {
        items_.a[i] = point[3 * i];
        intercept_[i] = point[3 * i + 1];
        items_.c[i] = point[3 * i + 2];
        if (Estimates(estimated_, i)) items_.b[i] = LocationOf(items_.a[i], intercept_[i]);
    }
    mean_ = point[3 * itemCount_];
    sd_ = point[3 * itemCount_ + 1];
}

void EmCycle::KeepInBounds(std::span<double> point) const {
    // An extrapolated point is kept where the M-step can go: a above 0
    // under the log-normal prior, every parameter within its reach.
    const double lowestA = priors_.logA.on ? kLowestA : -kSlopeReach;
    const double lowestC = std::max(LowestC(RulesOf(settings_.model), priors_.c.on), kLowestLineC);
    for (std::size_t i = 0; i < itemCount_; ++i) {
        if (!Estimates(estimated_, i)) continue;
        double* p = &point[3 * i];
        if (rasch_) p[0] = std::clamp(p[0], kLowestA, kHighestA);
        if (free_.a) p[0] = std::clamp(p[0], lowestA, kSlopeReach);
        if (free_.b) p[1] = std::clamp(p[1], -kInterceptReach, kInterceptReach);
        if (free_.c) p[2] = std::clamp(p[2], lowestC, 1 - kLowestLineC);
    }
    if (movePopulation_)
        point[3 * itemCount_ + 1] = std::max(point[3 * itemCount_ + 1], kSmallestSd);
}

EmCycle::Objective EmCycle::ExpectationOnly() {
    if (movePopulation_) MoveQuadrature(quadrature_, settings_.quadratureRange, mean_, sd_);
    tables_.FillLines(items_.a, items_.b, intercept_, items_.c, estimated_, quadrature_);
    posteriors_.Fill(tables_, quadrature_);
    estep_.Run(pool_, counts_);
    const double prior = LogPrior(settings_, estimated_, items_);
    return {counts_.logLikelihood, counts_.logLikelihood + prior};
}

void EmCycle::MovePopulation() {
    // The ability distribution's mean and SD from the expected examinees at
    // each point; the grid follows them.
    const int points = quadrature_.Points();
    double n = 0, sum = 0, squares = 0;
    for (int k = 0; k < points; ++k) {
        n += counts_.mass[k];
        sum += counts_.mass[k] * quadrature_.theta[k];
        squares += counts_.mass[k] * quadrature_.theta[k] * quadrature_.theta[k];
    }
    if (!(n > 0)) return;
    const double mean = sum / n;
    const double variance = squares / n - mean * mean;
    if (!(variance > 0)) return;
    mean_ = mean;
    sd_ = std::sqrt(variance);
    MoveQuadrature(quadrature_, settings_.quadratureRange, mean_, sd_);
}

EmCycle::Objective EmCycle::Run() {
    const Objective here = ExpectationOnly();
    if (movePopulation_) MovePopulation();
    const int points = quadrature_.Points();
    pool_.ForEach(itemCount_, [&](std::size_t i) {
        if (!Estimates(estimated_, i)) return;
        MaximiseItem(posteriors_.Kernels(), &counts_.correct[i * points],
                     &counts_.wrong[i * points], quadrature_, priors_, free_, items_.a[i],
                     intercept_[i], items_.c[i]);
        items_.b[i] = LocationOf(items_.a[i], intercept_[i]);
    });
    if (rasch_) {
        double slope = 1;
        for (std::size_t i = 0; i < itemCount_; ++i) {
            if (Estimates(estimated_, i)) slope = items_.a[i];
        }
        MaximiseCommonSlope(posteriors_.Kernels(), counts_, quadrature_, priors_, estimated_,
                            items_, slope);
        for (std::size_t i = 0; i < itemCount_; ++i) {
            if (!Estimates(estimated_, i)) continue;
            items_.a[i] = slope;
            intercept_[i] = -slope * items_.b[i];
        }
    }
    return here;
}

}  // namespace tarvo::mml
