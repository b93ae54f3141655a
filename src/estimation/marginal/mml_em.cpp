#include "estimation/marginal/mml_em.h"

#include <algorithm>
#include <cmath>

#include "estimation/marginal/mml_curve.h"

namespace tarvo::mml {

namespace {

constexpr double kStartA = 1;
constexpr double kStartCWithoutPrior = 0.2;
// Newton steps on the Rasch model's common slope per M-step.
constexpr int kCommonSlopeSteps = 20;

bool Estimates(std::span<const char> estimated, std::size_t i) { return estimated[i] != 0; }

// The common slope of the Rasch model: Newton's method on the sum of the
// items' expected log-likelihoods (in item order) plus the slope's prior,
// with step halving, the items' b held.
void MaximiseCommonSlope(const ExpectedCounts& counts, const Quadrature& quadrature,
                         const Priors& priors, std::span<const char> estimated, ItemSpans items,
                         double& slope) {
    const int points = quadrature.Points();
    auto evaluate = [&](double a) {
        ItemObjective total;
        for (std::size_t i = 0; i < items.a.size(); ++i) {
            if (!Estimates(estimated, i)) continue;
            const ItemObjective o =
                ItemExpectedLogLikelihood(&counts.correct[i * points], &counts.wrong[i * points],
                                          quadrature, a, items.b[i], items.c[i]);
            total.value += o.value;
            total.gradient[0] += o.gradient[0];
            total.hessian[0][0] += o.hessian[0][0];
        }
        AddPriors(total, a, 0, 0, Priors{priors.logA, {}, {}}, FreeParameters{true, false, false});
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

}  // namespace

void SetStartValues(MarginalModel model, ResponseView responses, std::span<const char> estimated,
                    const Priors& priors, ItemSpans items) {
    const MarginalModelRules& rules = RulesOf(model);
    const FreeParameters free = rules.free;
    double startC = kStartCWithoutPrior;
    if (priors.c.on && priors.c.alpha > 1 && priors.c.beta > 1) {
        startC = (priors.c.alpha - 1) / (priors.c.alpha + priors.c.beta - 2);
    }
    for (std::size_t i = 0; i < responses.items; ++i) {
        if (!Estimates(estimated, i)) continue;
        double right = 0, valid = 0;
        for (std::size_t j = 0; j < responses.persons; ++j) {
            const std::uint8_t code = responses.codes[j * responses.items + i];
            if (code > 1) continue;
            valid += 1;
            right += code;
        }
        double c = items.c[i];
        if (free.c) c = startC;
        if (rules.cIsZero) c = 0;
        // The proportion above the floor c, kept off 0 and 1; for a slope of
        // 1 on this metric the marginal curve is about the normal ogive with
        // b scaled by sqrt(2).
        const double share = (right + 0.5) / (valid + 1);
        const double above = std::clamp((share - c) / (1 - c), 0.05, 0.95);
        items.a[i] = kStartA;
        items.b[i] = std::clamp(-std::log(above / (1 - above)) / kD * std::sqrt(2.0), -4.0, 4.0);
        items.c[i] = c;
    }
}

double LogPrior(const MarginalSettings& settings, std::span<const char> estimated,
                ItemSpans items) {
    const Priors priors = PriorsFor(settings);
    const MarginalModelRules& rules = RulesOf(settings.model);
    double total = 0;
    bool slopeCounted = false;
    for (std::size_t i = 0; i < items.a.size(); ++i) {
        if (!Estimates(estimated, i)) continue;
        ItemObjective o;
        AddPriors(o, items.a[i], items.b[i], items.c[i], priors, rules.free);
        total += o.value;
        if (rules.commonSlope && !slopeCounted) {
            ItemObjective s;
            AddPriors(s, items.a[i], 0, 0, priors, FreeParameters{true, false, false});
            total += s.value;
            slopeCounted = true;
        }
    }
    return total;
}

EmOutcome RunEm(ResponseView responses, const MarginalSettings& settings,
                std::span<const char> estimated, ItemSpans items, WorkerPool& pool,
                Quadrature& quadrature, ExpectedCounts& counts, const CycleReport& report) {
    const std::size_t itemCount = responses.items;
    const int points = quadrature.Points();
    const FreeParameters free = RulesOf(settings.model).free;
    const Priors priors = PriorsFor(settings);
    const bool rasch = RulesOf(settings.model).commonSlope;
    bool anyFixed = false;
    for (std::size_t i = 0; i < itemCount; ++i) anyFixed = anyFixed || !Estimates(estimated, i);
    const bool movePopulation = settings.estimatePopulation && anyFixed;

    EStep estep(responses, points);
    LogCurveTables tables;
    std::vector<double> before(3 * itemCount);
    double slope = kStartA;
    for (std::size_t i = 0; i < itemCount; ++i) {
        if (rasch && Estimates(estimated, i)) slope = items.a[i];
    }

    EmOutcome outcome;
    double previousLogLikelihood = 0;
    for (int cycle = 1; cycle <= settings.maxCycles; ++cycle) {
        tables.Fill(items.a, items.b, items.c, quadrature);
        estep.Run(tables, quadrature, pool, counts);
        if (movePopulation) {
            // The ability distribution's mean and SD from the expected
            // examinees at each point; the grid follows them.
            double n = 0, sum = 0, squares = 0;
            for (int k = 0; k < points; ++k) {
                n += counts.mass[k];
                sum += counts.mass[k] * quadrature.theta[k];
                squares += counts.mass[k] * quadrature.theta[k] * quadrature.theta[k];
            }
            if (n > 0) {
                const double mean = sum / n;
                const double variance = squares / n - mean * mean;
                if (variance > 0) {
                    outcome.populationMean = mean;
                    outcome.populationSd = std::sqrt(variance);
                    MoveQuadrature(quadrature, settings.quadratureRange, mean,
                                   outcome.populationSd);
                }
            }
        }
        for (std::size_t i = 0; i < itemCount; ++i) {
            before[3 * i] = items.a[i];
            before[3 * i + 1] = items.b[i];
            before[3 * i + 2] = items.c[i];
        }
        pool.ForEach(itemCount, [&](std::size_t i) {
            if (!Estimates(estimated, i)) return;
            MaximiseItem(&counts.correct[i * points], &counts.wrong[i * points], quadrature, priors,
                         free, items.a[i], items.b[i], items.c[i]);
        });
        if (rasch) {
            MaximiseCommonSlope(counts, quadrature, priors, estimated, items, slope);
            for (std::size_t i = 0; i < itemCount; ++i) {
                if (Estimates(estimated, i)) items.a[i] = slope;
            }
        }
        double largest = 0;
        for (std::size_t i = 0; i < itemCount; ++i) {
            largest = std::max({largest, std::fabs(items.a[i] - before[3 * i]),
                                std::fabs(items.b[i] - before[3 * i + 1]),
                                std::fabs(items.c[i] - before[3 * i + 2])});
        }
        const double llChange = std::fabs(counts.logLikelihood - previousLogLikelihood);
        previousLogLikelihood = counts.logLikelihood;
        outcome.cycles = cycle;
        outcome.largestChange = largest;
        if (!report(cycle, largest, counts.logLikelihood)) {
            outcome.stopped = true;
            break;
        }
        if (cycle > 1 && largest < settings.tolerance &&
            llChange < settings.logLikelihoodTolerance) {
            outcome.converged = true;
            break;
        }
    }
    // The counts and the likelihood at the final estimates.
    tables.Fill(items.a, items.b, items.c, quadrature);
    estep.Run(tables, quadrature, pool, counts);
    outcome.logLikelihood = counts.logLikelihood;
    outcome.logPosterior = counts.logLikelihood + LogPrior(settings, estimated, items);
    return outcome;
}

}  // namespace tarvo::mml
