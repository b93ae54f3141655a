#include "estimation/polytomous/poly_estep.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "estimation/kernels/mml_kernels.h"
#include "estimation/marginal/mml_estep.h"
#include "irt/item_curve.h"
#include "parallel/compute_ahead.h"

namespace tarvo::poly {

EmTables::EmTables(std::span<const Item> items, int points, VectorUnit unit)
    : points_(points), stride_(PointStride(points)), kernels_(MarginalKernelsFor(unit)) {
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
    // Groups of consecutive items: a group takes the next item while it has
    // fewer than kGroupItems and the patterns stay within kMostGroupRows.
    std::size_t rows = 0, groupRows = 0, members = 0;
    place_.assign(items.size(), 1);
    for (std::size_t i = 0; i < items.size(); ++i) {
        const std::size_t digits = categories_[i] + 1;
        if (members == 0 || members == kGroupItems || groupRows * digits > kMostGroupRows) {
            rows += groupRows;
            firstItem_.push_back(i);
            firstRow_.push_back(rows);
            groupRows = 1;
            members = 0;
        }
        place_[i] = groupRows;
        groupRows *= digits;
        ++members;
    }
    rows += groupRows;
    firstItem_.push_back(items.size());
    firstRow_.push_back(items.empty() ? 0 : rows);
    groupRows_.assign(rows * stride_, 0.0);
    totalSums_.assign(rows * stride_, 0.0);
    logWeight_.assign(stride_, kPaddingLogWeight);
}

template <typename Visit>
void EmTables::ForEachDigit(std::size_t g, std::size_t pattern, Visit visit) const {
    for (std::size_t i = firstItem_[g]; i < firstItem_[g + 1]; ++i) {
        visit(i, pattern / place_[i] % (categories_[i] + 1));
    }
}

void EmTables::PatternsOf(std::span<const std::uint8_t> row, std::uint8_t* patterns) const {
    for (std::size_t g = 0; g + 1 < firstItem_.size(); ++g) {
        std::size_t pattern = 0;
        for (std::size_t i = firstItem_[g]; i < firstItem_[g + 1]; ++i) {
            pattern += std::min<std::size_t>(row[i], categories_[i]) * place_[i];
        }
        patterns[g] = static_cast<std::uint8_t>(pattern);
    }
}

PatternTablesView EmTables::View(std::size_t population) const {
    return {groupRows_.data(), firstRow_.data(), logWeight_.data() + population * stride_, Groups(),
            stride_};
}

void EmTables::SetLogWeights(const mml::Quadrature& quadrature,
                             std::span<const mml::Quadrature> populations) {
    const std::size_t count = std::max<std::size_t>(1, populations.size());
    if (logWeight_.size() != count * stride_) logWeight_.assign(count * stride_, kPaddingLogWeight);
    for (std::size_t g = 0; g < count; ++g) {
        const mml::Quadrature& weights = populations.empty() ? quadrature : populations[g];
        std::copy(weights.logWeight.begin(), weights.logWeight.end(),
                  logWeight_.begin() + static_cast<std::ptrdiff_t>(g * stride_));
    }
}

void EmTables::FillGroups() {
    const std::size_t width = static_cast<std::size_t>(points_);
    std::fill(groupRows_.begin(), groupRows_.end(), 0.0);
    for (std::size_t g = 0; g < Groups(); ++g) {
        for (std::size_t p = 0; p < firstRow_[g + 1] - firstRow_[g]; ++p) {
            double* row = &groupRows_[(firstRow_[g] + p) * stride_];
            ForEachDigit(g, p, [&](std::size_t i, std::size_t digit) {
                if (digit == categories_[i]) return;  // missing
                const double* add = &logP_[offset_[i] + digit * width];
                for (std::size_t q = 0; q < width; ++q) row[q] += add[q];
            });
        }
    }
}

void EmTables::SpreadGroupSums(std::span<const double> sums) {
    const std::size_t width = static_cast<std::size_t>(points_);
    std::fill(expected_.begin(), expected_.end(), 0.0);
    for (std::size_t g = 0; g < Groups(); ++g) {
        for (std::size_t p = 0; p < firstRow_[g + 1] - firstRow_[g]; ++p) {
            const double* from = &sums[(firstRow_[g] + p) * stride_];
            ForEachDigit(g, p, [&](std::size_t i, std::size_t digit) {
                if (digit == categories_[i]) return;
                double* to = &expected_[offset_[i] + digit * width];
                for (std::size_t q = 0; q < width; ++q) to[q] += from[q];
            });
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
            slot.sums.resize(RowTableSize());
            slot.weights.resize(kBatch * stride_);
            slot.patterns.resize(kBatch * Groups());
            slot.batch.resize(kBatch);
        }
    }
    return std::span<Slot>(slots_).first(count);
}

void FillLogProbabilities(std::span<const Item> items, const mml::Quadrature& quadrature,
                          EmTables& tables, std::span<const mml::Quadrature> populations) {
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
    tables.SetLogWeights(quadrature, populations);
    tables.FillGroups();
}

double PosteriorOf(std::span<const std::uint8_t> row, const EmTables& tables,
                   std::span<std::uint8_t> patterns, std::span<double> weights, PointRange& range,
                   std::size_t population) {
    tables.PatternsOf(row, patterns.data());
    const PosteriorSums sums =
        tables.Kernels().posterior(tables.View(population), patterns.data(), weights.data());
    range.first = sums.first;
    range.last = sums.last;
    return sums.top + std::log(sums.sum);
}

std::size_t BlockSize(std::size_t persons) { return mml::ExamineeBlockSize(persons); }

namespace {

// The posterior sums by group row and the log-likelihood of examinees
// from..to into slot, a batch at a time.
void SumBlock(Responses responses, std::size_t from, std::size_t to, const EmTables& tables,
              EmTables::Slot& slot) {
    std::fill(slot.sums.begin(), slot.sums.end(), 0.0);
    slot.logLikelihood = 0;
    const MarginalKernels& kernels = tables.Kernels();
    const std::size_t groups = tables.Groups();
    std::uint8_t* patterns = slot.patterns.data();
    // A batch holds consecutive examinees of one population, whose
    // posteriors start from the same log weights.
    std::size_t count = 0;
    for (std::size_t j = from; j < to; j += count) {
        const std::size_t population = responses.PopulationIndexOf(j);
        count = 1;
        while (count < EmTables::kBatch && j + count < to &&
               responses.PopulationIndexOf(j + count) == population) {
            ++count;
        }
        const PatternTablesView view = tables.View(population);
        for (std::size_t b = 0; b < count; ++b) {
            tables.PatternsOf(responses.Row(j + b), patterns + b * groups);
        }
        kernels.posteriors(view, patterns, count, slot.weights.data(), slot.batch.data());
        for (std::size_t b = 0; b < count; ++b) {
            slot.logLikelihood += slot.batch[b].top + std::log(slot.batch[b].sum);
        }
        kernels.addPosteriors(view, slot.sums.data(), patterns, count, slot.weights.data(),
                              slot.batch.data());
    }
}

}  // namespace

double EStep(std::span<const Item> items, Responses responses, const mml::Quadrature& quadrature,
             EmTables& tables, WorkerPool& pool) {
    FillLogProbabilities(items, quadrature, tables, responses.populations);
    return CountExpected(responses, tables, pool);
}

double CountExpected(Responses responses, EmTables& tables, WorkerPool& pool) {
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
                     slots[slot]);
        },
        [&](std::size_t block) {
            const EmTables::Slot& slot = slots[block % window];
            logLikelihood += slot.logLikelihood;
            for (std::size_t x = 0; x < total.size(); ++x) total[x] += slot.sums[x];
            return true;
        });
    tables.SpreadGroupSums(total);
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
    FillLogProbabilities(items, quadrature, tables, responses.populations);
    const std::size_t blockSize = BlockSize(responses.persons);
    const std::size_t blocks = (responses.persons + blockSize - 1) / blockSize;
    const std::span<EmTables::Slot> slots = tables.Slots(pool.Threads());
    pool.ForEach(blocks, [&](std::size_t block, unsigned thread) {
        EmTables::Slot& slot = slots[thread];
        const std::span<double> post = slot.weights;
        const std::size_t from = block * blockSize;
        const std::size_t to = std::min(responses.persons, from + blockSize);
        for (std::size_t j = from; j < to; ++j) {
            PointRange range;
            PosteriorOf(responses.Row(j), tables, slot.patterns, post, range,
                        responses.PopulationIndexOf(j));
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
