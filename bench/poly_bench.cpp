#include "poly_bench.h"

#include <sys/resource.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "bench_data.h"
#include "child_run.h"
#include "estimation/polytomous/poly_items.h"
#include "item_values.h"
#include "quiet_host.h"
#include "report/run_report.h"
#include "request/option_table.h"
#include "request/request_parser.h"
#include "run/calibration_run.h"

namespace tarvo::bench {

namespace {

constexpr const char* kChildFlag = "--child-poly";
// The quadrature of the reference fits of the shared data (49 points on
// [-6, 6]), used by both programs here.
constexpr int kPoints = 49;
constexpr std::size_t kSimItems = 30;

using Options = std::vector<std::pair<std::string, std::string>>;

double ProcessorSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
}

// A whole run with the runner's options (ID in columns 1-8, responses from
// column 20); false with the messages when it does not finish.
bool RunWith(const std::string& responses, std::size_t items, const std::string& output,
             const Options& more, RunReport& report, std::string& messages) {
    Options options = {{"response-file", responses},
                       {"item-count", std::to_string(items)},
                       {"response-start", "20"},
                       {"examinee-id-start", "1"},
                       {"examinee-id-length", "8"},
                       {"output-file", output},
                       {"method", "mml"}};
    options.insert(options.end(), more.begin(), more.end());
    request::RequestTexts texts;
    for (const auto& [name, value] : options) {
        const std::string problem = request::ApplyOption(name, value, texts);
        if (!problem.empty()) {
            messages = problem;
            return false;
        }
    }
    const request::RequestCheck check = request::ParseRequest(texts);
    if (!check.request) {
        messages = "the options make no request";
        return false;
    }
    QuietHost host;
    const bool finished = RunCalibration(*check.request, host, &report) == RunEnd::Finished;
    messages = host.Messages();
    return finished;
}

}  // namespace

PolyMeasure RunPolyInChild(unsigned threads, const std::string& model, const std::string& responses,
                           std::size_t items, const std::string& output) {
    const ChildReply reply = RunChildProcess({"tarvo-bench", kChildFlag, std::to_string(threads),
                                              model, responses, std::to_string(items), output});
    PolyMeasure m;
    m.peakKiB = reply.peakKiB;
    m.heapKiB = reply.heapKiB;
    if (std::sscanf(reply.text.c_str(), "ok %lf %lf %d %lf", &m.wall, &m.cpu, &m.cycles,
                    &m.logLikelihood) == 4) {
        m.ok = true;
    } else {
        m.error = reply.text.empty() ? "child ended without a reply" : reply.text;
    }
    return m;
}

namespace {

struct OpenMxMeasure {
    bool ok = false;
    double wall = 0, cpu = 0;
    int cycles = 0;
    double logLikelihood = NAN;
};

OpenMxMeasure RunOpenMx(const std::string& script, const std::string& responses, std::size_t items,
                        const std::string& model, unsigned threads) {
    const std::string command =
        "Rscript '" + script + "' '" + responses + "' " + std::to_string(items) + " 20 " + model +
        " " + std::to_string(kPoints) + " " + std::to_string(threads) + " 2>/dev/null";
    OpenMxMeasure r;
    std::FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return r;
    char line[256] = {0};
    const bool read = std::fgets(line, sizeof line, pipe) != nullptr;
    pclose(pipe);
    r.ok = read &&
           std::sscanf(line, "%lf %lf %d %lf", &r.wall, &r.cpu, &r.cycles, &r.logLikelihood) == 4;
    return r;
}

// The directory part of a path, with its slash ("" for none).
std::string DirectoryOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

void PrintRow(const char* model, unsigned threads, const PolyMeasure& m, std::size_t responses,
              const std::string& note) {
    std::printf("| %s | %u | %.3f | %.3f | %d | %.3f | %.1f | %.2f | %.1f | %s |\n", model, threads,
                m.wall, m.cpu, m.cycles, m.logLikelihood, static_cast<double>(m.peakKiB) / 1024,
                static_cast<double>(m.heapKiB) / 1024,
                static_cast<double>(m.heapKiB) * 1024 / static_cast<double>(responses),
                note.c_str());
    std::fflush(stdout);
}

}  // namespace

void PrintPolytomousSection(const std::string& realDir, const std::string& workDir,
                            unsigned threads, const std::string& openmxScript) {
    const std::string data = realDir + "/sim_grm5.dat";
    std::printf(
        "\nPolytomous marginal runs of %s (10,000 x 30, five categories), %d quadrature points, "
        "no priors, the whole run (file read, EM, standard errors, scores, result written):\n\n",
        data.c_str(), kPoints);
    if (ReadWhole(data).empty()) {
        std::printf("sim_grm5.dat not found under %s\n", realDir.c_str());
        return;
    }
    std::printf(
        "| model | threads | wall s | processor s | cycles | log-likelihood | peak MB | heap peak "
        "MB | heap / response bytes | notes |\n");
    std::printf("|---|---|---|---|---|---|---|---|---|---|\n");
    const std::string poly =
        openmxScript.empty() ? std::string() : DirectoryOf(openmxScript) + "openmx_poly_fit.R";
    const std::size_t responses = 10'000 * kSimItems;
    for (const char* model : {"grm", "gpcm"}) {
        const std::string output = workDir + "/out-poly-" + model + ".csv";
        const PolyMeasure first = RunPolyInChild(threads, model, data, kSimItems, output);
        if (!first.ok) {
            std::printf("| %s | %u | failed: %s |\n", model, threads, first.error.c_str());
            continue;
        }
        std::string note;
        if (threads > 1) {
            const std::string single = workDir + "/out-poly-" + model + "-t1.csv";
            const PolyMeasure one = RunPolyInChild(1, model, data, kSimItems, single);
            note = one.ok ? "1 thread " + std::to_string(one.wall).substr(0, 5) +
                                " s wall, result bytes " +
                                (ReadWhole(single) == ReadWhole(output) ? "identical" : "DIFFER")
                          : "1 thread failed";
        }
        PrintRow(model, threads, first, responses, note);
        if (poly.empty()) continue;
        const OpenMxMeasure ref = RunOpenMx(poly, data, kSimItems, model, threads);
        const PolyMeasure second = RunPolyInChild(threads, model, data, kSimItems, output);
        if (!ref.ok || !second.ok) {
            std::printf("| %s | OpenMx reference failed (is r-cran-openmx installed?) |\n", model);
            continue;
        }
        const double wall = (first.wall + second.wall) / 2, cpu = (first.cpu + second.cpu) / 2;
        char text[256];
        std::snprintf(text, sizeof text,
                      "OpenMx (fit and Oakes standard errors), between two of ours: ours %.1fx "
                      "faster by wall time, %.1fx by processor time; log-likelihood ours %+.4f",
                      ref.wall / wall, ref.cpu / cpu, second.logLikelihood - ref.logLikelihood);
        std::printf("| %s OpenMx | %u | %.3f | %.3f | %d | %.3f | | | | %s |\n", model, threads,
                    ref.wall, ref.cpu, ref.cycles, ref.logLikelihood, text);
        PrintRow(model, threads, second, responses, "ours again");
    }
}

bool IsPolytomousChildRun(int argc, char** argv) {
    return argc > 1 && std::strcmp(argv[1], kChildFlag) == 0;
}

int PolytomousChildMain(int argc, char** argv) {
    // --child-poly THREADS MODEL RESPONSES ITEMS OUTPUT
    if (argc != 7) {
        std::printf("fail bad child arguments\n");
        return 2;
    }
    RunReport report;
    std::string messages;
    const std::size_t heapAtStart = HeapAtStart();
    const double cpuAtStart = ProcessorSeconds();
    const auto start = std::chrono::steady_clock::now();
    // A mixed test: the GRM's items beside right/wrong items under the 3PL.
    const std::string model = std::string(argv[3]) == "mixed" ? "grm" : argv[3];
    const bool finished =
        RunWith(argv[4], std::strtoull(argv[5], nullptr, 10), argv[6],
                {{"model", model}, {"quadrature", std::to_string(kPoints)}, {"threads", argv[2]}},
                report, messages);
    const auto end = std::chrono::steady_clock::now();
    if (!finished) {
        std::printf("fail run did not finish: %s\n", messages.c_str());
        return 1;
    }
    std::printf("ok %.6f %.6f %d %.6f\n", std::chrono::duration<double>(end - start).count(),
                ProcessorSeconds() - cpuAtStart, report.loop.passes, report.logLikelihood);
    PrintMemoryLine(heapAtStart);
    return 0;
}

}  // namespace tarvo::bench
