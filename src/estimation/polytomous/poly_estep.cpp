#include "estimation/polytomous/poly_estep.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "estimation/marginal/mml_estep.h"
#include "irt/item_curve.h"
#include "parallel/compute_ahead.h"

namespace tarvo::poly {

EmTables::EmTables(std::span<const Item> items, int points) : points_(points) {
    const std::size_t width = static_cast<std::size_t>(points);
    std::size_t size = 0;
    for (const Item& item : items) {
        offset_.push_back(size);
        categories_.push_back(static_cast<std::size_t>(item.categories));
        size += static_cast<std::size_t>(item.categories) * width;
    }
    offset_.push_back(size);
    logP_.assign(size, 0.0);
    expected_.assign(size, 0.0);
    std::size_t pairs = 0;
    for (std::size_t first = 0; first < items.size(); first += 2) {
        pairStart_.push_back(pairs);
        const std::size_t second = first + 1 < items.size() ? categories_[first + 1] + 1 : 1;
        pairWidth_.push_back(second);
        pairs += (categories_[first] + 1) * second * width;
    }
    pairStart_.push_back(pairs);
    logPairs_.assign(pairs, 0.0);
    totalSums_.assign(pairs, 0.0);
}

void EmTables::FillPairs() {
    const std::size_t width = static_cast<std::size_t>(points_);
    for (std::size_t p = 0; p + 1 < pairStart_.size(); ++p) {
        const std::size_t first = 2 * p;
        const bool second = first + 1 < categories_.size();
        for (std::size_t a = 0; a <= categories_[first]; ++a) {
            for (std::size_t b = 0; b < pairWidth_[p]; ++b) {
                double* row = &logPairs_[pairStart_[p] + (a * pairWidth_[p] + b) * width];
                const bool hasA = a < categories_[first];
                const bool hasB = second && b < categories_[first + 1];
                const double* la = &logP_[offset_[first] + (hasA ? a : 0) * width];
                const double* lb = hasB ? &logP_[offset_[first + 1] + b * width] : nullptr;
                for (std::size_t q = 0; q < width; ++q) {
                    row[q] = (hasA ? la[q] : 0.0) + (hasB ? lb[q] : 0.0);
                }
            }
        }
    }
}

void EmTables::SpreadPairSums(std::span<const double> sums) {
    const std::size_t width = static_cast<std::size_t>(points_);
    std::fill(expected_.begin(), expected_.end(), 0.0);
    for (std::size_t p = 0; p + 1 < pairStart_.size(); ++p) {
        const std::size_t first = 2 * p;
        const bool second = first + 1 < categories_.size();
        for (std::size_t a = 0; a <= categories_[first]; ++a) {
            for (std::size_t b = 0; b < pairWidth_[p]; ++b) {
                const double* from = &sums[pairStart_[p] + (a * pairWidth_[p] + b) * width];
                if (a < categories_[first]) {
                    double* to = &expected_[offset_[first] + a * width];
                    for (std::size_t q = 0; q < width; ++q) to[q] += from[q];
                }
                if (second && b < categories_[first + 1]) {
                    double* to = &expected_[offset_[first + 1] + b * width];
                    for (std::size_t q = 0; q < width; ++q) to[q] += from[q];
                }
            }
        }
    }
}

std::span<double> EmTables::LogProbabilities(std::size_t item) {
    return std::span<double>(logP_).subspan(offset_[item], offset_[item + 1] - offset_[item]);
}

std::span<const double> EmTables::LogProbabilities(std::size_t item) const {
    return std::span<const double>(logP_).subspan(offset_[item], offset_[item + 1] - offset_[item]);
}

std::span<double> EmTables::Expected(std::size_t item) {
    return std::span<double>(expected_).subspan(offset_[item], offset_[item + 1] - offset_[item]);
}

std::span<const double> EmTables::Expected(std::size_t item) const {
    return std::span<const double>(expected_).subspan(offset_[item],
                                                      offset_[item + 1] - offset_[item]);
}

std::span<EmTables::Slot> EmTables::Slots(std::size_t count) {
    if (slots_.size() < count) {
        slots_.resize(count);
        for (Slot& slot : slots_) {
            slot.sums.resize(PairTableSize());
            slot.posterior.resize(static_cast<std::size_t>(points_));
        }
    }
    return std::span<Slot>(slots_).first(count);
}

void FillLogProbabilities(std::span<const Item> items, const mml::Quadrature& quadrature,
                          EmTables& tables) {
    const int points = quadrature.Points();
    std::array<double, kMostCategories> p{};
    for (std::size_t i = 0; i < items.size(); ++i) {
        std::span<double> logP = tables.LogProbabilities(i);
        for (int q = 0; q < points; ++q) {
            CategoryProbabilities(items[i], quadrature.theta[q], p);
            for (int k = 0; k < items[i].categories; ++k) {
                logP[static_cast<std::size_t>(k * points + q)] = LogProbability(p[k]);
            }
        }
    }
    tables.FillPairs();
}

double PosteriorOf(std::span<const std::uint8_t> row, const EmTables& tables,
                   const mml::Quadrature& quadrature, std::span<double> weights,
                   PointRange& range) {
    const int points = quadrature.Points();
    double* w = weights.data();
    std::copy(quadrature.logWeight.begin(), quadrature.logWeight.end(), w);
    // Two pair rows at a time: half the passes over the weights.
    const double* logPairs = tables.LogPairs();
    const std::size_t pairs = tables.Pairs();
    std::size_t p = 0;
    for (; p + 1 < pairs; p += 2) {
        const double* one = logPairs + tables.PairRowAt(p, row);
        const double* two = logPairs + tables.PairRowAt(p + 1, row);
        for (int q = 0; q < points; ++q) w[q] += one[q] + two[q];
    }
    if (p < pairs) {
        const double* add = logPairs + tables.PairRowAt(p, row);
        for (int q = 0; q < points; ++q) w[q] += add[q];
    }
    return mml::NormaliseLogWeights(w, points, range);
}

std::size_t BlockSize(std::size_t persons) { return mml::ExamineeBlockSize(persons); }

namespace {

// The posterior sums by pair row and the log-likelihood of examinees
// from..to into slot.
void SumBlock(Responses responses, std::size_t from, std::size_t to, const EmTables& tables,
              const mml::Quadrature& quadrature, EmTables::Slot& slot) {
    std::fill(slot.sums.begin(), slot.sums.end(), 0.0);
    slot.logLikelihood = 0;
    double* sums = slot.sums.data();
    const double* w = slot.posterior.data();
    for (std::size_t j = from; j < to; ++j) {
        const std::span<const std::uint8_t> row = responses.Row(j);
        PointRange range;
        slot.logLikelihood +=
            PosteriorOf(row, tables, responses.PopulationOf(j, quadrature), slot.posterior, range);
        for (std::size_t p = 0; p < tables.Pairs(); ++p) {
            double* into = sums + tables.PairRowAt(p, row);
            for (int q = range.first; q <= range.last; ++q) into[q] += w[q];
        }
    }
}

}  // namespace

double EStep(std::span<const Item> items, Responses responses, const mml::Quadrature& quadrature,
             EmTables& tables, WorkerPool& pool) {
    FillLogProbabilities(items, quadrature, tables);
    const std::size_t blockSize = BlockSize(responses.persons);
    const std::size_t blocks = (responses.persons + blockSize - 1) / blockSize;
    // One slot per block under way: each thread's, and the one waiting to
    // be added.
    const std::size_t window =
        std::max<std::size_t>(1, std::min<std::size_t>(blocks, pool.Threads() + 1));
    const std::span<EmTables::Slot> slots = tables.Slots(window);
    const std::span<double> total = tables.TotalSums();
    std::fill(total.begin(), total.end(), 0.0);
    double logLikelihood = 0;
    ComputeAheadInOrder(
        pool, blocks, window,
        [&](std::size_t block, std::size_t slot) {
            const std::size_t from = block * blockSize;
            SumBlock(responses, from, std::min(responses.persons, from + blockSize), tables,
                     quadrature, slots[slot]);
        },
        [&](std::size_t block) {
            const EmTables::Slot& slot = slots[block % window];
            logLikelihood += slot.logLikelihood;
            for (std::size_t x = 0; x < total.size(); ++x) total[x] += slot.sums[x];
            return true;
        });
    tables.SpreadPairSums(total);
    return logLikelihood;
}

double EStep(std::span<const Item> items, Responses responses, const mml::Quadrature& quadrature,
             EmTables& tables) {
    WorkerPool alone(1);
    return EStep(items, responses, quadrature, tables, alone);
}

void ScoreExpected(std::span<const Item> items, Responses responses,
                   const mml::Quadrature& quadrature, EmTables& tables, WorkerPool& pool,
                   std::span<double> theta, std::span<double> seTheta) {
    FillLogProbabilities(items, quadrature, tables);
    const std::size_t blockSize = BlockSize(responses.persons);
    const std::size_t blocks = (responses.persons + blockSize - 1) / blockSize;
    const std::span<EmTables::Slot> slots = tables.Slots(pool.Threads());
    pool.ForEach(blocks, [&](std::size_t block, unsigned thread) {
        std::span<double> post = slots[thread].posterior;
        const std::size_t from = block * blockSize;
        const std::size_t to = std::min(responses.persons, from + blockSize);
        for (std::size_t j = from; j < to; ++j) {
            PointRange range;
            PosteriorOf(responses.Row(j), tables, responses.PopulationOf(j, quadrature), post,
                        range);
            double mean = 0, square = 0;
            for (int q = range.first; q <= range.last; ++q) mean += post[q] * quadrature.theta[q];
            for (int q = range.first; q <= range.last; ++q) {
                const double dev = quadrature.theta[q] - mean;
                square += post[q] * dev * dev;
            }
            theta[j] = mean;
            seTheta[j] = std::sqrt(square);
        }
    });
}

}  // namespace tarvo::poly
