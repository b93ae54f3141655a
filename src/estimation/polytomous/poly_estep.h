#pragma once

// The E-step of a polytomous run: every examinee's posterior over the
// quadrature from a table of log P per item, category and point (formed
// once per cycle, so the examinees' loop only adds), and each item's
// expected count of every score at every point.
//
// The examinees are taken in blocks of a size set by their number alone;
// each block is summed in examinee order on one thread and the blocks are
// added in block order, so every result is the same bits for any number of
// threads.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "estimation/marginal/mml_patterns.h"
#include "estimation/marginal/mml_quadrature.h"
#include "estimation/polytomous/poly_items.h"
#include "parallel/worker_pool.h"

namespace tarvo::poly {

// The codes, examinee after examinee: scores 0..8, 9 missing. A run of
// several groups also gives each examinee's group (0 the reference) and
// every group's population over the run's one grid of points (the same
// theta, the group's own weights); a run of one group leaves both empty and
// every examinee takes the run's quadrature.
struct Responses {
    Responses() = default;
    Responses(std::span<const std::uint8_t> codes_, std::size_t persons_, std::size_t items_,
              std::span<const std::int32_t> group_ = {},
              std::span<const mml::Quadrature> populations_ = {})
        : codes(codes_),
          persons(persons_),
          items(items_),
          group(group_),
          populations(populations_) {}

    std::span<const std::uint8_t> codes;
    std::size_t persons = 0;
    std::size_t items = 0;
    std::span<const std::int32_t> group;
    std::span<const mml::Quadrature> populations;

    std::span<const std::uint8_t> Row(std::size_t j) const {
        return codes.subspan(j * items, items);
    }
    // The ability distribution examinee j's posterior is formed under.
    const mml::Quadrature& PopulationOf(std::size_t j, const mml::Quadrature& common) const {
        return group.empty() ? common : populations[static_cast<std::size_t>(group[j])];
    }
};

// The working tables, sized once for the items and the quadrature: per item
// the logarithms of its category probabilities and its expected counts,
// category after category, each over the points. The examinees' loop reads
// the items in pairs (items 2p and 2p + 1, the last alone when their number
// is odd): one row of summed log probabilities per pair of scores, a
// missing score counting as one more score of log P = 0, so that each
// examinee adds half as many rows and adds its posterior into half as many
// sums.
class EmTables {
  public:
    EmTables(std::span<const Item> items, int points);

    std::span<double> LogProbabilities(std::size_t item);
    std::span<const double> LogProbabilities(std::size_t item) const;
    std::span<double> Expected(std::size_t item);
    std::span<const double> Expected(std::size_t item) const;
    int Points() const { return points_; }
    std::size_t Pairs() const { return pairStart_.size() - 1; }
    std::size_t PairTableSize() const { return pairStart_.back(); }

    // Where the row of pair p for the examinee's scores starts, in the
    // pair tables (log probabilities and sums alike).
    std::size_t PairRowAt(std::size_t p, std::span<const std::uint8_t> row) const {
        const std::size_t first = 2 * p;
        const std::size_t a = std::min<std::size_t>(row[first], categories_[first]);
        const std::size_t b = first + 1 < categories_.size()
                                  ? std::min<std::size_t>(row[first + 1], categories_[first + 1])
                                  : 0;
        return pairStart_[p] + (a * pairWidth_[p] + b) * static_cast<std::size_t>(points_);
    }
    const double* LogPairs() const { return logPairs_.data(); }

    // The pair rows from the items' log probabilities.
    void FillPairs();
    // The expected counts from the summed posteriors by pair row.
    void SpreadPairSums(std::span<const double> sums);

    // One block's (or thread's) working space: its sums by pair row, a
    // posterior and its log-likelihood.
    struct Slot {
        std::vector<double> sums;
        std::vector<double> posterior;
        double logLikelihood = 0;
    };
    // At least count slots, allocated the first time only.
    std::span<Slot> Slots(std::size_t count);
    // The blocks' sums added up.
    std::span<double> TotalSums() { return totalSums_; }

  private:
    int points_;
    std::vector<std::size_t> offset_;
    std::vector<std::size_t> categories_;
    std::vector<std::size_t> pairStart_, pairWidth_;
    std::vector<double> logP_, expected_, logPairs_, totalSums_;
    std::vector<Slot> slots_;
};

// Fills the tables with the items' log probabilities.
void FillLogProbabilities(std::span<const Item> items, const mml::Quadrature& quadrature,
                          EmTables& tables);

// Examinee j's posterior weights over the points (summing to 1; those below
// exp(kNegligibleLogWeight) of the largest set to 0, outside [first, last])
// from the filled log probabilities; returns the log of its marginal
// likelihood.
using PointRange = mml::PosteriorRange;
double PosteriorOf(std::span<const std::uint8_t> row, const EmTables& tables,
                   const mml::Quadrature& quadrature, std::span<double> weights, PointRange& range);

// Examinees per block of the E-step and the passes that follow it.
std::size_t BlockSize(std::size_t persons);

// Fills the tables with the items' log probabilities, then the expected
// counts; returns the marginal log-likelihood.
double EStep(std::span<const Item> items, Responses responses, const mml::Quadrature& quadrature,
             EmTables& tables, WorkerPool& pool);
// The same on the calling thread alone.
double EStep(std::span<const Item> items, Responses responses, const mml::Quadrature& quadrature,
             EmTables& tables);

// The items' posterior means and SDs of every examinee (EAP), from the
// items as they stand.
void ScoreExpected(std::span<const Item> items, Responses responses,
                   const mml::Quadrature& quadrature, EmTables& tables, WorkerPool& pool,
                   std::span<double> theta, std::span<double> seTheta);

}  // namespace tarvo::poly
