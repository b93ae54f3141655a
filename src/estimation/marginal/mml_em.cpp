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

std::vector<double> ItemRestCorrelations(ResponseView responses) {
    const std::size_t items = responses.items;
    // By item: n, sums of x, rest, x^2, rest^2, x rest.
    std::vector<double> sums(6 * items, 0.0);
    for (std::size_t j = 0; j < responses.persons; ++j) {
        const std::span<const std::uint8_t> row = responses.Row(j);
        double total = 0;
        for (const std::uint8_t code : row) total += code <= 1 ? code : 0;
        for (std::size_t i = 0; i < items; ++i) {
            if (row[i] > 1) continue;
            const double x = row[i];
            const double rest = total - x;
            double* s = &sums[6 * i];
            s[0] += 1;
            s[1] += x;
            s[2] += rest;
            s[3] += x * x;
            s[4] += rest * rest;
            s[5] += x * rest;
        }
    }
    std::vector<double> r(items, 0.0);
    for (std::size_t i = 0; i < items; ++i) {
        const double* s = &sums[6 * i];
        const double n = s[0];
        if (n < 2) continue;
        const double vx = s[3] - s[1] * s[1] / n, vy = s[4] - s[2] * s[2] / n;
        if (vx > 0 && vy > 0) r[i] = (s[5] - s[1] * s[2] / n) / std::sqrt(vx * vy);
    }
    return r;
}

void SignStartSlopes(MarginalModel model, ResponseView responses, std::span<const char> estimated,
                     const Priors& priors, ItemSpans items) {
    if (!RulesOf(model).free.a || priors.logA.on) return;
    const std::vector<double> itemRest = ItemRestCorrelations(responses);
    for (std::size_t i = 0; i < responses.items; ++i) {
        if (!Estimates(estimated, i) || !(itemRest[i] < 0)) continue;
        items.a[i] = -items.a[i];
        items.b[i] = -items.b[i];
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
    const EmLoopOutcome loop =
        RunEmLoop(em,
                  EmLoopSettings{settings.maxCycles, settings.tolerance,
                                 settings.logLikelihoodTolerance, settings.accelerate},
                  report);
    EmOutcome outcome;
    outcome.cycles = loop.cycles;
    outcome.converged = loop.converged;
    outcome.stopped = loop.stopped;
    outcome.largestChange = loop.largestChange;
    outcome.keptObjectives = loop.keptObjectives;
    outcome.extrapolations = loop.extrapolations;
    outcome.refused = loop.refused;
    // The counts and the likelihood at the final estimates.
    const EmCycle::Objective end = em.ExpectationOnly();
    outcome.logLikelihood = end.logLikelihood;
    outcome.logPosterior = end.logPosterior;
    outcome.keptObjectives.push_back(end.logPosterior);
    outcome.populationMean = em.PopulationMean();
    outcome.populationSd = em.PopulationSd();
    return outcome;
}

}  // namespace tarvo::mml
