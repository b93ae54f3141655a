#include "fit/residual_pass.h"

#include <algorithm>
#include <array>
#include <cassert>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "core/model_constants.h"
#include "irt/item_curve.h"
#include "irt/scored_item.h"
#include "parallel/worker_pool.h"

namespace tarvo::fit {

namespace {

// Examinees whose sums per item are formed together before they join the
// whole: a fixed number, so that every sum takes its terms in the same
// order for any number of threads.
constexpr std::size_t kBlockRows = 64;
// The blocks handed out together: their residual rows, which Q3 reads next,
// fill about this much of the cache, but there are never fewer blocks than
// threads can share evenly.
constexpr std::size_t kChunkResidualBytes = 512 * 1024;
constexpr std::size_t kLeastChunkBlocks = 8;

struct ResponseCounts {
    std::size_t valid = 0, correct = 0;
};

ResponseCounts CountResponses(const std::uint8_t* row, std::size_t items) {
    ResponseCounts counts;
    for (std::size_t i = 0; i < items; ++i) {
        counts.valid += row[i] == kCorrect || row[i] == kIncorrect;
        counts.correct += row[i] == kCorrect;
    }
    return counts;
}

void StartSums(ItemResidualSums& sums, std::size_t items, std::size_t groups) {
    sums.meanSquares.assign(items, MeanSquareSums{});
    sums.groupObserved.assign(groups * items, 0.0);
    sums.groupExpected.assign(groups * items, 0.0);
    sums.groupVariance.assign(groups * items, 0.0);
}

void ClearSums(ItemResidualSums& sums) {
    std::fill(sums.meanSquares.begin(), sums.meanSquares.end(), MeanSquareSums{});
    for (std::vector<double>* part :
         {&sums.groupObserved, &sums.groupExpected, &sums.groupVariance}) {
        std::fill(part->begin(), part->end(), 0.0);
    }
}

void AddSums(ItemResidualSums& whole, const ItemResidualSums& block) {
    for (std::size_t i = 0; i < whole.meanSquares.size(); ++i) {
        whole.meanSquares[i].Add(block.meanSquares[i]);
    }
    for (std::size_t k = 0; k < whole.groupObserved.size(); ++k) {
        whole.groupObserved[k] += block.groupObserved[k];
        whole.groupExpected[k] += block.groupExpected[k];
        whole.groupVariance[k] += block.groupVariance[k];
    }
}

// What one thread needs for an examinee: the probabilities of every item
// and their log-odds.
struct Scratch {
    std::vector<double> p, q, logOdds;
};

// Where a block writes its examinees' residual rows for Q3: row r at
// residuals + r * items, and whether it is one (an examinee with an ability
// and an answer).
struct ResidualRows {
    double* residuals = nullptr;
    std::uint8_t* valid = nullptr;
    std::uint8_t* used = nullptr;
};

// The examinee's mean squares and lz from their sums, and the misfit flag.
void SetPersonFit(const MeanSquareSums& own, const PersonLikelihoodSums& likelihood,
                  PersonFit& person) {
    const MeanSquares squares = MeanSquaresOf(own);
    person.infit = squares.infit;
    person.outfit = squares.outfit;
    person.infitT = squares.infitT;
    person.outfitT = squares.outfitT;
    person.lz = likelihood.Lz();
    person.misfit = person.lz < kLzMisfitBelow;
}

// Examinees first..last-1: each one's lz, infit and outfit, the block's sums
// per item (started at zero), and their residual rows when rows are asked
// for.
void PassBlock(const FitInputs& in, std::size_t first, std::size_t last,
               std::span<PersonFit> persons, Scratch& scratch, ItemResidualSums& sums,
               const ResidualRows* rows) {
    const std::size_t items = in.a.size();
    const std::size_t groups = in.abilityGroups;
    double* p = scratch.p.data();
    double* q = scratch.q.data();
    for (std::size_t j = first; j < last; ++j) {
        PersonFit& person = persons[j];
        person = PersonFit{};
        if (rows != nullptr) rows->used[j - first] = 0;
        const std::uint8_t* row = in.responses.data() + j * items;
        const double theta = in.theta[j];
        if (!std::isfinite(theta)) {
            person.gap = PersonFitGap::NoAbility;
            continue;
        }
        const ResponseCounts counts = CountResponses(row, items);
        if (counts.valid == 0) {
            person.gap = PersonFitGap::NoValidResponse;
            continue;
        }
        CurvesAt(theta, in.a, in.b, in.c, scratch.p, scratch.q);

        // Residuals for Q3 from every examinee with an ability and an answer.
        if (rows != nullptr) {
            rows->used[j - first] = 1;
            double* d = rows->residuals + (j - first) * items;
            std::uint8_t* v = rows->valid + (j - first) * items;
            for (std::size_t i = 0; i < items; ++i) {
                v[i] = row[i] == kCorrect || row[i] == kIncorrect;
                d[i] = v[i] ? row[i] - p[i] : 0.0;
            }
        }

        const std::int32_t group = in.abilityGroup.empty() ? -1 : in.abilityGroup[j];
        if (group >= 0 && static_cast<std::size_t>(group) < groups) {
            const std::size_t at = static_cast<std::size_t>(group) * items;
            for (std::size_t i = 0; i < items; ++i) {
                if (row[i] != kCorrect && row[i] != kIncorrect) continue;
                sums.groupObserved[at + i] += row[i];
                sums.groupExpected[at + i] += p[i];
                sums.groupVariance[at + i] += p[i] * q[i];
            }
        }

        if (counts.correct == 0 || counts.correct == counts.valid) {
            person.gap = PersonFitGap::AllSame;
            continue;
        }
        // The logarithms first, in a loop of their own: the sums below then
        // keep their values in registers instead of saving them around
        // every call. A probability of exactly 0 or 1 (far out on a steep
        // curve) has no variance and says nothing.
        double* logOdds = scratch.logOdds.data();
        for (std::size_t i = 0; i < items; ++i) {
            const bool informative =
                (row[i] == kCorrect || row[i] == kIncorrect) && p[i] * q[i] > 0;
            logOdds[i] = informative ? std::log(p[i] / q[i]) : 0.0;
        }
        MeanSquareSums own;
        PersonLikelihoodSums likelihood;
        for (std::size_t i = 0; i < items; ++i) {
            if ((row[i] != kCorrect && row[i] != kIncorrect) || !(p[i] * q[i] > 0)) continue;
            const double x = row[i];
            const ResponseMoments moments = ResponseMoments::Of(x, p[i], q[i]);
            own.Add(moments);
            sums.meanSquares[i].Add(moments);
            likelihood.deviation += (x - p[i]) * logOdds[i];
            likelihood.variance += p[i] * q[i] * logOdds[i] * logOdds[i];
        }
        SetPersonFit(own, likelihood, person);
    }
}

// An item's response at an examinee's ability, as every sum of the pass
// takes it: its expected score and variance (the residual's), its moments
// for the mean squares and its part of lz's difference and variance.
struct ScoreMoments {
    double expected = 0, variance = 0;
    ResponseMoments response;
    double lzDeviation = 0, lzVariance = 0;
    bool informative = false;  // its variance is above 0 and its response possible
};

struct CategoryScratch {
    std::vector<ScoreMoments> moments;
};

// The moments of response x to the item at theta. A right/wrong item takes
// the right/wrong pass's own terms, so that it gets that pass's bits; an
// item scored 0..m the sums over its categories.
ScoreMoments MomentsOf(const ScoredItem& item, std::uint8_t x, double theta) {
    std::array<double, kMostCategories> p{};
    CategoryProbabilitiesAt(item, theta, p.data());
    ScoreMoments m;
    if (item.scoring == ItemScoring::RightWrong && item.categories == 2) {
        const double right = p[1], wrong = p[0];
        m.expected = right;
        m.variance = right * wrong;
        m.informative = right * wrong > 0;
        if (!m.informative) return m;
        const double logOdds = std::log(right / wrong);
        m.response = ResponseMoments::Of(x, right, wrong);
        m.lzDeviation = (x - right) * logOdds;
        m.lzVariance = right * wrong * logOdds * logOdds;
        return m;
    }
    const int categories = std::max(item.categories, 1);
    for (int k = 0; k < categories; ++k) m.expected += k * p[k];
    double fourth = 0, plogp = 0, plog2p = 0;
    for (int k = 0; k < categories; ++k) {
        const double r = k - m.expected;
        m.variance += r * r * p[k];
        fourth += r * r * r * r * p[k];
        // A category of probability 0 adds nothing: p log p goes to 0.
        if (p[k] > 0) {
            const double logP = std::log(p[k]);
            plogp += p[k] * logP;
            plog2p += p[k] * logP * logP;
        }
    }
    m.informative = m.variance > 0 && p[x] > 0;
    if (!m.informative) return m;
    m.response = ResponseMoments::OfScore(x, m.expected, m.variance, fourth);
    m.lzDeviation = std::log(p[x]) - plogp;
    m.lzVariance = plog2p - plogp * plogp;
    return m;
}

// PassBlock for a test scored in categories: each examinee's responses by
// their own items' models, an examinee whose every response is its item's
// lowest score, or every one its highest, left out of the mean squares and
// lz as the right/wrong pass leaves out one with every answer right or
// every one wrong.
void PassCategoryBlock(const CategoryFitInputs& in, std::size_t first, std::size_t last,
                       std::span<PersonFit> persons, CategoryScratch& scratch,
                       ItemResidualSums& sums, const ResidualRows* rows) {
    const std::size_t items = in.items.size();
    const std::size_t groups = in.abilityGroups;
    ScoreMoments* moments = scratch.moments.data();
    for (std::size_t j = first; j < last; ++j) {
        PersonFit& person = persons[j];
        person = PersonFit{};
        if (rows != nullptr) rows->used[j - first] = 0;
        const std::uint8_t* row = in.responses.data() + j * items;
        const double theta = in.theta[j];
        if (!std::isfinite(theta)) {
            person.gap = PersonFitGap::NoAbility;
            continue;
        }
        std::size_t valid = 0, lowest = 0, highest = 0;
        for (std::size_t i = 0; i < items; ++i) {
            const int categories = in.items[i].categories;
            if (row[i] >= categories) continue;
            ++valid;
            lowest += row[i] == 0;
            highest += row[i] == categories - 1;
        }
        if (valid == 0) {
            person.gap = PersonFitGap::NoValidResponse;
            continue;
        }
        for (std::size_t i = 0; i < items; ++i) {
            moments[i] = row[i] < in.items[i].categories ? MomentsOf(in.items[i], row[i], theta)
                                                         : ScoreMoments{};
        }

        if (rows != nullptr) {
            rows->used[j - first] = 1;
            double* d = rows->residuals + (j - first) * items;
            std::uint8_t* v = rows->valid + (j - first) * items;
            for (std::size_t i = 0; i < items; ++i) {
                v[i] = row[i] < in.items[i].categories;
                d[i] = v[i] ? row[i] - moments[i].expected : 0.0;
            }
        }

        const std::int32_t group = in.abilityGroup.empty() ? -1 : in.abilityGroup[j];
        if (group >= 0 && static_cast<std::size_t>(group) < groups) {
            const std::size_t at = static_cast<std::size_t>(group) * items;
            for (std::size_t i = 0; i < items; ++i) {
                if (row[i] >= in.items[i].categories) continue;
                sums.groupObserved[at + i] += row[i];
                sums.groupExpected[at + i] += moments[i].expected;
                sums.groupVariance[at + i] += moments[i].variance;
            }
        }

        if (lowest == valid || highest == valid) {
            person.gap = PersonFitGap::AllExtreme;
            continue;
        }
        MeanSquareSums own;
        PersonLikelihoodSums likelihood;
        for (std::size_t i = 0; i < items; ++i) {
            if (!moments[i].informative) continue;
            own.Add(moments[i].response);
            sums.meanSquares[i].Add(moments[i].response);
            likelihood.deviation += moments[i].lzDeviation;
            likelihood.variance += moments[i].lzVariance;
        }
        SetPersonFit(own, likelihood, person);
    }
}

// Moves the residual rows that are used to the front; returns how many.
std::size_t PackUsedRows(std::vector<double>& residuals, std::vector<std::uint8_t>& valid,
                         const std::vector<std::uint8_t>& used, std::size_t rows,
                         std::size_t items) {
    std::size_t kept = 0;
    for (std::size_t r = 0; r < rows; ++r) {
        if (!used[r]) continue;
        if (kept != r) {
            std::memmove(residuals.data() + kept * items, residuals.data() + r * items,
                         items * sizeof(double));
            std::memmove(valid.data() + kept * items, valid.data() + r * items, items);
        }
        ++kept;
    }
    return kept;
}

// The pass over persons examinees in blocks of kBlockRows: passBlock(first,
// last, thread, sums, rows) fills one block's sums (started at zero) and,
// when rows is not null, its residual rows; the blocks join the whole in
// their order and their rows go to q3 (which may be null) chunk by chunk.
template <typename PassBlockOf>
ItemResidualSums PassInBlocks(std::size_t items, std::size_t groups, std::size_t persons,
                              ResidualCorrelations* q3, WorkerPool& pool,
                              const PassBlockOf& passBlock) {
    ItemResidualSums sums;
    StartSums(sums, items, groups);

    const std::size_t chunkBlocks =
        std::max(kLeastChunkBlocks,
                 kChunkResidualBytes / (kBlockRows * std::max<std::size_t>(items, 1) * 8));
    const std::size_t chunkRows = chunkBlocks * kBlockRows;
    std::vector<ItemResidualSums> blockSums(chunkBlocks);
    for (ItemResidualSums& block : blockSums) StartSums(block, items, groups);
    std::vector<double> residuals(q3 != nullptr ? chunkRows * items : 0);
    std::vector<std::uint8_t> valid(residuals.size()), used(q3 != nullptr ? chunkRows : 0);

    for (std::size_t chunkFirst = 0; chunkFirst < persons; chunkFirst += chunkRows) {
        const std::size_t rows = std::min(chunkRows, persons - chunkFirst);
        const std::size_t blocks = (rows + kBlockRows - 1) / kBlockRows;
        pool.ForEach(blocks, [&](std::size_t k, unsigned thread) {
            const std::size_t first = chunkFirst + k * kBlockRows;
            const std::size_t last = std::min(first + kBlockRows, chunkFirst + rows);
            ClearSums(blockSums[k]);
            if (q3 == nullptr) {
                passBlock(first, last, thread, blockSums[k], nullptr);
                return;
            }
            const ResidualRows blockRows{residuals.data() + k * kBlockRows * items,
                                         valid.data() + k * kBlockRows * items,
                                         used.data() + k * kBlockRows};
            passBlock(first, last, thread, blockSums[k], &blockRows);
        });
        // The blocks join the whole in their order.
        for (std::size_t k = 0; k < blocks; ++k) AddSums(sums, blockSums[k]);
        if (q3 != nullptr) {
            const std::size_t kept = PackUsedRows(residuals, valid, used, rows, items);
            q3->AddRows(residuals, valid, kept, &pool);
        }
    }
    return sums;
}

}  // namespace

double PersonLikelihoodSums::Lz() const {
    return variance > 0 ? deviation / std::sqrt(variance) : kUndefined;
}

ItemResidualSums ResidualPass(const FitInputs& in, std::span<PersonFit> persons,
                              ResidualCorrelations* q3, WorkerPool& pool) {
    const std::size_t items = in.a.size();
    assert(persons.size() == in.theta.size() && in.responses.size() == persons.size() * items);
    std::vector<Scratch> scratch(pool.Threads());
    for (Scratch& own : scratch) {
        own.p.resize(items);
        own.q.resize(items);
        own.logOdds.resize(items);
    }
    return PassInBlocks(items, in.abilityGroups, persons.size(), q3, pool,
                        [&](std::size_t first, std::size_t last, unsigned thread,
                            ItemResidualSums& sums, const ResidualRows* rows) {
                            PassBlock(in, first, last, persons, scratch[thread], sums, rows);
                        });
}

ItemResidualSums CategoryResidualPass(const CategoryFitInputs& in, std::span<PersonFit> persons,
                                      ResidualCorrelations* q3, WorkerPool& pool) {
    const std::size_t items = in.items.size();
    assert(persons.size() == in.theta.size() && in.responses.size() == persons.size() * items);
    std::vector<CategoryScratch> scratch(pool.Threads());
    for (CategoryScratch& own : scratch) own.moments.resize(items);
    return PassInBlocks(items, in.abilityGroups, persons.size(), q3, pool,
                        [&](std::size_t first, std::size_t last, unsigned thread,
                            ItemResidualSums& sums, const ResidualRows* rows) {
                            PassCategoryBlock(in, first, last, persons, scratch[thread], sums,
                                              rows);
                        });
}

}  // namespace tarvo::fit
