// The worker pool over a caller's executor in place of its own threads:
// every index still runs once and the hand-over stays in order, whether the
// executor runs its tasks at once, on the calling thread, too late or not
// at all.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

#include "parallel/compute_ahead.h"
#include "parallel/worker_pool.h"

namespace tarvo {
namespace {

// Starts every task on a thread of its own and counts calls and tasks; the
// threads are joined when it goes.
class CountingExecutor {
  public:
    explicit CountingExecutor(std::chrono::milliseconds delay = {}) : delay_(delay) {}
    ~CountingExecutor() { Join(); }

    TaskExecutor Executor() {
        return [this](unsigned count, std::function<void(unsigned)> task) {
            ++calls;
            tasks += count;
            for (unsigned k = 0; k < count; ++k) {
                threads_.emplace_back([this, task, k] {
                    std::this_thread::sleep_for(delay_);
                    task(k);
                    ++ran;
                });
            }
        };
    }
    void Join() {
        for (std::thread& thread : threads_) thread.join();
        threads_.clear();
    }

    std::atomic<int> calls{0}, tasks{0}, ran{0};

  private:
    std::chrono::milliseconds delay_;
    std::vector<std::thread> threads_;
};

// Which threads a job ran on, by index, and every index ForEach handed out.
struct Seen {
    std::mutex lock;
    std::vector<int> indices;
    std::vector<unsigned> threads;
};

void ExpectEveryIndexOnce(WorkerPool& pool, std::size_t count, Seen& seen) {
    seen.indices.assign(count, 0);
    pool.ForEach(count, [&](std::size_t k, unsigned thread) {
        std::lock_guard<std::mutex> guard(seen.lock);
        ++seen.indices[k];
        seen.threads.push_back(thread);
    });
    for (std::size_t k = 0; k < count; ++k) EXPECT_EQ(seen.indices[k], 1) << k;
}

// Consumes count tasks on the calling thread, each computed into its slot.
std::vector<std::size_t> HandOver(WorkerPool& pool, std::size_t count, std::size_t window) {
    std::vector<std::size_t> slots(window), consumed;
    const std::thread::id caller = std::this_thread::get_id();
    ComputeAheadInOrder(
        pool, count, window, [&](std::size_t task, std::size_t slot) { slots[slot] = task; },
        [&](std::size_t task) {
            EXPECT_EQ(std::this_thread::get_id(), caller);
            EXPECT_EQ(slots[task % window], task);
            consumed.push_back(task);
            return true;
        });
    return consumed;
}

std::vector<std::size_t> Sequence(std::size_t count) {
    std::vector<std::size_t> numbers(count);
    for (std::size_t k = 0; k < count; ++k) numbers[k] = k;
    return numbers;
}

TEST(PoolExecutor, TheCallersThreadsRunTheJobsWithTheSameResults) {
    CountingExecutor counting;
    WorkerPool pool(4, counting.Executor());
    EXPECT_EQ(pool.Threads(), 4u);
    Seen seen;
    ExpectEveryIndexOnce(pool, 5000, seen);
    EXPECT_EQ(counting.calls.load(), 1);
    EXPECT_EQ(counting.tasks.load(), 3);  // the calling thread is the fourth
    EXPECT_EQ(HandOver(pool, 300, 4), Sequence(300));
    EXPECT_EQ(counting.calls.load(), 2);
    counting.Join();
    EXPECT_EQ(counting.ran.load(), 6);
    // One thread asked: nothing is handed to the executor.
    CountingExecutor unused;
    WorkerPool alone(1, unused.Executor());
    ExpectEveryIndexOnce(alone, 10, seen);
    EXPECT_EQ(unused.calls.load(), 0);
}

TEST(PoolExecutor, AnInlineLateOrFailingExecutorCostsOnlyItsHelp) {
    // Run on the calling thread before it returns: the tasks do nothing, and
    // the hand-over, whose feeder is the calling thread, does not wait on them.
    int inlineTasks = 0;
    WorkerPool inlinePool(3, [&](unsigned count, std::function<void(unsigned)> task) {
        for (unsigned k = 0; k < count; ++k, ++inlineTasks) task(k);
    });
    Seen seen;
    ExpectEveryIndexOnce(inlinePool, 100, seen);
    for (unsigned thread : seen.threads) EXPECT_EQ(thread, 0u);
    EXPECT_EQ(HandOver(inlinePool, 50, 2), Sequence(50));
    EXPECT_EQ(inlineTasks, 4);

    // Started after the job has ended (and its data is gone): they return.
    CountingExecutor late(std::chrono::milliseconds(200));
    {
        WorkerPool latePool(3, late.Executor());
        Seen lateSeen;
        ExpectEveryIndexOnce(latePool, 20, lateSeen);
    }
    late.Join();
    EXPECT_EQ(late.ran.load(), 2);

    WorkerPool failing(
        3, [](unsigned, std::function<void(unsigned)>) { throw std::runtime_error("no threads"); });
    ExpectEveryIndexOnce(failing, 30, seen);
    EXPECT_EQ(HandOver(failing, 30, 3), Sequence(30));
}

TEST(PoolExecutor, AnExceptionOnAnExecutorsThreadReachesTheCaller) {
    CountingExecutor counting;
    WorkerPool pool(3, counting.Executor());
    std::atomic<bool> thrown{false};
    EXPECT_THROW(pool.OnAllThreads([&](unsigned thread) {
        if (thread == 0) {
            // Wait for a helper to throw, so that its failure is the one kept.
            while (!thrown.load()) std::this_thread::yield();
            return;
        }
        if (!thrown.exchange(true)) throw std::runtime_error("helper");
    }),
                 std::runtime_error);
    Seen seen;
    ExpectEveryIndexOnce(pool, 100, seen);  // still usable
}

}  // namespace
}  // namespace tarvo
