#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "estimation/marginal/mml_quadrature.h"
#include "parallel/worker_pool.h"

namespace tarvo::mml {

// Scored codes examinee after examinee, itemCount codes each: 1 correct,
// 0 incorrect; any other code (9) is no response and is left out.
struct ResponseView {
    const std::uint8_t* codes = nullptr;
    std::size_t persons = 0;
    std::size_t items = 0;

    std::span<const std::uint8_t> Row(std::size_t j) const { return {codes + j * items, items}; }
};

// What the E-step hands to the M-step. Item i, point k at i * points + k.
struct ExpectedCounts {
    std::vector<double> correct;  // expected correct responses of item i at point k
    std::vector<double> wrong;    // expected incorrect responses
    std::vector<double> mass;     // expected examinees at point k (per point)
    double logLikelihood = 0;     // marginal log-likelihood of the responses

    void Resize(std::size_t items, int points);
};

// log P and log Q of every item at every point, item i's row at i * points.
struct LogCurveTables {
    std::vector<double> logP, logQ;
    void Fill(std::span<const double> a, std::span<const double> b, std::span<const double> c,
              const Quadrature& quadrature);
};

// The posterior weights of one examinee at every point (summing to 1);
// weights whose share is below exp(-40) of the largest are set to 0, and
// [first, last] is the range outside which all are 0. Returns the
// examinee's marginal log-likelihood.
struct PosteriorRange {
    int first = 0, last = -1;
};
double Posterior(std::span<const std::uint8_t> row, const LogCurveTables& tables,
                 const Quadrature& quadrature, std::span<double> weights, PosteriorRange& range);

// The E-step of Bock-Aitkin EM: posterior weights of every examinee over the
// quadrature points and the expected counts of every item.
//
// Items are taken three at a time: each examinee's codes for a group of
// three items are one of 27 patterns (each code correct, incorrect or
// missing), so the log-likelihood of a group is one table row, and the
// posterior weights are summed once per group and pattern and spread over
// the group's items afterwards: a third of the work of going item by item.
// Examinees are taken in chunks: first every examinee's posterior (spread
// over the threads), then every group's pattern sums (one thread per group,
// examinees in order), so every sum is formed in the same order for any
// number of threads and the counts are the same bits.
class EStep {
  public:
    static constexpr int kGroupSize = 3;
    static constexpr int kPatterns = 27;  // 3^kGroupSize

    // Allocates everything the runs need, once.
    EStep(ResponseView responses, int points);

    void Run(const LogCurveTables& tables, const Quadrature& quadrature, WorkerPool& pool,
             ExpectedCounts& out);

  private:
    void FillGroupTables(const LogCurveTables& tables);
    double PatternPosterior(std::size_t j, const Quadrature& quadrature, double* weights,
                            PosteriorRange& range) const;

    ResponseView responses_;
    int points_;
    std::size_t groups_;
    std::vector<std::uint8_t> patterns_;  // examinee j, group g at j * groups_ + g
    std::vector<double> groupTables_;     // group g, pattern p, point k
    std::vector<double> patternSums_;     // the same layout: posterior weights summed
    std::vector<double> chunkWeights_;    // one chunk's posteriors
    std::vector<PosteriorRange> chunkRanges_;
    std::vector<double> chunkLogLikelihoods_;
};

}  // namespace tarvo::mml
