// tarvo-dif-bench: the DIF screens' speed and power.
//   tarvo-dif-bench speed [PERSONS ITEMS THREADS]  the Mantel-Haenszel screen of
//       1,000,000 examinees x 180 right/wrong items (two groups) on the pool
//   tarvo-dif-bench power [REPLICATES [irt]]  100 simulated data sets of 2,000
//       examinees per group and 30 items, 3 with uniform and 1 with
//       non-uniform DIF planted: per method the share of planted items
//       flagged and of clean items falsely flagged, by category (B or C), by
//       adjusted p below 5% and by p below 5%; with "irt" also the IRT
//       screen's likelihood-ratio and Wald tests (a 2PL of the two groups
//       and one refit per item: a few seconds a replicate on two cores)
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "dif/dif_screen.h"
#include "groups/irt_inputs.h"
#include "platform/run_host.h"
#include "run/groups/irt_dif.h"
#include "simulator.h"

namespace {

using namespace tarvo;
using namespace tarvo::dif;

using sim::Random;

struct ItemTruth {
    double a[2], b[2];  // reference, focal
};

struct Simulated {
    std::size_t items = 0;
    std::vector<std::uint8_t> codes;
    std::vector<std::int32_t> group;
    DifData Data() const { return DifData{items, codes, group, 2}; }
};

Simulated Simulate(const std::vector<ItemTruth>& truth, std::size_t perGroup, double focalMean,
                   Random& random) {
    Simulated out;
    out.items = truth.size();
    out.codes.reserve(2 * perGroup * truth.size());
    for (std::size_t g = 0; g < 2; ++g) {
        for (std::size_t j = 0; j < perGroup; ++j) {
            const double theta = random.Normal() + (g == 1 ? focalMean : 0.0);
            for (const ItemTruth& item : truth) {
                const double p = 1 / (1 + std::exp(-1.7 * item.a[g] * (theta - item.b[g])));
                out.codes.push_back(random.Uniform() < p ? 1 : 0);
            }
            out.group.push_back(static_cast<std::int32_t>(g));
        }
    }
    return out;
}

int Speed(std::size_t persons, std::size_t items, unsigned threads) {
    Random random(7);
    std::vector<ItemTruth> truth(items);
    for (std::size_t i = 0; i < items; ++i) {
        const double b = -2 + 4 * static_cast<double>(i) / static_cast<double>(items);
        const double a = 0.6 + 0.8 * random.Uniform();
        truth[i] = {{a, a}, {b, b + (i % 20 == 0 ? 0.6 : 0.0)}};
    }
    std::printf("simulating %zu examinees x %zu items...\n", persons, items);
    const Simulated data = Simulate(truth, persons / 2, -0.3, random);
    WorkerPool pool(threads);
    DifOptions options;
    options.methods = {DifMethod::MantelHaenszel};
    for (int round = 0; round < 3; ++round) {
        const auto start = std::chrono::steady_clock::now();
        const std::clock_t cpuStart = std::clock();
        const DifScreen screen = ScreenDif(data.Data(), options, pool);
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        // The processor time of every thread: what the screen costs on a
        // machine that others share.
        const double cpu = static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC;
        std::size_t flagged = 0;
        for (const DifRow& row : screen.comparisons[0].tables[0].rows) flagged += row.flagged();
        std::printf(
            "Mantel-Haenszel screen, %zu x %zu, %u threads: %.3f s (processor time %.3f s; first "
            "stage flagged %zu, final %zu)\n",
            persons, items, pool.Threads(), seconds, cpu, screen.comparisons[0].purified.size(),
            flagged);
    }
    return 0;
}

// The IRT screen's refits say nothing here.
class SilentHost final : public HeadlessHost {
  public:
    SilentHost() : HeadlessHost(true) {}
    void ShowMessage(const std::string&) override {}
};

int Power(int replicates, bool irt) {
    constexpr std::size_t kItems = 30, kPerGroup = 2000;
    // Items 0, 10, 20: uniform DIF (b 0.5 higher for the focal group);
    // item 15: non-uniform (slope 1.4 against 0.6, crossing at b).
    std::vector<ItemTruth> truth(kItems);
    Random random(20261211);
    for (std::size_t i = 0; i < kItems; ++i) {
        const double b = -2 + 4 * static_cast<double>(i) / (kItems - 1);
        const double a = 0.7 + 0.6 * random.Uniform();
        truth[i] = {{a, a}, {b, b}};
    }
    for (const std::size_t i : {0, 10, 20}) truth[i].b[1] += 0.5;
    truth[15] = {{1.4, 0.6}, {0.0, 0.0}};
    const auto isUniform = [](std::size_t i) { return i == 0 || i == 10 || i == 20; };

    const DifMethod methods[] = {DifMethod::MantelHaenszel, DifMethod::Standardization,
                                 DifMethod::Logistic};
    DifOptions options;
    options.methods.assign(std::begin(methods), std::end(methods));
    // Per method: flagged by category and by adjusted p, for the uniform,
    // the non-uniform and the clean items.
    double byCategory[3][3] = {}, byP[3][3] = {}, byRawP[3][3] = {};
    // The IRT screen's likelihood-ratio [0] and Wald [1] tests, by adjusted p.
    double byIrt[2][3] = {};
    const RunRequest irtRequest = bench::IrtScreenRequest(0);
    SilentHost host;
    WorkerPool pool(0);
    const auto start = std::chrono::steady_clock::now();
    for (int r = 0; r < replicates; ++r) {
        const Simulated data = Simulate(truth, kPerGroup, -0.5, random);
        const DifScreen screen = ScreenDif(data.Data(), options, pool);
        for (std::size_t m = 0; m < 3; ++m) {
            for (const DifRow& row : screen.comparisons[0].tables[m].rows) {
                const std::size_t kind = isUniform(row.item) ? 0 : row.item == 15 ? 1 : 2;
                byCategory[m][kind] += row.flagged();
                byP[m][kind] += row.pAdjusted < 0.05;
                byRawP[m][kind] += row.p < 0.05;
            }
        }
        if (!irt) continue;
        const IrtDifScreen byModels =
            ScreenIrtDif(irtRequest, bench::InputsOf(data.items, data.codes, data.group), host, {});
        for (const IrtDifRow& row : byModels.rows) {
            const std::size_t kind = isUniform(row.item) ? 0 : row.item == 15 ? 1 : 2;
            byIrt[0][kind] += row.flagged;
            byIrt[1][kind] += row.wald.size() > 1 && row.wald[1].flagged;
        }
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double counts[3] = {3.0 * replicates, 1.0 * replicates, 26.0 * replicates};
    std::printf(
        "%d replicates, 2 x %zu examinees, %zu items (3 uniform, 1 non-uniform DIF), "
        "focal mean -0.5: %.1f s\n",
        replicates, kPerGroup, kItems, seconds);
    std::printf("%-22s %-12s %9s %12s %14s\n", "method", "flag rule", "uniform", "non-uniform",
                "clean (false)");
    for (std::size_t m = 0; m < 3; ++m) {
        std::printf("%-22s %-12s %8.1f%% %11.1f%% %13.2f%%\n", MethodName(methods[m]), "B or C",
                    100 * byCategory[m][0] / counts[0], 100 * byCategory[m][1] / counts[1],
                    100 * byCategory[m][2] / counts[2]);
        if (methods[m] == DifMethod::Standardization) continue;  // no test
        std::printf("%-22s %-12s %8.1f%% %11.1f%% %13.2f%%\n", "", "adj. p < .05",
                    100 * byP[m][0] / counts[0], 100 * byP[m][1] / counts[1],
                    100 * byP[m][2] / counts[2]);
        std::printf("%-22s %-12s %8.1f%% %11.1f%% %13.2f%%\n", "", "p < .05",
                    100 * byRawP[m][0] / counts[0], 100 * byRawP[m][1] / counts[1],
                    100 * byRawP[m][2] / counts[2]);
    }
    if (irt) {
        const char* names[2] = {"IRT likelihood ratio", "IRT Wald (Lord)"};
        for (std::size_t t = 0; t < 2; ++t) {
            std::printf("%-22s %-12s %8.1f%% %11.1f%% %13.2f%%\n", names[t], "adj. p < .05",
                        100 * byIrt[t][0] / counts[0], 100 * byIrt[t][1] / counts[1],
                        100 * byIrt[t][2] / counts[2]);
        }
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string what = argc > 1 ? argv[1] : "";
    if (what == "speed") {
        const std::size_t persons = argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 1000000;
        const std::size_t items = argc > 3 ? std::strtoull(argv[3], nullptr, 10) : 180;
        const unsigned threads = argc > 4 ? static_cast<unsigned>(std::atoi(argv[4])) : 0;
        return Speed(persons, items, threads);
    }
    if (what == "power") {
        const bool irt = argc > 3 && std::string(argv[3]) == "irt";
        return Power(argc > 2 ? std::atoi(argv[2]) : 100, irt);
    }
    std::fprintf(
        stderr,
        "usage: tarvo-dif-bench speed [PERSONS ITEMS THREADS] | power [REPLICATES [irt]]\n");
    return 2;
}
