#pragma once

// Counts evaluations of the response function for the benchmark. Only a
// build that defines TARVO_COUNT_EVALUATIONS keeps a count; in every other
// build the tally below is empty and compiles to nothing.

#include <cstdint>
#include <span>

#include "core/model_constants.h"

#ifdef TARVO_COUNT_EVALUATIONS
#include <atomic>
#endif

namespace tarvo {

#ifdef TARVO_COUNT_EVALUATIONS

// Evaluations counted since the process started, by every thread.
std::atomic<std::uint64_t>& EvaluationCounter();

// The evaluations of one scoring loop: one per valid code in every pass.
class EvaluationTally {
  public:
    EvaluationTally() = default;
    explicit EvaluationTally(std::span<const std::uint8_t> codes) {
        for (const std::uint8_t code : codes) valid_ += code != kNoResponse ? 1 : 0;
    }
    void Pass() const { EvaluationCounter().fetch_add(valid_, std::memory_order_relaxed); }

  private:
    std::uint64_t valid_ = 0;
};

// Evaluations gathered locally and added to the count once, at the end.
class EvaluationBatch {
  public:
    EvaluationBatch() = default;
    EvaluationBatch(const EvaluationBatch&) = delete;
    EvaluationBatch& operator=(const EvaluationBatch&) = delete;
    ~EvaluationBatch() { EvaluationCounter().fetch_add(count_, std::memory_order_relaxed); }
    void Add(std::uint64_t evaluations) { count_ += evaluations; }

  private:
    std::uint64_t count_ = 0;
};

#else

class EvaluationTally {
  public:
    EvaluationTally() = default;
    explicit EvaluationTally(std::span<const std::uint8_t>) {}
    void Pass() const {}
};

class EvaluationBatch {
  public:
    void Add(std::uint64_t) {}
};

#endif

}  // namespace tarvo
