#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "estimation/mml_quadrature.h"
#include "estimation/worker_pool.h"

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
// quadrature points and the expected counts of every item. Examinees are
// split into a fixed number of blocks, which depends on the examinee count
// alone; each block is summed in examinee order and the blocks are added in
// block order, so the counts are the same bits for every thread count.
class EStep {
  public:
    EStep(ResponseView responses, int points);

    void Run(const LogCurveTables& tables, const Quadrature& quadrature, WorkerPool& pool,
             ExpectedCounts& out);

    std::size_t Blocks() const { return blocks_.size(); }

  private:
    struct Block {
        std::size_t from = 0, to = 0;
        std::vector<double> correct, wrong, mass, weights;
        double logLikelihood = 0;
    };
    void RunBlock(Block& block, const LogCurveTables& tables, const Quadrature& quadrature) const;

    ResponseView responses_;
    int points_;
    std::vector<Block> blocks_;
};

}  // namespace tarvo::mml
