// The thread pool and the in-order hand-over of results computed ahead.
#include "parallel/worker_pool.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "parallel/compute_ahead.h"

namespace tarvo {
namespace {

TEST(WorkerPool, ForEachRunsEveryIndexExactlyOnce) {
    for (unsigned threads : {1u, 2u, 5u}) {
        WorkerPool pool(threads);
        EXPECT_EQ(pool.Threads(), threads);
        for (std::size_t count : {0u, 1u, 3u, 1000u}) {
            std::vector<std::atomic<int>> calls(count);
            pool.ForEach(count, [&](std::size_t k) { calls[k].fetch_add(1); });
            for (std::size_t k = 0; k < count; ++k) {
                EXPECT_EQ(calls[k].load(), 1) << threads << " threads, index " << k;
            }
        }
    }
}

TEST(WorkerPool, ZeroMeansOneThreadPerCoreAndTheCallerIsThreadZero) {
    WorkerPool pool(0);
    EXPECT_EQ(pool.Threads(), CoreCount());
    WorkerPool three(3);
    std::mutex lock;
    std::vector<unsigned> seen;
    std::thread::id callerRanAs;
    three.OnAllThreads([&](unsigned thread) {
        std::lock_guard<std::mutex> guard(lock);
        seen.push_back(thread);
        if (thread == 0) callerRanAs = std::this_thread::get_id();
    });
    std::sort(seen.begin(), seen.end());
    EXPECT_EQ(seen, (std::vector<unsigned>{0, 1, 2}));
    EXPECT_EQ(callerRanAs, std::this_thread::get_id());
}

struct AheadRun {
    std::vector<std::size_t> consumed;
    std::size_t computed = 0;
    bool slotOverwrittenEarly = false;
    bool consumedOffCaller = false;
};

// Tasks write their number into their slot; the consumer checks that the
// slot still holds its task and stops after stopAfter tasks (0: never).
AheadRun RunAhead(unsigned threads, std::size_t count, std::size_t window, std::size_t stopAfter) {
    WorkerPool pool(threads);
    AheadRun run;
    std::vector<std::size_t> slots(window, 0);
    std::atomic<std::size_t> computed{0};
    const auto caller = std::this_thread::get_id();
    ComputeAheadInOrder(
        pool, count, window,
        [&](std::size_t task, std::size_t slot) {
            slots[slot] = task;
            computed.fetch_add(1);
        },
        [&](std::size_t task) {
            if (slots[task % window] != task) run.slotOverwrittenEarly = true;
            if (std::this_thread::get_id() != caller) run.consumedOffCaller = true;
            run.consumed.push_back(task);
            return stopAfter == 0 || run.consumed.size() < stopAfter;
        });
    run.computed = computed.load();
    return run;
}

TEST(ComputeAhead, ConsumesEveryTaskInOrderOnTheCallingThread) {
    for (unsigned threads : {1u, 2u, 4u}) {
        for (std::size_t window : {1u, 3u, 8u}) {
            const AheadRun run = RunAhead(threads, 200, window, 0);
            ASSERT_EQ(run.consumed.size(), 200u);
            for (std::size_t k = 0; k < 200; ++k) EXPECT_EQ(run.consumed[k], k);
            EXPECT_FALSE(run.slotOverwrittenEarly);
            EXPECT_FALSE(run.consumedOffCaller);
            EXPECT_EQ(run.computed, 200u);
        }
    }
}

TEST(ComputeAhead, AStopEndsTheHandOverAndComputesAtMostAWindowAhead) {
    for (unsigned threads : {1u, 3u}) {
        const AheadRun run = RunAhead(threads, 500, 4, 10);
        ASSERT_EQ(run.consumed.size(), 10u);
        EXPECT_EQ(run.consumed.back(), 9u);
        EXPECT_FALSE(run.slotOverwrittenEarly);
        EXPECT_GE(run.computed, 10u);
        EXPECT_LE(run.computed, 10u + 4u);
    }
    // No tasks at all: nothing is consumed.
    EXPECT_TRUE(RunAhead(2, 0, 4, 0).consumed.empty());
}

TEST(ComputeAhead, ASlowConsumerNeverHasMoreThanAWindowOfTasksInFlight) {
    // The workers are fast and the consumer slow, so the workers wait at the
    // window's edge all the time. A task started beyond it would share its
    // slot with a task not yet consumed, and the in-order hand-over would
    // then wait for ever; the consumer ends the run at once instead.
    for (unsigned threads : {2u, 3u}) {
        for (std::size_t window : {1u, 2u, 4u}) {
            SCOPED_TRACE(std::to_string(threads) + " threads, window " + std::to_string(window));
            WorkerPool pool(threads);
            std::atomic<std::size_t> consumedSoFar{0};
            std::atomic<bool> beyondWindow{false};
            std::size_t consumed = 0;
            ComputeAheadInOrder(
                pool, 40, window,
                [&](std::size_t task, std::size_t) {
                    if (task >= consumedSoFar.load() + window) beyondWindow = true;
                },
                [&](std::size_t task) {
                    std::this_thread::sleep_for(std::chrono::milliseconds(2));
                    consumedSoFar = task + 1;
                    ++consumed;
                    return !beyondWindow.load();
                });
            EXPECT_FALSE(beyondWindow.load());
            EXPECT_EQ(consumed, 40u);
        }
    }
}

}  // namespace
}  // namespace tarvo
