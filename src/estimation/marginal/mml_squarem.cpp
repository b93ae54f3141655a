#include "estimation/marginal/mml_squarem.h"

#include <algorithm>
#include <cmath>

namespace tarvo::mml {

namespace {

// The first extrapolation may already be long: EM's first steps from the
// start values point the way well, and a refused step costs one cycle.
constexpr double kFirstLongestStep = 16;

}  // namespace

double SquaredStepLength(std::span<const double> x0, std::span<const double> x1,
                         std::span<const double> x2, double longest) {
    double rr = 0, vv = 0;
    for (std::size_t p = 0; p < x0.size(); ++p) {
        const double r = x1[p] - x0[p];
        const double v = (x2[p] - x1[p]) - r;
        rr += r * r;
        vv += v * v;
    }
    if (!(vv > 0) || !std::isfinite(rr) || !std::isfinite(vv)) return -1;
    return std::clamp(-std::sqrt(rr / vv), -longest, -1.0);
}

void SquaredExtrapolation(std::span<const double> x0, std::span<const double> x1,
                          std::span<const double> x2, double alpha, std::span<double> out) {
    for (std::size_t p = 0; p < x0.size(); ++p) {
        const double r = x1[p] - x0[p];
        const double v = (x2[p] - x1[p]) - r;
        // A parameter EM does not move stays exactly where it is.
        out[p] = r == 0 && v == 0 ? x0[p] : x0[p] - 2 * alpha * r + alpha * alpha * v;
    }
}

EmLoopOutcome RunEmLoop(EmMap& map, const EmLoopSettings& settings, const EmLoopReport& report) {
    const std::size_t size = map.PointSize();
    std::vector<double> x0(size), x1(size), x2(size), extrapolated(size);
    map.Read(x0);

    EmLoopOutcome outcome;
    double previousLogLikelihood = 0;
    // One cycle from the point from, its next point into to.
    struct Step {
        EmMap::Objective objective;
        bool settled = false;  // the change tests are met
        bool last = false;     // stopped, or the cycle limit reached
    };
    auto cycle = [&](const std::vector<double>& from, std::vector<double>& to) {
        Step step;
        map.Write(from);
        step.objective = map.Run();
        map.Read(to);
        double largest = 0;
        for (std::size_t p = 0; p < map.ItemEntries(); ++p) {
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

    // The estimates the loop ends with.
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
        map.KeepInBounds(extrapolated);
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
    map.Write(*final);
    return outcome;
}

}  // namespace tarvo::mml
