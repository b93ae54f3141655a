#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "bench_data.h"
#include "estimation/engine_settings.h"

namespace tarvo::bench {

// One whole calibration run of the benchmark, from the input files to the
// result file, made in a fresh child process so that its peak memory is its
// own.
struct RunRequest {
    int mode = 3;
    unsigned threads = 0;
    EngineSettings engine;
    DataSet data;
    DataFiles files;
    std::string outputFile;
};

struct RunMeasure {
    bool ok = false;
    std::string error;
    double wallSeconds = 0;  // RunCalibration alone, files included
    std::uint64_t evaluations = 0;
    int passes = 0;    // joint modes: passes begun, as the run reports them
    long peakKiB = 0;  // the child's peak resident memory
    long heapKiB = 0;  // the most the run had allocated at once
};

RunMeasure RunInChild(const RunRequest& request);

// Runs this program again with args (args[0] is the program name), waits for
// it and returns what it wrote to standard output and its peak memory.
struct ChildReply {
    bool started = false;
    std::string text;
    long peakKiB = 0;  // the child's own peak resident memory
    long heapKiB = 0;  // the most the run had allocated at once (0: not told)
};
ChildReply RunChildProcess(const std::vector<std::string>& args);

// The child's side of the memory figures. The kernel's rusage peak of a child
// counts the pages it shared with the parent between fork and exec, so the
// child reads its own high-water mark instead, and adds the run's heap peak:
// HeapAtStart() before the run, PrintMemoryLine(start) after it, and
// RunChildProcess reads the line.
std::size_t HeapAtStart();
void PrintMemoryLine(std::size_t heapAtStart);

// The child's side: true when argv asks for a child run; it is then made,
// its figures go to standard output and *exitCode is set.
bool IsChildRun(int argc, char** argv);
int ChildMain(int argc, char** argv);

}  // namespace tarvo::bench
