// Whole runs on several threads: the same result file as on one thread, the
// same Stop check points, and every host call from the calling thread.
#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "support/run_fixture.h"
#include "support/run_request.h"

namespace tarvo {
namespace {

using test_support::RunClassic;

using test_support::RunFixture;
using test_support::ScriptedHost;

// Records whether any host call came from a thread other than the one that
// started the run.
class ThreadCheckingHost : public ScriptedHost {
  public:
    explicit ThreadCheckingHost(const ScriptedHost& base)
        : ScriptedHost(base), owner_(std::this_thread::get_id()) {}

    void ProgressSet(int percent, const std::string& text) override {
        Check();
        ScriptedHost::ProgressSet(percent, text);
    }
    bool ProgressIsCancelled() override {
        Check();
        return ScriptedHost::ProgressIsCancelled();
    }
    void Breathe() override {
        Check();
        ScriptedHost::Breathe();
    }
    bool calledElsewhere = false;

  private:
    void Check() { calledElsewhere = calledElsewhere || std::this_thread::get_id() != owner_; }
    std::thread::id owner_;
};

struct Outcome {
    std::string output;
    std::vector<std::string> calls;
    bool calledElsewhere = false;
};

Outcome RunWith(RunFixture& data, int mode, unsigned threads, Arithmetic arithmetic,
                int stopAtPoll = 0, bool standardise = true) {
    ThreadCheckingHost host(data.Host(mode));
    host.stopAtPoll = stopAtPoll;
    host.answerYes = standardise;
    RunClassic(host, nullptr, threads, {arithmetic});
    return {data.Output(), host.calls, host.calledElsewhere};
}

TEST(ParallelRun, EveryModeWritesTheSameBytesOnAnyNumberOfThreads) {
    // More examinees than one block between polls, some responses missing.
    RunFixture data(1100, 6, 3);
    data.WriteFiles(7);
    for (const Arithmetic arithmetic : {Arithmetic::Reference, Arithmetic::Fast}) {
        for (int mode = 1; mode <= 8; ++mode) {
            SCOPED_TRACE("mode " + std::to_string(mode) +
                         (arithmetic == Arithmetic::Fast ? " fast" : " reference"));
            const Outcome single = RunWith(data, mode, 1, arithmetic);
            ASSERT_FALSE(single.output.empty());
            for (unsigned threads : {2u, 5u}) {
                const Outcome several = RunWith(data, mode, threads, arithmetic);
                EXPECT_EQ(several.output, single.output) << threads << " threads";
                EXPECT_EQ(several.calls, single.calls) << threads << " threads";
                EXPECT_FALSE(several.calledElsewhere);
            }
        }
    }
}

TEST(ParallelRun, AStopLeavesWhatItLeavesOnOneThread) {
    RunFixture data(2600, 6, 5);
    data.WriteFiles();
    struct StopCase {
        int mode;
        int stopAtPoll;
    };
    // Theta-only: mid-way through the examinees (one poll each). Items-only:
    // after item 4. Joint: after examinee 1000 and 2000 of the first ability
    // pass (polls 3 and 4), and before the second item pass (poll 5).
    const StopCase cases[] = {{1, 700}, {7, 1}, {2, 5}, {8, 1}, {3, 3}, {5, 4}, {6, 5}};
    for (const StopCase& c : cases) {
        SCOPED_TRACE("mode " + std::to_string(c.mode) + ", stop at poll " +
                     std::to_string(c.stopAtPoll));
        const Outcome single = RunWith(data, c.mode, 1, Arithmetic::Fast, c.stopAtPoll, false);
        const Outcome several = RunWith(data, c.mode, 3, Arithmetic::Fast, c.stopAtPoll, false);
        EXPECT_EQ(several.output, single.output);
        EXPECT_EQ(several.calls, single.calls);
        EXPECT_FALSE(several.calledElsewhere);
    }
}

}  // namespace
}  // namespace tarvo
