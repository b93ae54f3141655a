#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "estimation/kernels/mml_kernel_types.h"
#include "estimation/marginal/mml_quadrature.h"

namespace tarvo::mml {

// Scored codes examinee after examinee, itemCount codes each: 1 correct,
// 0 incorrect; any other code (9) is no response and is left out.
struct ResponseView {
    const std::uint8_t* codes = nullptr;
    std::size_t persons = 0;
    std::size_t items = 0;

    std::span<const std::uint8_t> Row(std::size_t j) const { return {codes + j * items, items}; }
};

// log P and log Q of every item at every point, item i's row at i * points.
struct LogCurveTables {
    std::vector<double> logP, logQ;
    void Fill(std::span<const double> a, std::span<const double> b, std::span<const double> c,
              const Quadrature& quadrature);
    // The same with the estimated items' rows on the slope-intercept form
    // D (a theta + d), as the M-step forms them; the other items' from b.
    void FillLines(std::span<const double> a, std::span<const double> b, std::span<const double> d,
                   std::span<const double> c, std::span<const char> estimated,
                   const Quadrature& quadrature);
};

// The points where an examinee's posterior weights are not negligible;
// outside [first, last] all are 0.
struct PosteriorRange {
    int first = 0, last = -1;
};

// Every examinee's posterior over the quadrature points, from the items
// taken three at a time: each examinee's codes for a group of three items
// are one of 27 patterns (each code correct, incorrect or missing), so the
// log-likelihood of a group is one row of the group's table, and an
// examinee's log posterior is the quadrature's log weights plus one row per
// group: a third of the additions of going item by item. The rows hold the
// points padded to the kernels' lanes (Stride()).
class PatternPosteriors {
  public:
    static constexpr int kGroupSize = 3;
    static constexpr int kPatterns = 27;  // 3^kGroupSize

    // Reads every examinee's patterns and allocates the tables, once.
    PatternPosteriors(ResponseView responses, int points, const MarginalKernels& kernels);

    // The group tables from the items' curves, and the quadrature's weights.
    void Fill(const LogCurveTables& tables, const Quadrature& quadrature);

    // Examinee j's posterior weights (summing to 1) into weights, Stride()
    // entries, 0 outside range (see kNegligibleLogWeight); returns the
    // examinee's marginal log-likelihood.
    double Posterior(std::size_t j, double* weights, PosteriorRange& range) const;

    ResponseView Responses() const { return responses_; }
    int Points() const { return points_; }
    std::size_t Stride() const { return stride_; }
    std::size_t Groups() const { return groups_; }
    // Pattern of a group: the sum of digit * 3^t over its items t, digit 1
    // correct, 0 incorrect, 2 missing (an item past the last counts as
    // missing).
    const std::uint8_t* PatternsOf(std::size_t j) const { return &patterns_[j * groups_]; }
    PatternTablesView Tables() const;
    const MarginalKernels& Kernels() const { return kernels_; }

  private:
    ResponseView responses_;
    int points_;
    std::size_t stride_;
    std::size_t groups_;
    const MarginalKernels& kernels_;
    std::vector<std::uint8_t> patterns_;  // examinee j, group g at j * groups_ + g
    std::vector<double> groupTables_;     // group g, pattern p, point k
    std::vector<std::size_t> firstRow_;   // group g's first row: g * kPatterns
    std::vector<double> logWeight_;       // the quadrature's, padded
};

}  // namespace tarvo::mml
