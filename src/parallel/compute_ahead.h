#pragma once

#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <vector>

#include "parallel/worker_pool.h"

namespace tarvo {

// Computes tasks 0..count-1 on all of the pool's threads, at most window
// tasks ahead of the consumer, and hands them to consume(task) on the
// calling thread strictly in order. compute(task, slot) writes its results
// to slot (task % window), which the consumer reads; a slot is reused only
// after its task was consumed. When consume returns false nothing further
// is started or consumed; tasks under way finish and are dropped. The calling
// thread computes too whenever its next task is not ready yet. When compute
// or consume throws, the hand-over ends the same way on every thread and the
// first exception is re-thrown here once all threads have left.
template <typename Compute, typename Consume>
void ComputeAheadInOrder(WorkerPool& pool, std::size_t count, std::size_t window, Compute&& compute,
                         Consume&& consume) {
    std::mutex lock;
    std::condition_variable changed;
    std::vector<char> ready(window, 0);
    std::size_t claimed = 0;   // tasks handed out so far
    std::size_t consumed = 0;  // tasks consumed so far
    bool ended = false;

    auto mayClaim = [&] { return claimed < count && claimed < consumed + window; };
    // Computes one claimed task with the lock released; returns with it held.
    auto computeClaimed = [&](std::unique_lock<std::mutex>& guard) {
        const std::size_t task = claimed++;
        guard.unlock();
        compute(task, task % window);
        guard.lock();
        ready[task % window] = 1;
        changed.notify_all();
    };
    // Whatever ends the hand-over (the last task, a Stop, an exception) must
    // wake every thread that waits for a task or for a result.
    auto end = [&](std::unique_lock<std::mutex>& guard) {
        if (!guard.owns_lock()) guard.lock();
        ended = true;
        changed.notify_all();
    };

    pool.OnAllThreads([&](unsigned thread) {
        std::unique_lock<std::mutex> guard(lock);
        try {
            if (thread != 0) {
                for (;;) {
                    changed.wait(guard, [&] { return ended || mayClaim(); });
                    if (ended) return;
                    computeClaimed(guard);
                }
            }
            for (std::size_t task = 0; task < count && !ended; ++task) {
                const std::size_t slot = task % window;
                while (!ready[slot] && !ended) {
                    if (mayClaim()) {
                        computeClaimed(guard);
                    } else {
                        changed.wait(guard);
                    }
                }
                if (ended) break;
                guard.unlock();
                const bool goOn = consume(task);
                guard.lock();
                ready[slot] = 0;
                consumed = task + 1;
                changed.notify_all();
                if (!goOn) break;
            }
            end(guard);
        } catch (...) {
            end(guard);
            throw;
        }
    });
}

}  // namespace tarvo
