#include "estimation/marginal/mml_estep.h"

#include <algorithm>
#include <cmath>

#include "estimation/marginal/mml_curve.h"

namespace tarvo::mml {

namespace {

// Examinees whose posteriors are formed before the pattern sums take them
// up, and how many of them one task forms.
constexpr std::size_t kChunk = 1024;
constexpr std::size_t kPerTask = 64;
// Posterior weights below exp(-40) of the largest do not reach the counts.
constexpr double kNegligibleLog = -40;

// Turns log weights w (unnormalised log posterior) into posterior weights,
// leaving out the negligible ones; returns the log of the normalising sum.
double Normalise(double* w, int points, PosteriorRange& range) {
    double top = w[0];
    for (int k = 1; k < points; ++k) top = std::max(top, w[k]);
    range.first = 0;
    while (w[range.first] - top < kNegligibleLog) ++range.first;
    range.last = points - 1;
    while (w[range.last] - top < kNegligibleLog) --range.last;
    double sum = 0;
    for (int k = 0; k < points; ++k) {
        const bool kept = k >= range.first && k <= range.last;
        w[k] = kept ? std::exp(w[k] - top) : 0.0;
        sum += w[k];
    }
    const double scale = 1 / sum;
    for (int k = range.first; k <= range.last; ++k) w[k] *= scale;
    return top + std::log(sum);
}

}  // namespace

void ExpectedCounts::Resize(std::size_t items, int points) {
    correct.assign(items * points, 0.0);
    wrong.assign(items * points, 0.0);
    mass.assign(points, 0.0);
    logLikelihood = 0;
}

void LogCurveTables::Fill(std::span<const double> a, std::span<const double> b,
                          std::span<const double> c, const Quadrature& quadrature) {
    const std::size_t items = a.size();
    const int points = quadrature.Points();
    logP.resize(items * points);
    logQ.resize(items * points);
    for (std::size_t i = 0; i < items; ++i) {
        for (int k = 0; k < points; ++k) {
            const Curve cv = CurveAt(quadrature.theta[k], a[i], b[i], c[i]);
            logP[i * points + k] = LogProbability(cv.p);
            logQ[i * points + k] = LogProbability(cv.q);
        }
    }
}

double Posterior(std::span<const std::uint8_t> row, const LogCurveTables& tables,
                 const Quadrature& quadrature, std::span<double> weights, PosteriorRange& range) {
    const int points = quadrature.Points();
    double* w = weights.data();
    std::copy(quadrature.logWeight.begin(), quadrature.logWeight.end(), w);
    for (std::size_t i = 0; i < row.size(); ++i) {
        const std::uint8_t code = row[i];
        if (code > 1) continue;
        const double* add = (code == 1 ? tables.logP.data() : tables.logQ.data()) + i * points;
        for (int k = 0; k < points; ++k) w[k] += add[k];
    }
    return Normalise(w, points, range);
}

EStep::EStep(ResponseView responses, int points)
    : responses_(responses),
      points_(points),
      groups_((responses.items + kGroupSize - 1) / kGroupSize),
      patterns_(responses.persons * groups_),
      groupTables_(groups_ * kPatterns * points),
      patternSums_(groups_ * kPatterns * points),
      chunkWeights_(kChunk * points),
      chunkRanges_(kChunk),
      chunkLogLikelihoods_(kChunk) {
    // Pattern of a group: the sum of digit * 3^t over its items t, digit 1
    // correct, 0 incorrect, 2 missing (an item past the last counts as
    // missing).
    for (std::size_t j = 0; j < responses.persons; ++j) {
        const auto row = responses.Row(j);
        for (std::size_t g = 0; g < groups_; ++g) {
            int pattern = 0;
            for (int t = kGroupSize - 1; t >= 0; --t) {
                const std::size_t i = g * kGroupSize + t;
                const int digit = i < row.size() && row[i] <= 1 ? row[i] : 2;
                pattern = pattern * 3 + digit;
            }
            patterns_[j * groups_ + g] = static_cast<std::uint8_t>(pattern);
        }
    }
}

void EStep::FillGroupTables(const LogCurveTables& tables) {
    const int points = points_;
    std::fill(groupTables_.begin(), groupTables_.end(), 0.0);
    for (std::size_t g = 0; g < groups_; ++g) {
        for (int p = 0; p < kPatterns; ++p) {
            double* row = &groupTables_[(g * kPatterns + p) * points];
            int rest = p;
            for (int t = 0; t < kGroupSize; ++t, rest /= 3) {
                const int digit = rest % 3;
                const std::size_t i = g * kGroupSize + t;
                if (digit == 2 || i >= responses_.items) continue;
                const double* add =
                    (digit == 1 ? tables.logP.data() : tables.logQ.data()) + i * points;
                for (int k = 0; k < points; ++k) row[k] += add[k];
            }
        }
    }
}

double EStep::PatternPosterior(std::size_t j, const Quadrature& quadrature, double* w,
                               PosteriorRange& range) const {
    const int points = points_;
    std::copy(quadrature.logWeight.begin(), quadrature.logWeight.end(), w);
    const std::uint8_t* pattern = &patterns_[j * groups_];
    for (std::size_t g = 0; g < groups_; ++g) {
        const double* add = &groupTables_[(g * kPatterns + pattern[g]) * points];
        for (int k = 0; k < points; ++k) w[k] += add[k];
    }
    return Normalise(w, points, range);
}

void EStep::Run(const LogCurveTables& tables, const Quadrature& quadrature, WorkerPool& pool,
                ExpectedCounts& out) {
    const int points = points_;
    const std::size_t persons = responses_.persons;
    FillGroupTables(tables);
    std::fill(patternSums_.begin(), patternSums_.end(), 0.0);
    out.Resize(responses_.items, points);

    for (std::size_t from = 0; from < persons; from += kChunk) {
        const std::size_t size = std::min(kChunk, persons - from);
        const std::size_t tasks = (size + kPerTask - 1) / kPerTask;
        pool.ForEach(tasks, [&](std::size_t task) {
            const std::size_t last = std::min(size, (task + 1) * kPerTask);
            for (std::size_t s = task * kPerTask; s < last; ++s) {
                chunkLogLikelihoods_[s] = PatternPosterior(
                    from + s, quadrature, &chunkWeights_[s * points], chunkRanges_[s]);
            }
        });
        for (std::size_t s = 0; s < size; ++s) out.logLikelihood += chunkLogLikelihoods_[s];
        pool.ForEach(groups_, [&](std::size_t g) {
            double* sums = &patternSums_[g * kPatterns * points];
            for (std::size_t s = 0; s < size; ++s) {
                const PosteriorRange range = chunkRanges_[s];
                const int length = range.last - range.first + 1;
                const double* w = &chunkWeights_[s * points + range.first];
                double* to = sums + patterns_[(from + s) * groups_ + g] * points + range.first;
                for (int k = 0; k < length; ++k) to[k] += w[k];
            }
        });
    }

    // Spread the pattern sums over the items; group 0's patterns together
    // hold every examinee once, which gives the mass at each point.
    for (std::size_t g = 0; g < groups_; ++g) {
        for (int p = 0; p < kPatterns; ++p) {
            const double* sums = &patternSums_[(g * kPatterns + p) * points];
            if (g == 0) {
                for (int k = 0; k < points; ++k) out.mass[k] += sums[k];
            }
            int rest = p;
            for (int t = 0; t < kGroupSize; ++t, rest /= 3) {
                const int digit = rest % 3;
                const std::size_t i = g * kGroupSize + t;
                if (digit == 2 || i >= responses_.items) continue;
                double* to = (digit == 1 ? out.correct.data() : out.wrong.data()) + i * points;
                for (int k = 0; k < points; ++k) to[k] += sums[k];
            }
        }
    }
}

}  // namespace tarvo::mml
