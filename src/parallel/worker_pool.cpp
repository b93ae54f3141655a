#include "parallel/worker_pool.h"

#include <new>
#include <system_error>

namespace tarvo {

unsigned CoreCount() {
    const unsigned cores = std::thread::hardware_concurrency();
    return cores > 0 ? cores : 1;
}

WorkerPool::WorkerPool(unsigned threads) : WorkerPool(threads, TaskExecutor{}) {}

WorkerPool::WorkerPool(unsigned threads, TaskExecutor executor) : executor_(std::move(executor)) {
    const unsigned total = threads > 0 ? threads : CoreCount();
    if (executor_) {
        executorThreads_ = total;
        return;
    }
    // Under a memory or process limit the system may refuse a thread (or its
    // stack): the run then goes on with the threads it has.
    try {
        workers_.reserve(total - 1);
        for (unsigned index = 1; index < total; ++index) {
            workers_.emplace_back([this, index] { WorkerLoop(index); });
        }
    } catch (const std::system_error&) {
    } catch (const std::bad_alloc&) {
    }
}

WorkerPool::~WorkerPool() {
    {
        std::lock_guard<std::mutex> guard(lock_);
        closing_ = true;
    }
    jobPosted_.notify_all();
    for (auto& worker : workers_) worker.join();
}

void WorkerPool::KeepFirstFailure(std::exception_ptr failure) {
    if (!failure_) failure_ = std::move(failure);
}

namespace {

// One job as the executor's tasks see it. Shared with the tasks, so that a
// task the executor starts after the job has ended finds it closed.
struct ExecutorJob {
    std::mutex lock;
    std::condition_variable left;
    bool open = true;
    unsigned running = 0;
    std::thread::id caller = std::this_thread::get_id();
    void (*call)(void*, unsigned) = nullptr;
    void* context = nullptr;
    std::exception_ptr failure;

    void Keep(std::exception_ptr thrown) {
        if (!failure) failure = std::move(thrown);
    }
};

}  // namespace

void WorkerPool::DispatchToExecutor(Call call, void* context) {
    auto job = std::make_shared<ExecutorJob>();
    job->call = call;
    job->context = context;
    const unsigned helpers = executorThreads_ - 1;
    if (helpers == 0) {
        call(context, 0);
        return;
    }
    try {
        executor_(helpers, [job](unsigned task) {
            {
                std::lock_guard<std::mutex> guard(job->lock);
                // Run on the calling thread before the executor returned, the
                // task would hold up the part that feeds every other.
                if (!job->open || std::this_thread::get_id() == job->caller) return;
                ++job->running;
            }
            std::exception_ptr failure;
            try {
                job->call(job->context, task + 1);
            } catch (...) {
                failure = std::current_exception();
            }
            std::lock_guard<std::mutex> guard(job->lock);
            if (failure) job->Keep(std::move(failure));
            if (--job->running == 0) job->left.notify_all();
        });
    } catch (...) {
        // An executor that fails to start the tasks costs only their help.
    }
    std::exception_ptr ownFailure;
    try {
        call(context, 0);
    } catch (...) {
        ownFailure = std::current_exception();
    }
    // The job's data lives on the caller's stack: close the job to tasks not
    // yet started and wait for those under way.
    std::unique_lock<std::mutex> guard(job->lock);
    job->open = false;
    if (ownFailure) job->Keep(std::move(ownFailure));
    job->left.wait(guard, [&job] { return job->running == 0; });
    if (job->failure) {
        std::exception_ptr failure = std::move(job->failure);
        guard.unlock();
        std::rethrow_exception(failure);
    }
}

void WorkerPool::Dispatch(Call call, void* context) {
    if (executor_) {
        DispatchToExecutor(call, context);
        return;
    }
    if (workers_.empty()) {
        call(context, 0);
        return;
    }
    {
        std::lock_guard<std::mutex> guard(lock_);
        call_ = call;
        context_ = context;
        busy_ = static_cast<unsigned>(workers_.size());
        failure_ = nullptr;
        ++generation_;
    }
    jobPosted_.notify_all();
    std::exception_ptr ownFailure;
    try {
        call(context, 0);
    } catch (...) {
        ownFailure = std::current_exception();
    }
    // The job's data lives on the caller's stack: no exception may leave
    // before every worker is out of the job.
    std::unique_lock<std::mutex> guard(lock_);
    if (ownFailure) KeepFirstFailure(std::move(ownFailure));
    jobDone_.wait(guard, [this] { return busy_ == 0; });
    if (failure_) {
        std::exception_ptr failure = std::move(failure_);
        failure_ = nullptr;
        guard.unlock();
        std::rethrow_exception(failure);
    }
}

void WorkerPool::WorkerLoop(unsigned index) {
    std::uint64_t seen = 0;
    std::unique_lock<std::mutex> guard(lock_);
    for (;;) {
        jobPosted_.wait(guard, [&] { return closing_ || generation_ != seen; });
        if (closing_) return;
        seen = generation_;
        const Call call = call_;
        void* const context = context_;
        guard.unlock();
        std::exception_ptr failure;
        try {
            call(context, index);
        } catch (...) {
            failure = std::current_exception();
        }
        guard.lock();
        if (failure) KeepFirstFailure(std::move(failure));
        if (--busy_ == 0) jobDone_.notify_one();
    }
}

}  // namespace tarvo
