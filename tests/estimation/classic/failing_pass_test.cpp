// Faults inside parallel passes: every thread leaves the job before the
// exception travels on, the pool stays usable, and a whole run that meets a
// fault ends with a message and an incomplete result instead of a crash or a
// hang. Stopped runs say how far they got.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "parallel/compute_ahead.h"
#include "parallel/worker_pool.h"
#include "support/run_fixture.h"
#include "support/run_request.h"

namespace tarvo {
namespace {

using test_support::RunClassic;

using test_support::RunFixture;
using test_support::ScriptedHost;

// The pool must still run a whole job after a failed one.
void ExpectPoolStillWorks(WorkerPool& pool) {
    std::vector<std::atomic<int>> calls(200);
    pool.ForEach(calls.size(), [&](std::size_t k) { calls[k].fetch_add(1); });
    for (auto& call : calls) EXPECT_EQ(call.load(), 1);
}

TEST(FailingPass, EveryThreadLeavesTheJobAndTheFirstExceptionReachesTheCaller) {
    struct Case {
        const char* name;
        bool throwOnCaller;
        bool throwOnWorkers;
    };
    for (const Case& c : {Case{"caller", true, false}, Case{"worker", false, true},
                          Case{"every thread", true, true}}) {
        SCOPED_TRACE(c.name);
        WorkerPool pool(2);
        ASSERT_EQ(pool.Threads(), 2u);
        std::atomic<int> left{0};
        try {
            pool.OnAllThreads([&](unsigned thread) {
                // The worker is still inside the job when the caller throws.
                if (thread != 0) std::this_thread::sleep_for(std::chrono::milliseconds(50));
                left.fetch_add(1);
                if ((thread == 0 && c.throwOnCaller) || (thread != 0 && c.throwOnWorkers)) {
                    throw std::runtime_error("fault on thread " + std::to_string(thread));
                }
            });
            ADD_FAILURE() << "no exception reached the caller";
        } catch (const std::runtime_error& failure) {
            EXPECT_EQ(std::string(failure.what()).rfind("fault on thread ", 0), 0u);
        }
        EXPECT_EQ(left.load(), 2) << "the exception left before every thread did";
        ExpectPoolStillWorks(pool);
    }
}

TEST(FailingPass, ForEachStopsHandingOutWorkAfterAFault) {
    WorkerPool pool(2);
    std::atomic<std::size_t> calls{0};
    // Each later call takes a while: the first exception of a process can take
    // a millisecond to unwind, and on a busy machine the throwing thread may
    // not run at all for longer, during which the other thread must not be
    // able to finish the whole job with calls that cost nothing.
    EXPECT_THROW(pool.ForEach(100000,
                              [&](std::size_t k) {
                                  calls.fetch_add(1);
                                  if (k == 10) throw std::runtime_error("fault");
                                  if (k > 10)
                                      std::this_thread::sleep_for(std::chrono::microseconds(100));
                              }),
                 std::runtime_error);
    EXPECT_LT(calls.load(), 100000u);
    ExpectPoolStillWorks(pool);
}

TEST(FailingPass, ComputeAheadEndsOnEveryThreadWhereverTheFaultIs) {
    enum class Where { ComputeOnWorker, ComputeOnCaller, Consume };
    for (const Where where : {Where::ComputeOnWorker, Where::ComputeOnCaller, Where::Consume}) {
        SCOPED_TRACE(static_cast<int>(where));
        WorkerPool pool(2);
        const auto caller = std::this_thread::get_id();
        std::atomic<int> computed{0};
        EXPECT_THROW(ComputeAheadInOrder(
                         pool, 1000, 8,
                         [&](std::size_t task, std::size_t) {
                             const bool onCaller = std::this_thread::get_id() == caller;
                             // The caller is slow, so that the worker surely takes tasks.
                             if (onCaller)
                                 std::this_thread::sleep_for(std::chrono::milliseconds(1));
                             computed.fetch_add(1);
                             if (task >= 20 && where == Where::ComputeOnWorker && !onCaller)
                                 throw std::runtime_error("worker fault");
                             if (task >= 20 && where == Where::ComputeOnCaller && onCaller)
                                 throw std::runtime_error("caller fault");
                         },
                         [&](std::size_t task) {
                             if (where == Where::Consume && task == 20)
                                 throw std::runtime_error("fault");
                             return true;
                         }),
                     std::runtime_error);
        EXPECT_LT(computed.load(), 1000);
        ExpectPoolStillWorks(pool);
    }
}

// A front end that fails at its n-th poll, as a desktop whose window broke
// might: the poll comes from the calling thread in the middle of a pass.
class FailingHost : public ScriptedHost {
  public:
    explicit FailingHost(const ScriptedHost& base) : ScriptedHost(base) {}
    int failAtPoll = 0;
    bool ProgressIsCancelled() override {
        if (polls + 1 == failAtPoll) throw std::runtime_error("the progress window broke");
        return ScriptedHost::ProgressIsCancelled();
    }
};

TEST(FailingPass, ARunThatMeetsAFaultSaysItsResultIsIncomplete) {
    // 2000 examinees: the joint run polls inside its ability pass.
    RunFixture data(2000, 10);
    data.WriteFiles();
    for (const auto& [mode, failAtPoll] : {std::pair{1, 5}, {2, 3}, {3, 2}, {3, 4}}) {
        SCOPED_TRACE(mode);
        FailingHost host(data.Host(mode));
        host.failAtPoll = failAtPoll;
        EXPECT_EQ(RunClassic(host, nullptr, 2), RunEnd::OutputIncomplete);
        EXPECT_EQ(host.messages,
                  std::vector<std::string>{"ERROR The run failed: the progress window broke. "
                                           "Output file " +
                                           data.dir.File("out.csv") + " is incomplete."});
        EXPECT_EQ(host.calls.back(), "shutdown");
        EXPECT_TRUE(host.viewed.empty());
    }
}

// A front end that fails outside the passes: while the inputs are read (at
// the message about a missing item file) or when the result is shown.
class FaultyHost : public ScriptedHost {
  public:
    explicit FaultyHost(const ScriptedHost& base) : ScriptedHost(base) {}
    bool failReading = false;
    void ShowMessage(const std::string& text) override {
        if (failReading && text.rfind("ERROR: Param file", 0) == 0) {
            throw std::runtime_error("the dialog went away");
        }
        ScriptedHost::ShowMessage(text);
    }
    void ViewResult(const std::string& outputFile) override {
        if (!failReading) throw std::runtime_error("the dialog went away");
        ScriptedHost::ViewResult(outputFile);
    }
};

TEST(FailingPass, AFaultOutsideThePassesEndsTheRunWithAMessage) {
    RunFixture data(20, 4);
    data.WriteFiles();
    struct Case {
        bool failReading;
        RunEnd outcome;
        std::string message;
    };
    const std::vector<Case> table = {
        {true, RunEnd::EndedAtCheck,
         "ERROR The input files could not be read: the dialog went away"},
        {false, RunEnd::OutputIncomplete, "ERROR The run failed: the dialog went away."},
    };
    for (const Case& c : table) {
        SCOPED_TRACE(c.failReading);
        FaultyHost host(data.Host(1));
        if (c.failReading) host.texts[control::kItemParameterFile] = data.dir.File("missing.itm");
        host.failReading = c.failReading;
        EXPECT_EQ(RunClassic(host, nullptr, 2), c.outcome);
        EXPECT_EQ(host.messages, std::vector<std::string>{c.message});
        EXPECT_TRUE(host.viewed.empty());
    }
}

TEST(FailingPass, AStoppedRunSaysHowFarItGot) {
    RunFixture data(300, 12);
    data.WriteFiles();
    struct Case {
        int mode;
        int stopAtPoll;
        std::string said;  // empty: the run was not stopped
    };
    const std::vector<Case> table = {
        {1, 4, "the result holds the rows of 3 of 300 examinees."},
        {2, 5, "the result holds the rows of 4 of 12 items."},
        // The joint run polls twice a pass: before and after its item pass.
        {3, 1, "the result holds the start values: no pass was completed."},
        {3, 2, "the result holds the estimates as they stood after pass 1."},
        {3, 3, "the result holds the estimates as they stood after pass 1."},
        {3, 4, "the result holds the estimates as they stood after pass 2."},
        {3, 0, ""},
    };
    for (const Case& c : table) {
        SCOPED_TRACE(std::to_string(c.mode) + " at poll " + std::to_string(c.stopAtPoll));
        ScriptedHost host = data.Host(c.mode);
        host.stopAtPoll = c.stopAtPoll;
        const RunEnd outcome = RunClassic(host, nullptr, 2);
        EXPECT_EQ(outcome, c.said.empty() ? RunEnd::Finished : RunEnd::Stopped);
        EXPECT_EQ(host.stopLines,
                  c.said.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.said});
    }
}

}  // namespace
}  // namespace tarvo
