#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "estimation/marginal/mml_patterns.h"
#include "estimation/marginal/mml_quadrature.h"
#include "parallel/worker_pool.h"

namespace tarvo::mml {

// What the E-step hands to the M-step. Item i, point k at i * points + k.
struct ExpectedCounts {
    std::vector<double> correct;  // expected correct responses of item i at point k
    std::vector<double> wrong;    // expected incorrect responses
    std::vector<double> mass;     // expected examinees at point k (per point)
    double logLikelihood = 0;     // marginal log-likelihood of the responses

    void Resize(std::size_t items, int points);
};

// Turns log weights w (an unnormalised log posterior over the points) into
// posterior weights summing to 1, those whose share is below
// exp(kNegligibleLogWeight) of the largest set to 0 outside range; returns
// the log of the normalising sum.
double NormaliseLogWeights(double* w, int points, PosteriorRange& range);

// The posterior weights of one examinee at every point (summing to 1),
// item after item with the library's exponential: the plain form of
// PatternPosteriors::Posterior, for checking it. weights has the points'
// size; weights whose share is below exp(kNegligibleLogWeight) of the
// largest are set to 0. Returns the examinee's marginal log-likelihood.
double Posterior(std::span<const std::uint8_t> row, const LogCurveTables& tables,
                 const Quadrature& quadrature, std::span<double> weights, PosteriorRange& range);

// Examinees per block of an E-step: set by their number alone, so that the
// blocks, and every sum over them, are the same for any number of threads.
std::size_t ExamineeBlockSize(std::size_t persons);

// The E-step of Bock-Aitkin EM: the posterior weights of every examinee
// summed once per group and pattern, then spread over the group's items as
// the expected counts.
//
// The examinees are taken in blocks of a size set by their number alone;
// each block's pattern sums are formed in examinee order on one thread, and
// the blocks' sums are added in block order, so every sum is formed in the
// same order for any number of threads and the counts are the same bits.
class EStep {
  public:
    // Allocates everything the runs need on a pool of that many threads, once.
    EStep(const PatternPosteriors& posteriors, unsigned threads);

    // The counts at the items the posteriors were last filled with.
    void Run(WorkerPool& pool, ExpectedCounts& out);

  private:
    struct Slot {
        std::vector<double> sums;          // one block's pattern sums, laid out as the tables
        std::vector<double> weights;       // a batch's posteriors
        std::vector<PosteriorSums> batch;  // and their sums
        double logLikelihood = 0;
    };
    void ComputeBlock(std::size_t block, Slot& slot) const;

    const PatternPosteriors& posteriors_;
    std::size_t blockSize_;
    std::vector<double> patternSums_;  // group g, pattern p, point k (padded)
    std::vector<Slot> slots_;
};

}  // namespace tarvo::mml
