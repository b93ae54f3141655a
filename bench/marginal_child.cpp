#include "marginal_child.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "child_run.h"
#include "quiet_host.h"
#include "run/calibration_run.h"
#include "thread_time.h"

namespace tarvo::bench {

namespace {

constexpr const char* kChildFlag = "--child-mml";

using Clock = std::chrono::steady_clock;

// A quiet host that notes when the marginal estimator's phases begin, from
// its progress lines: the EM cycles, the standard errors and the scoring,
// in wall time and in the process's processor time.
class PhaseHost final : public QuietHost {
  public:
    void ProgressSet(int, const std::string& text) override {
        const Moment now{Clock::now(), ProcessCpuSeconds()};
        if (text.rfind("EM cycle ", 0) == 0) {
            if (cycles_++ == 0) firstCycle_ = now;
            lastCycle_ = now;
        } else if (text == "Standard errors.") {
            errors_ = now;
        } else if (text == "Scoring examinees.") {
            scoring_ = now;
        }
    }
    // Seconds per EM cycle after the first (which also builds the tables).
    double SecondsPerCycle() const {
        return cycles_ < 2 ? 0 : Seconds(firstCycle_, lastCycle_) / (cycles_ - 1);
    }
    double CpuPerCycle() const {
        return cycles_ < 2 ? 0 : (lastCycle_.cpu - firstCycle_.cpu) / (cycles_ - 1);
    }
    double ErrorSeconds() const { return Seconds(errors_, scoring_); }
    double ErrorCpu() const { return scoring_.cpu - errors_.cpu; }

  private:
    struct Moment {
        Clock::time_point wall;
        double cpu = 0;
    };
    static double Seconds(const Moment& from, const Moment& to) {
        return std::chrono::duration<double>(to.wall - from.wall).count();
    }
    int cycles_ = 0;
    Moment firstCycle_, lastCycle_, errors_, scoring_;
};

}  // namespace

MarginalMeasure RunMarginalInChild(unsigned threads, const DataSet& data, const DataFiles& files,
                                   const std::string& output, bool priors) {
    const ChildReply reply = RunChildProcess(
        {"tarvo-bench", kChildFlag, std::to_string(threads), std::to_string(data.persons),
         std::to_string(data.items), files.responseFile, files.itemFile, output,
         priors ? "priors" : "no-priors"});
    MarginalMeasure m;
    m.peakKiB = reply.peakKiB;
    m.heapKiB = reply.heapKiB;
    if (std::sscanf(reply.text.c_str(), "ok %lf %d %d %lf %lf %lf %lf %lf %lf %d", &m.wall,
                    &m.cycles, &m.converged, &m.logLikelihood, &m.secondsPerCycle, &m.errorSeconds,
                    &m.cpuPerCycle, &m.errorCpu, &m.runCpu, &m.cyclesToMaximum) == 10) {
        m.ok = true;
    } else {
        m.error = reply.text.empty() ? "child ended without a reply" : reply.text;
    }
    return m;
}

MarginalSettings WithoutPriors(MarginalModel model) {
    MarginalSettings settings;
    settings.model = model;
    settings.priorLogA.on = false;
    settings.priorC.on = false;
    settings.tolerance = 1e-6;
    settings.logLikelihoodTolerance = 1e-7;
    settings.maxCycles = 5000;
    return settings;
}

bool IsMarginalChildRun(int argc, char** argv) {
    return argc > 1 && std::strcmp(argv[1], kChildFlag) == 0;
}

int MarginalChildMain(int argc, char** argv) {
    // --child-mml THREADS PERSONS ITEMS RESPONSES ITEMFILE OUTPUT PRIORS
    if (argc != 9) {
        std::printf("fail bad child arguments\n");
        return 2;
    }
    DataSet data;
    const unsigned threads = static_cast<unsigned>(std::atoi(argv[2]));
    data.persons = std::strtoull(argv[3], nullptr, 10);
    data.items = std::strtoull(argv[4], nullptr, 10);
    const DataFiles files{argv[5], argv[6]};
    const auto texts = ControlTexts(data, files, argv[7]);
    PhaseHost host;
    RunReport report;
    const std::size_t heapAtStart = HeapAtStart();
    const auto start = std::chrono::steady_clock::now();
    const double cpuAtStart = ProcessCpuSeconds();
    const MarginalSettings settings =
        std::strcmp(argv[8], "no-priors") == 0 ? WithoutPriors() : MarginalSettings{};
    const RunEnd outcome = RunCalibration(RequestFor(texts, 3, threads, &settings), host, &report);
    const auto end = std::chrono::steady_clock::now();
    if (outcome != RunEnd::Finished) {
        std::printf("fail run did not finish: %s\n", host.Messages().c_str());
        return 1;
    }
    const double runCpu = ProcessCpuSeconds() - cpuAtStart;
    // logLikelihood[k] is the value at the start of cycle k + 1, after k cycles.
    const std::vector<double>& trace = report.loop.logLikelihood;
    int toMaximum = report.loop.passes;
    for (std::size_t k = 0; k < trace.size(); ++k) {
        if (std::fabs(trace[k] - report.logLikelihood) <= 0.01) {
            toMaximum = static_cast<int>(k);
            break;
        }
    }
    std::printf("ok %.6f %d %d %.6f %.6f %.6f %.6f %.6f %.6f %d\n",
                std::chrono::duration<double>(end - start).count(), report.loop.passes,
                report.loop.end == LoopEnd::Settled ? 1 : 0, report.logLikelihood,
                host.SecondsPerCycle(), host.ErrorSeconds(), host.CpuPerCycle(), host.ErrorCpu(),
                runCpu, toMaximum);
    PrintMemoryLine(heapAtStart);
    return 0;
}

}  // namespace tarvo::bench
