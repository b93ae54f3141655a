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

#include "estimation/engine_settings.h"
#include "estimation/kernels/mml_kernel_types.h"
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
        return group.empty() ? common : populations[PopulationIndexOf(j)];
    }
    // Its index among the populations (0 in a run of one group).
    std::size_t PopulationIndexOf(std::size_t j) const {
        return group.empty() ? 0 : static_cast<std::size_t>(group[j]);
    }
};

// The working tables, sized once for the items and the quadrature: per item
// the logarithms of its category probabilities and its expected counts,
// category after category, each over the points.
//
// The examinees' loop reads the items in groups of consecutive items, up
// to three while a group has at most kMostGroupRows patterns (each item's
// score or missing): one row of summed log probabilities per pattern, so
// that an examinee adds one row per group and adds its posterior into one
// sum per group. Right/wrong items make groups of three, with the patterns
// and rows of the right/wrong estimator's tables. The rows hold the points
// padded to the vector kernels' lanes (Stride()), which form every
// posterior and sum: the same bits on every vector unit.
class EmTables {
  public:
    static constexpr std::size_t kGroupItems = 3;
    static constexpr std::size_t kMostGroupRows = 100;  // two items of nine categories

    EmTables(std::span<const Item> items, int points, VectorUnit unit = VectorUnit::Best);

    std::span<double> LogProbabilities(std::size_t item);
    std::span<const double> LogProbabilities(std::size_t item) const;
    std::span<double> Expected(std::size_t item);
    std::span<const double> Expected(std::size_t item) const;
    int Points() const { return points_; }
    std::size_t Stride() const { return stride_; }
    std::size_t Groups() const { return firstItem_.size() - 1; }
    std::size_t RowTableSize() const { return firstRow_.back() * stride_; }

    // The examinee's pattern in every group (Groups() of them): the sum
    // over the group's items of their digit (the score, or the item's
    // number of categories where missing) times the item's place.
    void PatternsOf(std::span<const std::uint8_t> row, std::uint8_t* patterns) const;
    // The tables with the log weights of one population (0 in a run of one
    // group).
    PatternTablesView View(std::size_t population = 0) const;
    const MarginalKernels& Kernels() const { return kernels_; }

    // The quadrature's log weights, padded, which every posterior starts
    // from; a run of several groups gives every group's population, each
    // kept as its own row.
    void SetLogWeights(const mml::Quadrature& quadrature,
                       std::span<const mml::Quadrature> populations = {});
    // The group rows from the items' log probabilities.
    void FillGroups();
    // The expected counts from the summed posteriors by group row.
    void SpreadGroupSums(std::span<const double> sums);

    // One block's (or thread's) working space: its sums by group row, a
    // batch's patterns and posteriors and its log-likelihood.
    struct Slot {
        std::vector<double> sums;
        std::vector<double> weights;
        std::vector<std::uint8_t> patterns;
        std::vector<PosteriorSums> batch;
        double logLikelihood = 0;
    };
    // Examinees whose posteriors are formed together.
    static constexpr std::size_t kBatch = 32;
    // At least count slots, allocated the first time only.
    std::span<Slot> Slots(std::size_t count);
    // The blocks' sums added up.
    std::span<double> TotalSums() { return totalSums_; }

  private:
    // Calls visit(item, digit) for each item of group g in the pattern.
    template <typename Visit>
    void ForEachDigit(std::size_t g, std::size_t pattern, Visit visit) const;

    int points_;
    std::size_t stride_;
    const MarginalKernels& kernels_;
    std::vector<std::size_t> offset_;
    std::vector<std::size_t> categories_;
    std::vector<std::size_t> place_;      // per item, within its group
    std::vector<std::size_t> firstItem_;  // per group, and the item count last
    std::vector<std::size_t> firstRow_;   // per group, and the row count last
    std::vector<double> logP_, expected_, groupRows_, totalSums_, logWeight_;
    std::vector<Slot> slots_;
};

// Fills the tables with the items' log probabilities and the quadrature's
// log weights.
void FillLogProbabilities(std::span<const Item> items, const mml::Quadrature& quadrature,
                          EmTables& tables, std::span<const mml::Quadrature> populations = {});

// An examinee's posterior weights over the points (summing to 1; those
// below exp(kNegligibleLogWeight) of the largest set to 0, outside
// [first, last]) from the filled log probabilities and log weights, into
// weights (at least Stride() of them, the padding 0); patterns is room for
// Groups() patterns. Returns the log of its marginal likelihood.
using PointRange = mml::PosteriorRange;
double PosteriorOf(std::span<const std::uint8_t> row, const EmTables& tables,
                   std::span<std::uint8_t> patterns, std::span<double> weights, PointRange& range,
                   std::size_t population = 0);

// Examinees per block of the E-step and the passes that follow it.
std::size_t BlockSize(std::size_t persons);

// Fills the tables with the items' log probabilities, then the expected
// counts; returns the marginal log-likelihood.
double EStep(std::span<const Item> items, Responses responses, const mml::Quadrature& quadrature,
             EmTables& tables, WorkerPool& pool);
// The expected counts from tables already filled; returns the marginal
// log-likelihood.
double CountExpected(Responses responses, EmTables& tables, WorkerPool& pool);
// The same on the calling thread alone.
double EStep(std::span<const Item> items, Responses responses, const mml::Quadrature& quadrature,
             EmTables& tables);

// The items' posterior means and SDs of every examinee (EAP), from the
// items as they stand.
void ScoreExpected(std::span<const Item> items, Responses responses,
                   const mml::Quadrature& quadrature, EmTables& tables, WorkerPool& pool,
                   std::span<double> theta, std::span<double> seTheta);

}  // namespace tarvo::poly
