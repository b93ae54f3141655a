#include "child_run.h"

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "estimation/classic/evaluation_counter.h"
#include "heap_count.h"
#include "quiet_host.h"
#include "run/calibration_run.h"

namespace tarvo::bench {

namespace {

constexpr const char* kChildFlag = "--child";

const char* ArithmeticName(Arithmetic arithmetic) {
    return arithmetic == Arithmetic::Reference ? "reference" : "fast";
}

// A "VmHWM:" figure of /proc/self/status in KiB (0 if absent).
long StatusKiB(const char* field) {
    long kib = 0;
    if (std::FILE* status = std::fopen("/proc/self/status", "r")) {
        char line[256];
        const std::size_t length = std::strlen(field);
        while (std::fgets(line, sizeof line, status)) {
            if (std::strncmp(line, field, length) == 0) {
                kib = std::atol(line + length);
                break;
            }
        }
        std::fclose(status);
    }
    return kib;
}

}  // namespace

std::size_t HeapAtStart() { return HeapInUse(); }

void PrintMemoryLine(std::size_t heapAtStart) {
    std::printf("mem %ld %ld\n", StatusKiB("VmHWM:"),
                static_cast<long>((HeapPeak() - heapAtStart) / 1024));
}

bool IsChildRun(int argc, char** argv) { return argc > 1 && std::strcmp(argv[1], kChildFlag) == 0; }

int ChildMain(int argc, char** argv) {
    // --child MODE THREADS ARITHMETIC PERSONS ITEMS RESPONSES ITEMFILE OUTPUT
    if (argc != 10) {
        std::printf("fail bad child arguments\n");
        return 2;
    }
    DataSet data;
    const int mode = std::atoi(argv[2]);
    const unsigned threads = static_cast<unsigned>(std::atoi(argv[3]));
    EngineSettings engine;
    engine.arithmetic =
        std::strcmp(argv[4], "reference") == 0 ? Arithmetic::Reference : Arithmetic::Fast;
    data.persons = std::strtoull(argv[5], nullptr, 10);
    data.items = std::strtoull(argv[6], nullptr, 10);
    const DataFiles files{argv[7], argv[8]};
    QuietHost host;
    const tarvo::RunRequest run = RequestFor(ControlTexts(data, files, argv[9]), mode, threads);
    const std::size_t heapAtStart = HeapAtStart();

    const std::uint64_t before = EvaluationCounter().load();
    const auto start = std::chrono::steady_clock::now();
    // The report is gathered as a user's run gathers it, so its cost is in
    // the time measured.
    RunReport report;
    const RunEnd outcome = RunCalibration(run, host, &report, engine);
    const auto end = std::chrono::steady_clock::now();
    const std::uint64_t evaluations = EvaluationCounter().load() - before;

    if (outcome != RunEnd::Finished) {
        std::printf("fail run did not finish: %s\n", host.Messages().c_str());
        return 1;
    }
    std::printf("ok %.6f %llu %d\n", std::chrono::duration<double>(end - start).count(),
                static_cast<unsigned long long>(evaluations), report.loop.passes);
    PrintMemoryLine(heapAtStart);
    return 0;
}

ChildReply RunChildProcess(const std::vector<std::string>& args) {
    ChildReply reply;
    std::vector<char*> argv;
    for (const auto& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);

    int channel[2];
    if (pipe(channel) != 0) return reply;
    const pid_t child = fork();
    if (child < 0) {
        close(channel[0]);
        close(channel[1]);
        return reply;
    }
    if (child == 0) {
        dup2(channel[1], STDOUT_FILENO);
        close(channel[0]);
        close(channel[1]);
        execv("/proc/self/exe", argv.data());
        _exit(127);
    }
    close(channel[1]);
    char buffer[512];
    for (ssize_t got; (got = read(channel[0], buffer, sizeof buffer)) != 0;) {
        if (got < 0) break;
        reply.text.append(buffer, static_cast<std::size_t>(got));
    }
    close(channel[0]);
    int status = 0;
    struct rusage usage {};
    wait4(child, &status, 0, &usage);
    reply.started = true;
    reply.peakKiB = usage.ru_maxrss;
    const auto mem = reply.text.find("\nmem ");
    long peak = 0, heap = 0;
    if (mem != std::string::npos &&
        std::sscanf(reply.text.c_str() + mem + 1, "mem %ld %ld", &peak, &heap) == 2 && peak > 0) {
        reply.peakKiB = peak;
        reply.heapKiB = heap;
    }
    return reply;
}

RunMeasure RunInChild(const RunRequest& request) {
    RunMeasure measure;
    const std::vector<std::string> args = {"tarvo-bench",
                                           kChildFlag,
                                           std::to_string(request.mode),
                                           std::to_string(request.threads),
                                           ArithmeticName(request.engine.arithmetic),
                                           std::to_string(request.data.persons),
                                           std::to_string(request.data.items),
                                           request.files.responseFile,
                                           request.files.itemFile,
                                           request.outputFile};
    const ChildReply child = RunChildProcess(args);
    if (!child.started) {
        measure.error = "fork failed";
        return measure;
    }
    measure.peakKiB = child.peakKiB;
    measure.heapKiB = child.heapKiB;
    const std::string& reply = child.text;

    double wall = 0;
    unsigned long long evaluations = 0;
    int passes = 0;
    if (std::sscanf(reply.c_str(), "ok %lf %llu %d", &wall, &evaluations, &passes) == 3) {
        measure.ok = true;
        measure.wallSeconds = wall;
        measure.evaluations = evaluations;
        measure.passes = passes;
    } else {
        measure.error = reply.empty() ? "child ended without a reply" : reply;
    }
    return measure;
}

}  // namespace tarvo::bench
