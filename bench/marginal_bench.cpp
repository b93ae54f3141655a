#include "marginal_bench.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "bench_data.h"
#include "child_run.h"
#include "estep_floor.h"
#include "item_values.h"
#include "marginal_child.h"
#include "openmx_reference.h"
#include "quiet_host.h"
#include "run/calibration_run.h"
#include "sample_layout.h"

namespace tarvo::bench {

namespace {

// peakMiB is the process's peak resident memory, with the program's code and
// libraries; heapMiB the most the run itself had allocated at once.
void PrintRecovery(const char* set, const MarginalSet& s, const char* method, unsigned threads,
                   double wall, const std::string& cycles, double peakMiB, double heapMiB,
                   const Recovery& r, const std::string& note) {
    std::printf(
        "| %s | %zu x %zu | %-6s | %u | %7.2f | %6s | %6.1f | %6.2f | %5.2f | %.4f | %.4f | %.4f | "
        "%.2f | %.2f | %.2f | %s |\n",
        set, s.persons, s.items, method, threads, wall, cycles.c_str(), peakMiB, heapMiB,
        heapMiB * 1024 * 1024 / static_cast<double>(s.persons * s.items), r.rmse[0], r.rmse[1],
        r.rmse[2], r.zSd[0], r.zSd[1], r.zSd[2], note.c_str());
    std::fflush(stdout);
}

double MiB(long kib) { return static_cast<double>(kib) / 1024.0; }

// The processor's clock in Hz as the system reports it (0 when unknown).
double ClockHz() {
    for (const std::string& line : Lines(ReadWhole("/proc/cpuinfo"))) {
        if (line.rfind("cpu MHz", 0) != 0) continue;
        const std::size_t colon = line.find(':');
        if (colon != std::string::npos) return std::atof(line.c_str() + colon + 1) * 1e6;
    }
    return 0;
}

// The least time one EM cycle's E-step could take on one core if every row
// came from the first cache: every examinee adds one pattern row per group
// of three items to its log posterior (two loads a clock) and adds its
// weights into one row of sums per group (one store a clock), four doubles
// at a time (AVX2), over the 61 points padded to 64. The exponentials, the
// M-step and the trimmed tails are left out. The tables (27 rows of 512
// bytes per group, and as many sums) outgrow the first cache from a dozen
// items on, so this is no floor there: MeasuredEStepFloorSeconds is.
double OneCoreLimitSeconds(std::size_t persons, std::size_t items, double hz) {
    constexpr double kLanes = 64, kClocksPerLane = 1.0 / 8 + 1.0 / 4;
    const double groups = static_cast<double>((items + 2) / 3);
    return hz > 0 ? static_cast<double>(persons) * groups * kLanes * kClocksPerLane / hz : 0;
}

// One peer's fit of one model: estimates by item and the log-likelihood.
struct PeerFit {
    std::string peer;
    double logLikelihood = -INFINITY;
    std::vector<ItemValues> items;
};

// The best (highest log-likelihood) marginal fit of model among the peers.
PeerFit BestPeer(const std::string& peersFile, const std::string& model) {
    std::map<std::string, PeerFit> fits;
    for (const std::string& line : Lines(ReadWhole(peersFile))) {
        std::vector<std::string> fields;
        std::istringstream row(line);
        for (std::string field; std::getline(row, field, ',');) {
            if (field.size() >= 2 && field.front() == '"')
                field = field.substr(1, field.size() - 2);
            fields.push_back(field);
        }
        if (fields.size() < 8 || fields[1] != model || fields[2] != "MML-EM") continue;
        PeerFit& fit = fits[fields[0]];
        fit.peer = fields[0];
        fit.logLikelihood = std::atof(fields[7].c_str());
        fit.items.push_back({std::atof(fields[4].c_str()), std::atof(fields[5].c_str()),
                             std::atof(fields[6].c_str())});
    }
    PeerFit best;
    for (const auto& [name, fit] : fits) {
        if (fit.logLikelihood > best.logLikelihood) best = fit;
    }
    return best;
}

}  // namespace

void PrintRealDataSection(const std::string& realDir, const std::string& workDir) {
    std::printf(
        "\nMarginal fits without priors of the public LSAT data (%s) beside the best of other "
        "programs' fits (a on this metric, D = 1.7):\n\n",
        realDir.c_str());
    std::printf(
        "| data | model | log-likelihood | best other (program) | difference | largest a "
        "difference | largest b difference | cycles |\n");
    std::printf("|---|---|---|---|---|---|---|---|\n");
    struct Model {
        const char* ours;
        const char* theirs;
        MarginalModel model;
    };
    const Model models[] = {{"2pl", "2PL", MarginalModel::TwoPL},
                            {"3pl", "3PL", MarginalModel::ThreePL},
                            {"rasch", "Rasch", MarginalModel::Rasch}};
    for (const char* name : {"lsat6", "lsat7"}) {
        const std::string data = realDir + "/" + name + ".dat";
        const std::string peers = realDir + "/" + name + "_peers.csv";
        if (ReadWhole(data).empty()) {
            std::printf("| %s | not found under %s |\n", name, realDir.c_str());
            continue;
        }
        for (const Model& m : models) {
            const std::string output = workDir + "/out-mml-" + name + "-" + m.ours + ".csv";
            QuietHost host;
            const MarginalSettings settings = WithoutPriors(m.model);
            RunReport report;
            const tarvo::RunRequest run =
                RequestFor(sim::SampleControlTexts(5, data, "", output), 3, 0, &settings);
            if (RunCalibration(run, host, &report) != RunEnd::Finished) {
                std::printf("| %s | %s | failed: %s |\n", name, m.ours, host.Messages().c_str());
                continue;
            }
            const PeerFit best = BestPeer(peers, m.theirs);
            std::string aDiff = "-", bDiff = "-";
            if (m.model != MarginalModel::Rasch) {
                const auto ours = Estimates(output);
                double da = 0, db = 0;
                for (std::size_t i = 0; i < ours.size() && i < best.items.size(); ++i) {
                    da = std::max(da, std::fabs(ours[i].a - best.items[i].a));
                    db = std::max(db, std::fabs(ours[i].b - best.items[i].b));
                }
                char text[32];
                std::snprintf(text, sizeof text, "%.3f", da);
                aDiff = text;
                std::snprintf(text, sizeof text, "%.3f", db);
                bDiff = text;
            }
            std::printf("| %s | %s | %.4f | %.4f (%s) | %+.4f | %s | %s | %d |\n", name, m.ours,
                        report.logLikelihood, best.logLikelihood, best.peer.c_str(),
                        report.logLikelihood - best.logLikelihood, aDiff.c_str(), bDiff.c_str(),
                        report.loop.passes);
        }
    }
    std::fflush(stdout);
}

void PrintMarginalSection(const std::string& dataDir, unsigned threads, bool quick,
                          const std::string& only, const std::string& referenceScript) {
    std::printf(
        "\nMarginal maximum likelihood (--method mml, 3PL, default priors) beside the classic "
        "joint fit (mode 3), %u threads; recovery of the generating items:\n\n",
        threads);
    std::printf(
        "| set | examinees x items | method | threads | wall s | cycles | peak MB | heap peak MB | "
        "heap / response bytes | RMSE a | RMSE b | RMSE c | SD z(a) | SD z(b) | SD z(c) | notes "
        "|\n");
    std::printf("|---|---|---|---|---|---|---|---|---|---|---|---|---|---|---|---|\n");
    for (const MarginalSet& s : kMarginalSets) {
        if (quick && s.large) continue;
        const std::string name = std::string("mml ") + s.name;
        if (!only.empty() && name.find(only) == std::string::npos) continue;
        DataSet data;
        data.persons = s.persons;
        data.items = s.items;
        const DataFiles files = EnsureDataFiles(data, dataDir);
        if (files.responseFile.empty()) {
            std::printf("| %s | cannot write the data files under %s |\n", s.name, dataDir.c_str());
            continue;
        }
        const auto truth = Truth(files.itemFile);
        const std::string output =
            dataDir + "/out-mml-" + data.Name() + "-t" + std::to_string(threads) + ".csv";
        const MarginalMeasure m = RunMarginalInChild(threads, data, files, output);
        if (!m.ok) {
            std::printf("| %s | mml failed: %s |\n", s.name, m.error.c_str());
            continue;
        }
        std::string note = m.converged ? "converged" : "NOT converged";
        char text[320];
        std::snprintf(text, sizeof text, ", log-likelihood %.2f", m.logLikelihood);
        note += text;
        const double limit = OneCoreLimitSeconds(s.persons, s.items, ClockHz());
        const double floor = MeasuredEStepFloorSeconds(s.persons, s.items);
        auto times = [limit](double seconds) { return limit > 0 ? seconds / limit : 0.0; };
        auto share = [](double part, double whole) { return whole > 0 ? 100 * part / whole : 0.0; };
        std::snprintf(text, sizeof text,
                      "; a cycle %.2f ms wall, %.2f ms processor, %.1fx and %.1fx the one-core "
                      "limit %.2f ms, processor %.2fx the measured floor %.2f ms; standard "
                      "errors %.1f%% of the run's wall time, %.1f%% of its processor time",
                      m.secondsPerCycle * 1e3, m.cpuPerCycle * 1e3, times(m.secondsPerCycle),
                      times(m.cpuPerCycle), limit * 1e3, floor > 0 ? m.cpuPerCycle / floor : 0.0,
                      floor * 1e3, share(m.errorSeconds, m.wall), share(m.errorCpu, m.runCpu));
        note += text;
        if (threads > 1 && !s.large) {
            const std::string single = dataDir + "/out-mml-" + data.Name() + "-t1.csv";
            const MarginalMeasure one = RunMarginalInChild(1, data, files, single);
            if (one.ok) {
                std::snprintf(text, sizeof text, "; 1 thread %.2f s, result bytes %s", one.wall,
                              ReadWhole(single) == ReadWhole(output) ? "identical" : "DIFFER");
                note += text;
            }
        }
        const Recovery ours = Recover(truth, Estimates(output));
        PrintRecovery(s.name, s, "mml", threads, m.wall, std::to_string(m.cycles), MiB(m.peakKiB),
                      MiB(m.heapKiB), ours, note);
        if (!s.withReference) continue;
        if (!referenceScript.empty()) {
            const std::string refOutput = dataDir + "/out-openmx-" + data.Name() + ".csv";
            const ReferenceMeasure ref =
                RunReference(referenceScript, files, s.items, refOutput, true);
            if (!ref.ok) {
                std::printf("| %s | OpenMx reference failed (is r-cran-openmx installed?) |\n",
                            s.name);
            } else {
                const Recovery theirs = Recover(truth, ref.items);
                std::snprintf(text, sizeof text,
                              "fit alone; mml %.1fx faster; RMSE ratio mml/OpenMx a %.3f b %.3f "
                              "c %.3f",
                              ref.seconds / m.wall, ours.rmse[0] / theirs.rmse[0],
                              ours.rmse[1] / theirs.rmse[1], ours.rmse[2] / theirs.rmse[2]);
                PrintRecovery(s.name, s, "OpenMx", 0, ref.seconds, std::to_string(ref.cycles), NAN,
                              NAN, theirs, text);
            }
        }

        RunRequest joint;
        joint.mode = 3;
        joint.threads = threads;
        joint.data = data;
        joint.files = files;
        joint.outputFile =
            dataDir + "/out-3-" + data.Name() + "-fast-t" + std::to_string(threads) + ".csv";
        const RunMeasure j = RunInChild(joint);
        if (!j.ok) {
            std::printf("| %s | jml failed: %s |\n", s.name, j.error.c_str());
            continue;
        }
        PrintRecovery(s.name, s, "jml", threads, j.wallSeconds, std::to_string(j.passes),
                      MiB(j.peakKiB), MiB(j.heapKiB), Recover(truth, Estimates(joint.outputFile)),
                      "passes");
    }
}

}  // namespace tarvo::bench
