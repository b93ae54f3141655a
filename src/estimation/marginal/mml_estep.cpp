#include "estimation/marginal/mml_estep.h"

#include <algorithm>
#include <cmath>

#include "parallel/compute_ahead.h"

namespace tarvo::mml {

namespace {

// Examinees per block: about a sixteenth of them, so that two or three
// threads share the work evenly, within bounds that keep a block's own
// sums worth their adding up.
constexpr std::size_t kBlocksWanted = 16;
constexpr std::size_t kSmallestBlock = 256;
constexpr std::size_t kLargestBlock = 4096;

// Examinees whose posteriors are formed and added together, a few groups
// at a time: the rows of those groups they use stay in the first cache.
constexpr std::size_t kBatch = 32;

}  // namespace

std::size_t ExamineeBlockSize(std::size_t persons) {
    return std::clamp((persons + kBlocksWanted - 1) / kBlocksWanted, kSmallestBlock, kLargestBlock);
}

double NormaliseLogWeights(double* w, int points, PosteriorRange& range) {
    double top = w[0];
    for (int k = 1; k < points; ++k) top = std::max(top, w[k]);
    range.first = 0;
    while (w[range.first] - top < kNegligibleLogWeight) ++range.first;
    range.last = points - 1;
    while (w[range.last] - top < kNegligibleLogWeight) --range.last;
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

void ExpectedCounts::Resize(std::size_t items, int points) {
    correct.assign(items * points, 0.0);
    wrong.assign(items * points, 0.0);
    mass.assign(points, 0.0);
    logLikelihood = 0;
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
    return NormaliseLogWeights(w, points, range);
}

EStep::EStep(const PatternPosteriors& posteriors, unsigned threads)
    : posteriors_(posteriors),
      blockSize_(ExamineeBlockSize(posteriors.Responses().persons)),
      patternSums_(posteriors.Groups() * PatternPosteriors::kPatterns * posteriors.Stride()) {
    // One slot per block under way: each thread's, and the one waiting to
    // be added.
    const std::size_t blocks = (posteriors.Responses().persons + blockSize_ - 1) / blockSize_;
    slots_.resize(std::max<std::size_t>(1, std::min<std::size_t>(blocks, threads + 1)));
    for (Slot& slot : slots_) {
        slot.sums.resize(patternSums_.size());
        slot.weights.resize(kBatch * posteriors.Stride());
        slot.batch.resize(kBatch);
    }
}

void EStep::ComputeBlock(std::size_t block, Slot& slot) const {
    const std::size_t persons = posteriors_.Responses().persons;
    const std::size_t from = block * blockSize_;
    const std::size_t to = std::min(persons, from + blockSize_);
    const PatternTablesView tables = posteriors_.Tables();
    const MarginalKernels& kernels = posteriors_.Kernels();
    std::fill(slot.sums.begin(), slot.sums.end(), 0.0);
    slot.logLikelihood = 0;
    double* w = slot.weights.data();
    PosteriorSums* batch = slot.batch.data();
    for (std::size_t j = from; j < to; j += kBatch) {
        const std::size_t count = std::min(kBatch, to - j);
        kernels.posteriors(tables, posteriors_.PatternsOf(j), count, w, batch);
        for (std::size_t b = 0; b < count; ++b) {
            slot.logLikelihood += batch[b].top + std::log(batch[b].sum);
        }
        kernels.addPosteriors(tables, slot.sums.data(), posteriors_.PatternsOf(j), count, w, batch);
    }
}

void EStep::Run(WorkerPool& pool, ExpectedCounts& out) {
    const ResponseView responses = posteriors_.Responses();
    const int points = posteriors_.Points();
    const std::size_t stride = posteriors_.Stride();
    const std::size_t groups = posteriors_.Groups();
    const std::size_t blocks = (responses.persons + blockSize_ - 1) / blockSize_;
    std::fill(patternSums_.begin(), patternSums_.end(), 0.0);
    out.Resize(responses.items, points);

    ComputeAheadInOrder(
        pool, blocks, slots_.size(),
        [&](std::size_t block, std::size_t slot) { ComputeBlock(block, slots_[slot]); },
        [&](std::size_t block) {
            const Slot& slot = slots_[block % slots_.size()];
            out.logLikelihood += slot.logLikelihood;
            for (std::size_t x = 0; x < patternSums_.size(); ++x) patternSums_[x] += slot.sums[x];
            return true;
        });

    // Spread the pattern sums over the items; group 0's patterns together
    // hold every examinee once, which gives the mass at each point.
    constexpr int kPatterns = PatternPosteriors::kPatterns;
    for (std::size_t g = 0; g < groups; ++g) {
        for (int p = 0; p < kPatterns; ++p) {
            const double* sums = &patternSums_[(g * kPatterns + p) * stride];
            if (g == 0) {
                for (int k = 0; k < points; ++k) out.mass[k] += sums[k];
            }
            int rest = p;
            for (int t = 0; t < PatternPosteriors::kGroupSize; ++t, rest /= 3) {
                const int digit = rest % 3;
                const std::size_t i = g * PatternPosteriors::kGroupSize + t;
                if (digit == 2 || i >= responses.items) continue;
                double* to = (digit == 1 ? out.correct.data() : out.wrong.data()) + i * points;
                for (int k = 0; k < points; ++k) to[k] += sums[k];
            }
        }
    }
}

}  // namespace tarvo::mml
