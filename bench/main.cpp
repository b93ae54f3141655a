// tarvo-bench: times whole calibration runs and the scoring loops on
// simulated data, and checks that the fast arithmetic agrees with the
// reference loops. Usage:
//   tarvo-bench [--quick] [--threads N] [--data DIR] [--only TEXT] [--rpf SCRIPT]
// --quick runs only the cases of up to 100,000 examinees and skips the
// large ones; --only runs the cases whose name contains TEXT ("mml" for the
// marginal estimator's sections alone); --real names the folder of the
// public LSAT data and other programs' fits of them; --reference runs the
// OpenMx reference fit (bench/reference/openmx_fit.R, needs R) beside the
// marginal estimator; --replicates N fits N sets drawn like M to judge the
// spread of its standard errors; --rpf runs the fit statistics' reference
// (bench/reference/rpf_fit.R, needs R with rpf) beside their own ("fit");
// "exact" compares the two arithmetics around the size below which a run
// takes the reference loops.
// --only poly runs the polytomous estimator on the shared sim_grm5 (with
// --reference, OpenMx's fit of it by bench/reference/openmx_poly_fit.R
// beside it) and its recovery study (--replicates, 20 by default).
// --only scaling runs the GRM, the GPCM, a mixed test and the 3PL on
// simulated tests of growing size (--quick up to 5,000 x 200) and prints
// each one's processor time and memory beside the 3PL's.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "bench_data.h"
#include "child_run.h"
#include "core/modes.h"
#include "estimation/kernels/fast_kernels.h"
#include "exact_bench.h"
#include "fit_bench.h"
#include "loop_timing.h"
#include "marginal_bench.h"
#include "marginal_child.h"
#include "poly_bench.h"
#include "report_timing.h"
#include "result_agreement.h"

namespace {

using namespace tarvo;
using namespace tarvo::bench;

struct Case {
    const char* name;
    int mode;
    std::size_t persons;
    std::size_t items;
    bool onePL;
    bool large;          // left out by --quick
    bool threadSpeedup;  // also run on one thread and compare
};

const Case kCases[] = {
    {"theta-only", 1, 100'000, 100, false, false, false},
    {"theta-only", 1, 1'000'000, 100, false, true, false},
    {"items-only", 2, 10'000, 60, false, false, false},
    {"items-only", 2, 50'000, 100, false, true, false},
    {"joint", 3, 1'000, 45, false, false, false},
    {"joint", 3, 10'000, 60, false, false, true},
    {"joint", 3, 50'000, 100, false, true, false},
    {"joint-1pl", 6, 10'000, 60, true, false, false},
};

// Agreement with the reference loops is checked on data sets up to this size.
constexpr std::size_t kLargestAgreementCheck = 10'000;

struct Options {
    bool quick = false;
    unsigned threads = 0;
    std::string dataDir = "build/bench-data";
    std::string only;
    std::string realDir = "../shared/data/real";
    std::string reference;  // the OpenMx reference script, when asked for
    std::string rpf;        // the rpf reference script of the fit statistics
    int replicates = 0;     // sets drawn like M for the standard errors' spread
};

double NsPerEvaluationPerThread(double seconds, std::uint64_t evaluations, unsigned threads) {
    return evaluations == 0 ? 0 : seconds * 1e9 * threads / static_cast<double>(evaluations);
}

std::string Size(const Case& c) {
    return std::to_string(c.persons) + " x " + std::to_string(c.items);
}

void PrintRow(const Case& c, const char* arithmetic, unsigned threads, const RunMeasure& m,
              const std::string& note) {
    if (!m.ok) {
        std::printf("| %-10s | %d | %-15s | %-9s | %u | failed: %s |\n", c.name, c.mode,
                    Size(c).c_str(), arithmetic, threads, m.error.c_str());
        return;
    }
    const std::string passes =
        RulesOf(c.mode).path == RunPath::Joint ? std::to_string(m.passes) : std::string("-");
    std::printf("| %-10s | %d | %-15s | %-9s | %7u | %8.2f | %14llu | %6.2f | %6s | %7.0f | %s |\n",
                c.name, c.mode, Size(c).c_str(), arithmetic, threads, m.wallSeconds,
                static_cast<unsigned long long>(m.evaluations),
                NsPerEvaluationPerThread(m.wallSeconds, m.evaluations, threads), passes.c_str(),
                static_cast<double>(m.peakKiB) / 1024.0, note.c_str());
    std::fflush(stdout);
}

std::string AgreementNote(const std::string& referenceFile, const std::string& fastFile) {
    const Agreement agreement = CompareResultFiles(ReadWhole(referenceFile), ReadWhole(fastFile));
    char text[256];
    std::snprintf(text, sizeof text, "%s: %zu of %zu numbers identical, largest difference %llu",
                  agreement.Holds() ? "agrees" : "DISAGREES", agreement.identicalFields,
                  agreement.numericFields,
                  static_cast<unsigned long long>(agreement.largestDifference));
    std::string note = text;
    if (!agreement.sameLayout) note += " (" + agreement.firstDifference + ")";
    return note;
}

void RunCase(const Case& c, const Options& options, unsigned threads) {
    DataSet data;
    data.persons = c.persons;
    data.items = c.items;
    data.onePL = c.onePL;
    const DataFiles files = EnsureDataFiles(data, options.dataDir);
    if (files.responseFile.empty()) {
        std::printf("| %-10s | cannot write the data files under %s |\n", c.name,
                    options.dataDir.c_str());
        return;
    }
    auto request = [&](Arithmetic arithmetic, unsigned runThreads) {
        RunRequest r;
        r.mode = c.mode;
        r.threads = runThreads;
        r.engine.arithmetic = arithmetic;
        r.data = data;
        r.files = files;
        r.outputFile = options.dataDir + "/out-" + std::to_string(c.mode) + "-" + data.Name() +
                       (arithmetic == Arithmetic::Reference ? "-reference" : "-fast") + "-t" +
                       std::to_string(runThreads) + ".csv";
        return r;
    };

    const RunRequest fast = request(Arithmetic::Fast, threads);
    const RunMeasure fastMeasure = RunInChild(fast);
    std::string note;
    if (fastMeasure.ok && c.persons <= kLargestAgreementCheck) {
        const RunRequest reference = request(Arithmetic::Reference, threads);
        const RunMeasure referenceMeasure = RunInChild(reference);
        PrintRow(c, "reference", threads, referenceMeasure, "");
        if (referenceMeasure.ok) note = AgreementNote(reference.outputFile, fast.outputFile);
    }
    if (fastMeasure.ok && c.threadSpeedup && threads > 1) {
        const RunRequest single = request(Arithmetic::Fast, 1);
        const RunMeasure singleMeasure = RunInChild(single);
        PrintRow(c, "fast", 1, singleMeasure, "");
        if (singleMeasure.ok) {
            const bool same = ReadWhole(single.outputFile) == ReadWhole(fast.outputFile);
            char text[160];
            std::snprintf(text, sizeof text, "%s%.2fx faster than 1 thread, result bytes %s",
                          note.empty() ? "" : "; ",
                          singleMeasure.wallSeconds / fastMeasure.wallSeconds,
                          same ? "identical" : "DIFFER");
            note += text;
        }
    }
    PrintRow(c, "fast", threads, fastMeasure, note);
}

void PrintLoopTimings() {
    std::printf("\nScoring loops alone, one thread (3PL; cpu: the thread's processor time):\n\n");
    std::printf(
        "| loop  | examinees x items | arithmetic | wall s  | evaluations | ns/eval | cpu ns/eval "
        "|\n");
    std::printf(
        "|-------|-------------------|------------|---------|-------------|---------|-------------|"
        "\n");
    struct Shape {
        std::size_t persons, items;
        bool withItemLoops;
    };
    struct Way {
        const char* name;
        Arithmetic arithmetic;
        VectorUnit unit;
    };
    const Way ways[] = {{"reference", Arithmetic::Reference, VectorUnit::Best},
                        {"fast", Arithmetic::Fast, VectorUnit::Best},
                        {"fast avx2", Arithmetic::Fast, VectorUnit::Avx2},
                        {"fast sse2", Arithmetic::Fast, VectorUnit::Portable}};
    std::printf("(fast: %s kernels)\n\n", KernelsFor(VectorUnit::Best)->name);
    for (const Shape shape : {Shape{10'000, 60, true}, Shape{50'000, 100, false}}) {
        for (const Way& way : ways) {
            if (KernelsFor(way.unit) == nullptr ||
                (way.unit != VectorUnit::Best &&
                 KernelsFor(way.unit) == KernelsFor(VectorUnit::Best))) {
                continue;
            }
            for (const LoopTiming& t : TimeLoops(way.arithmetic, way.unit, shape.persons,
                                                 shape.items, shape.withItemLoops)) {
                const std::string size =
                    std::to_string(t.persons) + " x " + std::to_string(t.items);
                std::printf("| %-5s | %-17s | %-10s | %7.3f | %11llu | %7.2f | %11.2f |\n",
                            t.loop.c_str(), size.c_str(), way.name, t.seconds,
                            static_cast<unsigned long long>(t.evaluations),
                            NsPerEvaluationPerThread(t.seconds, t.evaluations, 1),
                            NsPerEvaluationPerThread(t.cpuSeconds, t.evaluations, 1));
            }
        }
    }
    std::fflush(stdout);
}

// The run report's own cost, on the tables of the largest joint case. The
// whole-run rows above already include it; this shows how much of them it is.
void PrintReportTiming() {
    const ReportTiming t = TimeReport(50'000, 100);
    std::printf(
        "\nRun report on 50000 x 100 (one thread): statistics, flags and warnings %.3f s; "
        "JSON text %.3f s (%.1f MB, written only with --report)\n",
        t.statisticsSeconds, t.jsonSeconds, t.jsonBytes / 1e6);
    std::fflush(stdout);
}

int Usage(const char* problem) {
    std::fprintf(stderr,
                 "tarvo-bench: %s\nUsage: tarvo-bench [--quick] [--threads N] "
                 "[--data DIR] [--only TEXT] [--real DIR] [--reference SCRIPT] "
                 "[--rpf SCRIPT] [--replicates N]\n",
                 problem);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (IsChildRun(argc, argv)) return ChildMain(argc, argv);
    if (IsMarginalChildRun(argc, argv)) return MarginalChildMain(argc, argv);
    if (IsPolytomousChildRun(argc, argv)) return PolytomousChildMain(argc, argv);

    Options options;
    for (int k = 1; k < argc; ++k) {
        const std::string arg = argv[k];
        if (arg == "--quick") {
            options.quick = true;
        } else if ((arg == "--threads" || arg == "--data" || arg == "--only" || arg == "--real" ||
                    arg == "--reference" || arg == "--rpf" || arg == "--replicates") &&
                   k + 1 < argc) {
            const std::string value = argv[++k];
            if (arg == "--threads")
                options.threads = static_cast<unsigned>(std::atoi(value.c_str()));
            if (arg == "--data") options.dataDir = value;
            if (arg == "--only") options.only = value;
            if (arg == "--real") options.realDir = value;
            if (arg == "--reference") options.reference = value;
            if (arg == "--rpf") options.rpf = value;
            if (arg == "--replicates") options.replicates = std::atoi(value.c_str());
        } else {
            return Usage(("unknown or incomplete option " + arg).c_str());
        }
    }
    const unsigned threads =
        options.threads > 0 ? options.threads : std::max(1u, std::thread::hardware_concurrency());

    std::printf("Whole runs (files read and written), %u threads:\n\n", threads);
    std::printf(
        "| case       | mode | examinees x items | arithmetic | threads | wall s | "
        "evaluations | ns/eval/thread | passes | peak MB | notes |\n");
    std::printf("|---|---|---|---|---|---|---|---|---|---|---|\n");
    for (const Case& c : kCases) {
        if (options.quick && c.large) continue;
        const std::string name = std::string(c.name) + " " + Size(c);
        if (!options.only.empty() && name.find(options.only) == std::string::npos) continue;
        RunCase(c, options, threads);
    }
    if (options.only.empty() || options.only.rfind("mml", 0) == 0) {
        PrintMarginalSection(options.dataDir, threads, options.quick, options.only,
                             options.reference);
        PrintMaximumSection(options.dataDir, threads, options.quick, options.only,
                            options.reference);
        PrintReplicateSection(options.dataDir, threads, options.replicates);
        PrintRealDataSection(options.realDir, options.dataDir);
    }
    if (options.only.empty() || options.only == "poly") {
        PrintPolytomousSection(options.realDir, options.dataDir, threads, options.reference);
        // 20 replicates unless told otherwise.
        PrintRecoverySection(options.dataDir, threads,
                             options.replicates > 0 ? options.replicates : 20);
    }
    if (options.only.empty() || options.only == "scaling") {
        PrintScalingSection(options.dataDir, threads, options.quick);
    }
    if (options.only.empty() || std::string("loops").find(options.only) != std::string::npos) {
        PrintLoopTimings();
    }
    if (options.only.empty() || std::string("report").find(options.only) != std::string::npos) {
        PrintReportTiming();
    }
    if (options.only.empty() || std::string("fit").find(options.only) != std::string::npos) {
        PrintFitSection(options.dataDir, options.realDir, threads, options.quick, options.rpf);
    }
    if (options.only.empty() || std::string("exact").find(options.only) != std::string::npos) {
        PrintExactSection(options.dataDir, threads, options.quick);
    }
    return 0;
}
