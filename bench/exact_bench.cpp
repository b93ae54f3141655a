#include "exact_bench.h"

#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "bench_data.h"
#include "core/modes.h"
#include "output/result_file_rows.h"
#include "quiet_host.h"
#include "run/calibration_run.h"

namespace tarvo::bench {
namespace {

using Clock = std::chrono::steady_clock;

struct TimedRun {
    bool ok = false;
    double seconds = 0;
    double cpuSeconds = 0;  // every thread's, so that a busy machine does not inflate it
    std::string text;       // the result file
};

double ProcessCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           1e-6 * static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec);
}

TimedRun RunOnce(const DataSet& set, const DataFiles& files, int mode, Arithmetic arithmetic,
                 unsigned threads, const std::string& output) {
    QuietHost host;
    const tarvo::RunRequest request = RequestFor(ControlTexts(set, files, output), mode, threads);
    TimedRun run;
    const auto start = Clock::now();
    const double cpu = ProcessCpuSeconds();
    run.ok = RunCalibration(request, host, nullptr, EngineSettings{arithmetic}) == RunEnd::Finished;
    run.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    run.cpuSeconds = ProcessCpuSeconds() - cpu;
    if (run.ok) run.text = ReadWhole(output);
    return run;
}

// Rows whose printed fields are not all the same; a row one file lacks counts.
std::size_t DifferingRows(const results::PrintedTable& left, const results::PrintedTable& right) {
    const std::size_t shared = std::min(left.rows.size(), right.rows.size());
    std::size_t differing = std::max(left.rows.size(), right.rows.size()) - shared;
    for (std::size_t k = 0; k < shared; ++k) differing += left.rows[k] != right.rows[k];
    return differing;
}

struct Tally {
    std::size_t items = 0, examinees = 0;
    std::size_t differingItems = 0, differingExaminees = 0;
    std::size_t failed = 0;
    double referenceSeconds = 0, fastSeconds = 0;
};

void Compare(const DataSet& set, int mode, const std::string& dataDir, unsigned threads,
             Tally& tally) {
    const DataFiles files = EnsureDataFiles(set, dataDir);
    const std::string stem = dataDir + "/out-exact-" + std::to_string(mode) + "-" + set.Name();
    const TimedRun reference =
        RunOnce(set, files, mode, Arithmetic::Reference, threads, stem + "-reference.csv");
    const TimedRun fast = RunOnce(set, files, mode, Arithmetic::Fast, threads, stem + "-fast.csv");
    if (!reference.ok || !fast.ok) {
        ++tally.failed;
        return;
    }
    const results::ResultFileRows r = results::ParseResultFile(reference.text);
    const results::ResultFileRows f = results::ParseResultFile(fast.text);
    tally.items += r.items.rows.size();
    tally.examinees += r.persons.rows.size();
    tally.differingItems += DifferingRows(r.items, f.items);
    tally.differingExaminees += DifferingRows(r.persons, f.persons);
    tally.referenceSeconds += reference.seconds;
    tally.fastSeconds += fast.seconds;
}

void PrintCosts(const std::string& dataDir, unsigned threads, bool quick) {
    std::printf(
        "\nReference loops against fast kernels on whole runs around the bound of %zu "
        "examinees x items (below it a run takes the reference loops), %u threads:\n\n",
        kReferenceArithmeticBelow, threads);
    std::printf(
        "| mode | examinees x items | cells | reference s | fast s | reference cpu s | fast cpu s "
        "| reference / fast (cpu) | reference - fast cpu s "
        "|\n|---|---|---|---|---|---|---|---|---|\n");
    struct Size {
        std::size_t persons, items;
    };
    std::vector<Size> sizes = {{30, 25}, {100, 100}, {200, 100}, {400, 125}, {500, 200}};
    if (!quick) sizes.insert(sizes.end(), {{1000, 500}, {1000, 1000}});
    for (const int mode : {1, 2, 3}) {
        for (const Size& size : sizes) {
            DataSet set;
            set.persons = size.persons;
            set.items = size.items;
            const DataFiles files = EnsureDataFiles(set, dataDir);
            const std::string stem =
                dataDir + "/out-exact-cost-" + std::to_string(mode) + "-" + set.Name();
            const TimedRun reference =
                RunOnce(set, files, mode, Arithmetic::Reference, threads, stem + "-r.csv");
            const TimedRun fast =
                RunOnce(set, files, mode, Arithmetic::Fast, threads, stem + "-f.csv");
            if (!reference.ok || !fast.ok) {
                std::printf("| %d | %zu x %zu | failed |\n", mode, size.persons, size.items);
                continue;
            }
            std::printf("| %d | %zu x %zu | %zu | %.3f | %.3f | %.3f | %.3f | %.1f | %.3f |\n",
                        mode, size.persons, size.items, size.persons * size.items,
                        reference.seconds, fast.seconds, reference.cpuSeconds, fast.cpuSeconds,
                        reference.cpuSeconds / fast.cpuSeconds,
                        reference.cpuSeconds - fast.cpuSeconds);
            std::fflush(stdout);
        }
    }
}

void PrintTally(const char* where, int mode, const Tally& t) {
    std::printf("| %s | %d | %zu | %zu | %zu | %zu | %.1f | %.1f |%s\n", where, mode, t.items,
                t.differingItems, t.examinees, t.differingExaminees, t.referenceSeconds,
                t.fastSeconds, t.failed > 0 ? " some runs FAILED" : "");
    std::fflush(stdout);
}

void PrintAgreement(const std::string& dataDir, unsigned threads, bool quick) {
    std::printf(
        "\nRows whose printed fields differ between the fast kernels and the reference loops "
        "(each set drawn once, run by both), at and above the bound, and below it where the "
        "run now takes the reference loops:\n\n");
    std::printf(
        "| sets | mode | items | differing | examinees | differing | reference s | fast s "
        "|\n|---|---|---|---|---|---|---|---|\n");
    struct Size {
        std::size_t persons, items;
        std::uint64_t seed;
    };
    // At the bound (200 x 100 is the first 200-examinee size that takes the
    // fast kernels) and above it: 200 examinees and more.
    std::vector<Size> above;
    const std::uint64_t atBound = quick ? 40 : 100;
    for (std::uint64_t seed = 1; seed <= atBound; ++seed) {
        above.push_back({200, kReferenceArithmeticBelow / 200, seed});
    }
    for (std::uint64_t seed = 1; seed <= (quick ? 2u : 10u); ++seed) {
        above.push_back({1000, 100, 1000 + seed});
    }
    // The smallest runs, where single items part ways by a hair at a bound.
    std::vector<Size> below;
    for (std::uint64_t seed = 1; seed <= (quick ? 20u : 100u); ++seed) {
        below.push_back({10 + seed % 21, 20 + seed % 17, seed});
    }
    for (const int mode : {1, 2, 3, 4, 5, 6, 7, 8}) {
        Tally atOrAbove, small;
        for (const auto& [sizes, tally] :
             {std::pair{&above, &atOrAbove}, std::pair{&below, &small}}) {
            for (const Size& size : *sizes) {
                DataSet set;
                set.persons = size.persons;
                set.items = size.items;
                set.seed = size.seed;
                set.onePL = RulesOf(mode).onePL;
                Compare(set, mode, dataDir, threads, *tally);
            }
        }
        PrintTally(">= bound, 200+ examinees", mode, atOrAbove);
        PrintTally("below: 10-30 examinees", mode, small);
    }
}

}  // namespace

void PrintExactSection(const std::string& dataDir, unsigned threads, bool quick) {
    PrintCosts(dataDir, threads, quick);
    PrintAgreement(dataDir, threads, quick);
}

}  // namespace tarvo::bench
