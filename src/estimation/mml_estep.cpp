#include "estimation/mml_estep.h"

#include <algorithm>
#include <cmath>

#include "estimation/mml_curve.h"

namespace tarvo::mml {

namespace {

// At most this many blocks, of at least this many examinees: enough blocks
// to keep every thread busy, few enough that their counts stay small.
constexpr std::size_t kMostBlocks = 32;
constexpr std::size_t kFewestPerBlock = 64;
// Posterior weights below exp(-40) of the largest do not reach the counts.
constexpr double kNegligibleLog = -40;

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
            logP[i * points + k] = std::log(cv.p);
            logQ[i * points + k] = std::log(cv.q);
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

EStep::EStep(ResponseView responses, int points) : responses_(responses), points_(points) {
    const std::size_t persons = responses.persons;
    std::size_t count = (persons + kFewestPerBlock - 1) / kFewestPerBlock;
    count = std::clamp<std::size_t>(count, 1, kMostBlocks);
    blocks_.resize(count);
    const std::size_t cells = responses.items * points;
    for (std::size_t n = 0; n < count; ++n) {
        Block& block = blocks_[n];
        block.from = persons * n / count;
        block.to = persons * (n + 1) / count;
        block.correct.resize(cells);
        block.wrong.resize(cells);
        block.mass.resize(points);
        block.weights.resize(points);
    }
}

void EStep::RunBlock(Block& block, const LogCurveTables& tables,
                     const Quadrature& quadrature) const {
    std::fill(block.correct.begin(), block.correct.end(), 0.0);
    std::fill(block.wrong.begin(), block.wrong.end(), 0.0);
    std::fill(block.mass.begin(), block.mass.end(), 0.0);
    block.logLikelihood = 0;
    const int points = points_;
    double* w = block.weights.data();
    for (std::size_t j = block.from; j < block.to; ++j) {
        const auto row = responses_.Row(j);
        PosteriorRange range;
        block.logLikelihood += Posterior(row, tables, quadrature, block.weights, range);
        const int first = range.first;
        const int length = range.last - range.first + 1;
        const double* wk = w + first;
        for (int k = 0; k < length; ++k) block.mass[first + k] += wk[k];
        for (std::size_t i = 0; i < row.size(); ++i) {
            const std::uint8_t code = row[i];
            if (code > 1) continue;
            double* to =
                (code == 1 ? block.correct.data() : block.wrong.data()) + i * points + first;
            for (int k = 0; k < length; ++k) to[k] += wk[k];
        }
    }
}

void EStep::Run(const LogCurveTables& tables, const Quadrature& quadrature, WorkerPool& pool,
                ExpectedCounts& out) {
    pool.ForEach(blocks_.size(), [&](std::size_t n) { RunBlock(blocks_[n], tables, quadrature); });
    out.Resize(responses_.items, points_);
    for (const Block& block : blocks_) {
        for (std::size_t x = 0; x < out.correct.size(); ++x) {
            out.correct[x] += block.correct[x];
            out.wrong[x] += block.wrong[x];
        }
        for (int k = 0; k < points_; ++k) out.mass[k] += block.mass[k];
        out.logLikelihood += block.logLikelihood;
    }
}

}  // namespace tarvo::mml
