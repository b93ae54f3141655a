#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <type_traits>
#include <utility>
#include <vector>

namespace tarvo {

// A caller's own threads (a binding's or an application's thread pool) in
// place of the pool's: runs task(0) .. task(count - 1), each once, on its
// threads, and returns without waiting for them (the pool waits itself).
// It may run them at once, later or one after another; a task that starts
// after its job has ended returns at once, and one it runs on the calling
// thread before returning does nothing, so no executor can deadlock a job
// that way. It must not wait for the tasks before it returns.
using TaskExecutor = std::function<void(unsigned count, std::function<void(unsigned)> task)>;

// A fixed set of threads for the estimation passes. The thread that uses the
// pool takes part in every job as thread 0, so a pool of one thread starts
// no thread at all. Jobs are handed out whole; what each thread computes is
// decided by the job (which must not let results depend on the split).
//
// A job may throw on any thread: every thread still leaves the job before the
// call returns, and the first exception thrown is then re-thrown on the
// calling thread. The pool stays usable for the next job.
class WorkerPool {
  public:
    // threads is the total including the calling thread; 0 means one per core.
    // A thread the system cannot create leaves the pool smaller, never fails.
    explicit WorkerPool(unsigned threads);
    // The job's other threads come from executor (none given: the pool's
    // own); threads counts them with the calling thread as before. With an
    // executor a job must not need every thread's part: a task the executor
    // has not started when the calling thread's part ends is left out.
    WorkerPool(unsigned threads, TaskExecutor executor);
    ~WorkerPool();
    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;

    unsigned Threads() const {
        return executor_ ? executorThreads_ : static_cast<unsigned>(workers_.size()) + 1;
    }

    // Runs task(threadIndex) on every thread of the pool at once, the caller
    // as thread 0; returns when every call has returned, then re-throws the
    // first exception any of them threw.
    template <typename Task>
    void OnAllThreads(Task&& task) {
        using Callable = std::remove_reference_t<Task>;
        Dispatch([](void* context, unsigned thread) { (*static_cast<Callable*>(context))(thread); },
                 const_cast<void*>(static_cast<const void*>(&task)));
    }

    // Runs body(k) for every k in 0..count-1, handed out one at a time to
    // whichever thread is free; returns when every call has returned. body
    // may take the thread's index as a second argument. Once a call has
    // thrown no further k is handed out.
    template <typename Body>
    void ForEach(std::size_t count, Body&& body) {
        auto run = [&](std::size_t k, unsigned thread) {
            if constexpr (std::is_invocable_v<Body&, std::size_t, unsigned>) {
                body(k, thread);
            } else {
                body(k);
            }
        };
        if (Threads() == 1 || count <= 1) {
            for (std::size_t k = 0; k < count; ++k) run(k, 0);
            return;
        }
        std::atomic<std::size_t> next{0};
        OnAllThreads([&](unsigned thread) {
            try {
                for (std::size_t k; (k = next.fetch_add(1, std::memory_order_relaxed)) < count;) {
                    run(k, thread);
                }
            } catch (...) {
                next.store(count, std::memory_order_relaxed);
                throw;
            }
        });
    }

  private:
    using Call = void (*)(void*, unsigned);
    void Dispatch(Call call, void* context);
    void DispatchToExecutor(Call call, void* context);
    void WorkerLoop(unsigned index);
    // Keeps the first exception of the current job; lock_ must be held.
    void KeepFirstFailure(std::exception_ptr failure);

    std::vector<std::thread> workers_;
    std::mutex lock_;
    std::condition_variable jobPosted_;
    std::condition_variable jobDone_;
    Call call_ = nullptr;
    void* context_ = nullptr;
    std::uint64_t generation_ = 0;
    unsigned busy_ = 0;
    std::exception_ptr failure_;  // the first exception of the current job
    bool closing_ = false;
    TaskExecutor executor_;
    unsigned executorThreads_ = 1;
};

// The number of threads that "one per core" means here (at least 1).
unsigned CoreCount();

}  // namespace tarvo
