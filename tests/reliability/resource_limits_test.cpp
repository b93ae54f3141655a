// Real tarvo-run processes under the limits a shell can set (file size,
// address space) and with more threads than the system will give: the run
// ends with status 0 and a complete result, or with status 1 and a message,
// never by a signal and never with an incomplete result reported as whole.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>

#include "reliability/result_checks.h"
#include "reliability/runner_process.h"
#include "reliability/sample_args.h"
#include "support/run_fixture.h"
#include "support/sanitized.h"

namespace tarvo {
namespace {

using test_support::ProcessSettings;
using test_support::RunFixture;

std::size_t LineCount(const std::string& text) {
    std::size_t lines = 0;
    for (const char c : text) lines += c == '\n' ? 1 : 0;
    return lines;
}

// A run that ended with status 0 left a complete result; one that ended
// with status 1 said why. Any other status (a signal gives -1) fails.
// (Unused where the sanitizers leave the capped runs out.)
[[maybe_unused]] void ExpectHonestEnd(const test_support::RunnerResult& run,
                                      const std::string& output, std::size_t completeLines) {
    ASSERT_TRUE(run.status == 0 || run.status == 1) << run.status << "\n" << run.err;
    if (run.status == 0) {
        EXPECT_EQ(LineCount(test_support::ReadFile(output)), completeLines) << run.err;
    } else {
        EXPECT_EQ(run.err.rfind("ERROR ", 0), 0u) << run.err;
    }
}

// The file size limit makes the write fail; the run reports it instead of
// being ended by SIGXFSZ with half a row written.
TEST(ResourceLimits, FileSizeLimitIsReportedAsAnIncompleteResult) {
    RunFixture data(10000, 20);
    data.WriteFiles();
    const std::string output = data.dir.File("out.csv");
    ProcessSettings settings;
    settings.args = test_support::SampleArgs(data, 1, 20, output);
    settings.fileSize = rlim_t{64} << 10;
    const auto run = test_support::RunToEnd(settings, data.dir.File("stderr.txt"));
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_EQ(run.err, "ERROR Output file " + output + " could not be written completely.\n");
    EXPECT_LE(std::filesystem::file_size(output), std::uintmax_t{64} << 10);
}

// Every thread reserves its stack in the capped address space: the threads
// the system refuses are done without.
TEST(ResourceLimits, ThreadsTheSystemRefusesAreDoneWithout) {
#ifdef TARVO_SANITIZED
    GTEST_SKIP() << "a sanitizer reserves more address space than the cap allows";
#else
    constexpr int kPersons = 2000, kItems = 20;
    RunFixture data(kPersons, kItems);
    data.WriteFiles();
    const std::string output = data.dir.File("out.csv");
    ProcessSettings settings;
    settings.args = test_support::SampleArgs(data, 3, kItems, output);
    settings.args.push_back("--threads=1024");
    settings.addressSpace = rlim_t{600000} << 10;
    const auto run = test_support::RunToEnd(settings, data.dir.File("stderr.txt"));
    EXPECT_EQ(run.status, 0) << run.err;
    ExpectHonestEnd(run, output, 1 + kItems + 1 + 1 + kPersons);
#endif
}

// The smallest cap the whole run fits in is searched for; the caps just
// below it run out of memory at every later point of the run in turn:
// reading, setting up the passes, starting the threads, the passes.
TEST(ResourceLimits, EveryMemoryCapEndsTheRunHonestly) {
#ifdef TARVO_SANITIZED
    GTEST_SKIP() << "a sanitizer reserves more address space than the cap allows";
#else
    constexpr int kPersons = 4000, kItems = 30;
    constexpr rlim_t kStep = rlim_t{32} << 10;
    constexpr std::size_t kCompleteLines = 1 + kItems + 1 + 1 + kPersons;
    RunFixture data(kPersons, kItems);
    data.WriteFiles();
    const std::string output = data.dir.File("out.csv");
    auto runWithCap = [&](rlim_t cap) {
        std::filesystem::remove(output);
        ProcessSettings settings;
        settings.args = test_support::SampleArgs(data, 3, kItems, output);
        settings.args.push_back("--threads=2");
        settings.addressSpace = cap;
        return test_support::RunToEnd(settings, data.dir.File("stderr.txt"));
    };
    // Below some cap the program cannot even be loaded (status 127); such a
    // cap only counts as too small.
    rlim_t tooSmall = rlim_t{1} << 20, enough = rlim_t{1} << 30;
    ASSERT_EQ(runWithCap(enough).status, 0);
    while (enough - tooSmall > kStep) {
        const rlim_t cap = tooSmall + (enough - tooSmall) / 2;
        SCOPED_TRACE(std::to_string(cap >> 10) + " KB");
        const auto run = runWithCap(cap);
        if (run.status != 127) ExpectHonestEnd(run, output, kCompleteLines);
        (run.status == 0 ? enough : tooSmall) = cap;
    }
    for (rlim_t cap = enough - kStep; cap + 16 * kStep > enough; cap -= kStep) {
        SCOPED_TRACE(std::to_string(cap >> 10) + " KB");
        const auto run = runWithCap(cap);
        if (run.status == 127) break;
        ExpectHonestEnd(run, output, kCompleteLines);
    }
#endif
}

}  // namespace
}  // namespace tarvo
