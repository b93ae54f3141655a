#include "estimation/marginal/mml_em.h"

#include <algorithm>
#include <cmath>

#include "estimation/marginal/mml_em_cycle.h"
#include "estimation/marginal/mml_squarem.h"
#include "irt/item_curve.h"

namespace tarvo::mml {

namespace {

constexpr double kStartA = 1;
constexpr double kStartCWithoutPrior = 0.2;
// The first extrapolation may already be long: EM's first steps from the
// start values point the way well, and a refused step costs one cycle.
constexpr double kFirstLongestStep = 16;

bool Estimates(std::span<const char> estimated, std::size_t i) { return estimated[i] != 0; }

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

EmOutcome RunEm(PatternPosteriors& posteriors, const MarginalSettings& settings,
                std::span<const char> estimated, ItemSpans items, WorkerPool& pool,
                Quadrature& quadrature, ExpectedCounts& counts, const CycleReport& report) {
    EmCycle em(posteriors, settings, estimated, items, pool, quadrature, counts);
    const std::size_t size = em.PointSize();
    std::vector<double> x0(size), x1(size), x2(size), extrapolated(size);
    em.Read(x0);

    EmOutcome outcome;
    double previousLogLikelihood = 0;
    // One cycle from the point from, its next point into to.
    struct Step {
        EmCycle::Objective objective;
        bool settled = false;  // the change tests are met
        bool last = false;     // stopped, or the cycle limit reached
    };
    auto cycle = [&](const std::vector<double>& from, std::vector<double>& to) {
        Step step;
        em.Write(from);
        step.objective = em.Run();
        em.Read(to);
        double largest = 0;
        for (std::size_t p = 0; p < em.ItemEntries(); ++p) {
            largest = std::max(largest, std::fabs(to[p] - from[p]));
        }
        const double logLikelihood = step.objective.logLikelihood;
        const double llChange = std::fabs(logLikelihood - previousLogLikelihood);
        previousLogLikelihood = logLikelihood;
        ++outcome.cycles;
        outcome.largestChange = largest;
        step.settled = outcome.cycles > 1 && largest < settings.tolerance &&
                       llChange < settings.logLikelihoodTolerance;
        if (!report(outcome.cycles, largest, logLikelihood)) {
            outcome.stopped = true;
            step.last = true;
        }
        step.last = step.last || outcome.cycles >= settings.maxCycles;
        return step;
    };

    // The estimates the run ends with.
    std::vector<double>* final = &x1;
    double longest = kFirstLongestStep;  // the longest extrapolation step allowed now
    for (;;) {
        const Step first = cycle(x0, x1);
        outcome.keptObjectives.push_back(first.objective.logPosterior);
        final = &x1;
        if (first.settled || first.last) {
            outcome.converged = first.settled && !outcome.stopped;
            break;
        }
        if (!settings.accelerate) {
            std::swap(x0, x1);
            continue;
        }
        const Step second = cycle(x1, x2);
        final = &x2;
        if (second.settled || second.last) {
            outcome.converged = second.settled && !outcome.stopped;
            break;
        }
        const double alpha = SquaredStepLength(x0, x1, x2, longest);
        if (alpha == -1) {
            // No longer than EM's own two steps: go on from x2 (and allow
            // longer steps next time when this was the longest allowed).
            if (longest == 1) longest = kStepGrowth;
            std::swap(x0, x2);
            continue;
        }
        SquaredExtrapolation(x0, x1, x2, alpha, extrapolated);
        em.KeepInBounds(extrapolated);
        ++outcome.extrapolations;
        const Step jump = cycle(extrapolated, x0);
        const double reached = jump.objective.logPosterior;
        const bool kept = std::isfinite(reached) && reached >= second.objective.logPosterior;
        if (kept) {
            if (alpha == -longest) longest *= kStepGrowth;
            final = &x0;
        } else {
            ++outcome.refused;
            if (alpha == -longest) longest = std::max(1.0, longest / kStepGrowth);
            std::swap(x0, x2);
            final = &x0;
        }
        if ((kept && jump.settled) || jump.last) {
            outcome.converged = kept && jump.settled && !outcome.stopped;
            break;
        }
    }
    // The counts and the likelihood at the final estimates.
    em.Write(*final);
    const EmCycle::Objective end = em.ExpectationOnly();
    outcome.logLikelihood = end.logLikelihood;
    outcome.logPosterior = end.logPosterior;
    outcome.keptObjectives.push_back(end.logPosterior);
    outcome.populationMean = em.PopulationMean();
    outcome.populationSd = em.PopulationSd();
    return outcome;
}

}  // namespace tarvo::mml
