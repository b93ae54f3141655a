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
#include "estimation/marginal_run.h"
#include "quiet_host.h"
#include "sample_layout.h"

namespace tarvo::bench {

namespace {

constexpr const char* kChildFlag = "--child-mml";

struct Set {
    const char* name;
    std::size_t persons, items;
    bool large;
};
const Set kSets[] = {{"S", 1'000, 45, false}, {"M", 10'000, 60, false}, {"L", 50'000, 100, true}};

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

struct ItemValues {
    double a = 0, b = 0, c = 0, seea = -1, seeb = -1, seec = -1;
};

// The generating items, from the item file's fixed columns.
std::vector<ItemValues> Truth(const std::string& itemFile) {
    std::vector<ItemValues> items;
    for (const std::string& line : Lines(ReadWhole(itemFile))) {
        if (line.size() < 50) continue;
        ItemValues v;
        v.a = std::atof(line.substr(21, 9).c_str());
        v.b = std::atof(line.substr(31, 9).c_str());
        v.c = std::atof(line.substr(41, 9).c_str());
        items.push_back(v);
    }
    return items;
}

// The item rows of a result file in the joint layout (3PL columns).
std::vector<ItemValues> Estimates(const std::string& resultFile) {
    std::vector<ItemValues> items;
    const auto lines = Lines(ReadWhole(resultFile));
    for (std::size_t n = 1; n < lines.size() && !lines[n].empty(); ++n) {
        std::vector<double> fields;
        std::istringstream row(lines[n]);
        for (std::string field; std::getline(row, field, ',');) {
            fields.push_back(std::atof(field.c_str()));
        }
        if (fields.size() < 9) break;
        items.push_back({fields[3], fields[4], fields[5], fields[6], fields[7], fields[8]});
    }
    return items;
}

struct Recovery {
    double rmse[3] = {0, 0, 0};
    double zSd[3] = {0, 0, 0};  // NaN when no standard errors
};

Recovery Recover(const std::vector<ItemValues>& truth, const std::vector<ItemValues>& fit) {
    Recovery r;
    const std::size_t n = std::min(truth.size(), fit.size());
    for (int u = 0; u < 3; ++u) {
        double squares = 0, zSum = 0, zSquares = 0;
        int zCount = 0;
        for (std::size_t i = 0; i < n; ++i) {
            const double est = u == 0 ? fit[i].a : u == 1 ? fit[i].b : fit[i].c;
            const double tru = u == 0 ? truth[i].a : u == 1 ? truth[i].b : truth[i].c;
            const double se = u == 0 ? fit[i].seea : u == 1 ? fit[i].seeb : fit[i].seec;
            squares += (est - tru) * (est - tru);
            if (se > 0) {
                const double z = (est - tru) / se;
                zSum += z;
                zSquares += z * z;
                ++zCount;
            }
        }
        r.rmse[u] = n ? std::sqrt(squares / n) : NAN;
        r.zSd[u] = zCount > 1 ? std::sqrt((zSquares - zSum * zSum / zCount) / (zCount - 1)) : NAN;
    }
    return r;
}

struct MarginalMeasure {
    bool ok = false;
    std::string error;
    double wall = 0;
    int cycles = 0;
    int converged = 0;
    double logLikelihood = 0;
    long peakKiB = 0;
};

MarginalMeasure RunMarginalInChild(unsigned threads, const DataSet& data, const DataFiles& files,
                                   const std::string& output) {
    const ChildReply reply = RunChildProcess(
        {"tarvo-bench", kChildFlag, std::to_string(threads), std::to_string(data.persons),
         std::to_string(data.items), files.responseFile, files.itemFile, output});
    MarginalMeasure m;
    m.peakKiB = reply.peakKiB;
    if (std::sscanf(reply.text.c_str(), "ok %lf %d %d %lf", &m.wall, &m.cycles, &m.converged,
                    &m.logLikelihood) == 4) {
        m.ok = true;
    } else {
        m.error = reply.text.empty() ? "child ended without a reply" : reply.text;
    }
    return m;
}

void PrintRecovery(const char* set, const Set& s, const char* method, unsigned threads, double wall,
                   const std::string& cycles, double peakMiB, const Recovery& r,
                   const std::string& note) {
    std::printf(
        "| %s | %zu x %zu | %-6s | %u | %7.2f | %6s | %6.1f | %5.1f | %.4f | %.4f | %.4f | %.2f | "
        "%.2f | %.2f | %s |\n",
        set, s.persons, s.items, method, threads, wall, cycles.c_str(), peakMiB,
        peakMiB * 1024 * 1024 / static_cast<double>(s.persons * s.items), r.rmse[0], r.rmse[1],
        r.rmse[2], r.zSd[0], r.zSd[1], r.zSd[2], note.c_str());
    std::fflush(stdout);
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

struct ReferenceMeasure {
    bool ok = false;
    double seconds = 0;
    int cycles = 0;
    std::vector<ItemValues> items;
};

// Runs the reference script on a data set; its estimates go to output, one
// line "a,b,c,seea,seeb,seec" per item.
ReferenceMeasure RunReference(const std::string& script, const DataFiles& files, std::size_t items,
                              const std::string& output) {
    ReferenceMeasure r;
    const std::string command = "Rscript '" + script + "' '" + files.responseFile + "' " +
                                std::to_string(items) + " 20 '" + output + "' 3pl yes 2>/dev/null";
    std::FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return r;
    char line[256] = {0};
    const bool read = std::fgets(line, sizeof line, pipe) != nullptr;
    pclose(pipe);
    if (!read || std::sscanf(line, "%lf %d", &r.seconds, &r.cycles) != 2) return r;
    for (const std::string& row : Lines(ReadWhole(output))) {
        ItemValues v;
        if (std::sscanf(row.c_str(), "%lf,%lf,%lf,%lf,%lf,%lf", &v.a, &v.b, &v.c, &v.seea, &v.seeb,
                        &v.seec) == 6) {
            r.items.push_back(v);
        }
    }
    r.ok = r.items.size() == items;
    return r;
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
            QuietHost host(sim::SampleControlTexts(5, data, "", output), 3);
            MarginalSettings settings;
            settings.model = m.model;
            settings.priorLogA.on = false;
            settings.priorC.on = false;
            settings.tolerance = 1e-6;
            settings.logLikelihoodTolerance = 1e-7;
            settings.maxCycles = 5000;
            RunReport report;
            if (RunMarginalCalibration(host, EngineSettings{}, settings, &report) !=
                RunOutcome::Finished) {
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

bool IsMarginalChildRun(int argc, char** argv) {
    return argc > 1 && std::strcmp(argv[1], kChildFlag) == 0;
}

int MarginalChildMain(int argc, char** argv) {
    // --child-mml THREADS PERSONS ITEMS RESPONSES ITEMFILE OUTPUT
    if (argc != 8) {
        std::printf("fail bad child arguments\n");
        return 2;
    }
    DataSet data;
    EngineSettings engine;
    engine.threads = static_cast<unsigned>(std::atoi(argv[2]));
    data.persons = std::strtoull(argv[3], nullptr, 10);
    data.items = std::strtoull(argv[4], nullptr, 10);
    const DataFiles files{argv[5], argv[6]};
    auto texts = ControlTexts(data, files, argv[7]);
    QuietHost host(texts, 3);
    RunReport report;
    const auto start = std::chrono::steady_clock::now();
    const RunOutcome outcome = RunMarginalCalibration(host, engine, MarginalSettings{}, &report);
    const auto end = std::chrono::steady_clock::now();
    if (outcome != RunOutcome::Finished) {
        std::printf("fail run did not finish: %s\n", host.Messages().c_str());
        return 1;
    }
    std::printf("ok %.6f %d %d %.6f\n", std::chrono::duration<double>(end - start).count(),
                report.loop.passes, report.loop.end == LoopEnd::Settled ? 1 : 0,
                report.logLikelihood);
    return 0;
}

void PrintMarginalSection(const std::string& dataDir, unsigned threads, bool quick,
                          const std::string& only, const std::string& referenceScript) {
    std::printf(
        "\nMarginal maximum likelihood (--method mml, 3PL, default priors) beside the classic "
        "joint fit (mode 3), %u threads; recovery of the generating items:\n\n",
        threads);
    std::printf(
        "| set | examinees x items | method | threads | wall s | cycles | peak MB | peak / "
        "response bytes | RMSE a | RMSE b | RMSE c | SD z(a) | SD z(b) | SD z(c) | notes |\n");
    std::printf("|---|---|---|---|---|---|---|---|---|---|---|---|---|---|---|\n");
    for (const Set& s : kSets) {
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
        char text[96];
        std::snprintf(text, sizeof text, ", log-likelihood %.2f", m.logLikelihood);
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
        PrintRecovery(s.name, s, "mml", threads, m.wall, std::to_string(m.cycles),
                      static_cast<double>(m.peakKiB) / 1024.0, ours, note);
        if (!referenceScript.empty()) {
            const std::string refOutput = dataDir + "/out-openmx-" + data.Name() + ".csv";
            const ReferenceMeasure ref = RunReference(referenceScript, files, s.items, refOutput);
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
                              theirs, text);
            }
        }

        RunRequest joint;
        joint.mode = 3;
        joint.engine.threads = threads;
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
                      static_cast<double>(j.peakKiB) / 1024.0,
                      Recover(truth, Estimates(joint.outputFile)), "passes");
    }
}

}  // namespace tarvo::bench
