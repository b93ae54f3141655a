#include "estimation/worker_pool.h"

namespace tarvo {

unsigned CoreCount() {
    const unsigned cores = std::thread::hardware_concurrency();
    return cores > 0 ? cores : 1;
}

WorkerPool::WorkerPool(unsigned threads) {
    const unsigned total = threads > 0 ? threads : CoreCount();
    workers_.reserve(total - 1);
    for (unsigned index = 1; index < total; ++index) {
        workers_.emplace_back([this, index] { WorkerLoop(index); });
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

void WorkerPool::Dispatch(Call call, void* context) {
    if (workers_.empty()) {
        call(context, 0);
        return;
    }
    {
        std::lock_guard<std::mutex> guard(lock_);
        call_ = call;
        context_ = context;
        busy_ = static_cast<unsigned>(workers_.size());
        ++generation_;
    }
    jobPosted_.notify_all();
    call(context, 0);
    std::unique_lock<std::mutex> guard(lock_);
    jobDone_.wait(guard, [this] { return busy_ == 0; });
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
        call(context, index);
        guard.lock();
        if (--busy_ == 0) jobDone_.notify_one();
    }
}

}  // namespace tarvo
