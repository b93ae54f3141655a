#include "estimation/marginal/mml_scoring.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "core/estimate_bounds.h"
#include "irt/item_curve.h"

namespace tarvo::mml {

namespace {

constexpr std::size_t kExamineesPerTask = 256;
constexpr int kMostNewtonSteps = 50;

std::int32_t ValidCount(std::span<const std::uint8_t> row) {
    std::int32_t n = 0;
    for (std::uint8_t code : row) n += code <= 1 ? 1 : 0;
    return n;
}

// The log posterior of one examinee at theta with its first two derivatives.
struct ThetaObjective {
    double value = 0, first = 0, second = 0;
};

ThetaObjective LogPosteriorAt(std::span<const std::uint8_t> row, ItemSpans items, double theta,
                              double mean, double sd) {
    ThetaObjective o;
    for (std::size_t i = 0; i < row.size(); ++i) {
        const std::uint8_t code = row[i];
        if (code > 1) continue;
        const Curve cv = CurveAt(theta, items.a[i], items.b[i], items.c[i]);
        // Kept off 0 so that a held item with a very steep curve adds a
        // finite term.
        const double p = std::max(cv.p, 1e-300);
        const double q = std::max(cv.q, 1e-300);
        const double s1 = cv.s * (1 - cv.s);
        const double slope = kD * items.a[i];
        const double dp = (1 - items.c[i]) * s1 * slope;
        const double ddp = (1 - items.c[i]) * s1 * (1 - 2 * cv.s) * slope * slope;
        if (code == 1) {
            o.value += LogProbability(p);
            o.first += dp / p;
            o.second += ddp / p - dp * dp / (p * p);
        } else {
            o.value += LogProbability(q);
            o.first -= dp / q;
            o.second += -ddp / q - dp * dp / (q * q);
        }
    }
    const double z = (theta - mean) / sd;
    o.value -= 0.5 * z * z;
    o.first -= z / sd;
    o.second -= 1 / (sd * sd);
    return o;
}

template <typename Body>
void ForEachTask(std::size_t persons, ExamineeBlock block, WorkerPool& pool, Body body) {
    const std::size_t last = std::min(persons, block.to);
    if (block.from >= last) return;
    const std::size_t count = last - block.from;
    const std::size_t tasks = (count + kExamineesPerTask - 1) / kExamineesPerTask;
    pool.ForEach(tasks, [&](std::size_t task, unsigned thread) {
        const std::size_t from = block.from + task * kExamineesPerTask;
        const std::size_t to = std::min(last, from + kExamineesPerTask);
        body(from, to, thread);
    });
}

}  // namespace

void ScoreEap(const PatternPosteriors& posteriors, const Quadrature& quadrature, WorkerPool& pool,
              ScoreSpans out, ExamineeBlock block) {
    const ResponseView responses = posteriors.Responses();
    const std::size_t stride = posteriors.Stride();
    std::vector<double> weights(static_cast<std::size_t>(pool.Threads()) * stride);
    ForEachTask(responses.persons, block, pool,
                [&](std::size_t from, std::size_t to, unsigned thread) {
                    double* w = &weights[static_cast<std::size_t>(thread) * stride];
                    for (std::size_t j = from; j < to; ++j) {
                        const auto row = responses.Row(j);
                        PosteriorRange range;
                        posteriors.Posterior(j, w, range);
                        double mean = 0;
                        for (int k = range.first; k <= range.last; ++k)
                            mean += w[k] * quadrature.theta[k];
                        double variance = 0;
                        for (int k = range.first; k <= range.last; ++k) {
                            const double d = quadrature.theta[k] - mean;
                            variance += w[k] * d * d;
                        }
                        out.theta[j] = mean;
                        out.seetheta[j] = std::sqrt(variance);
                        out.Nvalid[j] = ValidCount(row);
                    }
                });
}

void ScoreMap(const PatternPosteriors& posteriors, ItemSpans items, const Quadrature& quadrature,
              double mean, double sd, WorkerPool& pool, ScoreSpans out, ExamineeBlock block) {
    const ResponseView responses = posteriors.Responses();
    ScoreEap(posteriors, quadrature, pool, out, block);
    const double low = quadrature.theta.front();
    const double high = quadrature.theta.back();
    ForEachTask(responses.persons, block, pool, [&](std::size_t from, std::size_t to, unsigned) {
        for (std::size_t j = from; j < to; ++j) {
            const auto row = responses.Row(j);
            double theta = out.theta[j];
            ThetaObjective here = LogPosteriorAt(row, items, theta, mean, sd);
            for (int step = 0; step < kMostNewtonSteps; ++step) {
                double move = here.second < 0 ? -here.first / here.second : 0.1 * here.first;
                move = std::clamp(move, -1.0, 1.0);
                bool moved = false;
                for (int halving = 0; halving < 30; ++halving, move *= 0.5) {
                    const double trial = std::clamp(theta + move, low, high);
                    const ThetaObjective there = LogPosteriorAt(row, items, trial, mean, sd);
                    if (there.value >= here.value) {
                        moved = std::fabs(trial - theta) > 1e-10;
                        theta = trial;
                        here = there;
                        break;
                    }
                }
                if (!moved) break;
            }
            out.theta[j] = theta;
            out.seetheta[j] = here.second < 0
                                  ? std::min(kStandardErrorCap, 1 / std::sqrt(-here.second))
                                  : kStandardErrorCap;
        }
    });
}

}  // namespace tarvo::mml
