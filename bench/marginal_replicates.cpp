// The spread of (estimate - truth) / SE over one set's 60 items is itself a
// noisy figure (about 0.09 either way), so the honesty of the standard
// errors is judged over many sets drawn like M.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

#include "item_values.h"
#include "marginal_bench.h"
#include "marginal_child.h"

namespace tarvo::bench {

void PrintReplicateSection(const std::string& dataDir, unsigned threads, int replicates) {
    if (replicates <= 0) return;
    const MarginalSet& m = kMarginalSets[1];
    std::printf(
        "\nStandard errors over %d sets drawn like %s (%zu x %zu, seeds 1 to %d), --method mml "
        "with the default priors: the SD over the items of (estimate - truth) / SE, which is 1 "
        "when the errors are honest:\n\n",
        replicates, m.name, m.persons, m.items, replicates);
    std::printf("| seed | SD z(a) | SD z(b) | SD z(c) | RMSE a | RMSE b | RMSE c |\n");
    std::printf("|---|---|---|---|---|---|---|\n");
    double sum[3] = {0, 0, 0}, lowest[3] = {INFINITY, INFINITY, INFINITY},
           highest[3] = {-INFINITY, -INFINITY, -INFINITY};
    int done = 0;
    for (int seed = 1; seed <= replicates; ++seed) {
        DataSet data;
        data.persons = m.persons;
        data.items = m.items;
        data.seed = static_cast<std::uint64_t>(seed);
        const DataFiles files = EnsureDataFiles(data, dataDir);
        if (files.responseFile.empty()) continue;
        const std::string output = dataDir + "/out-mml-" + data.Name() + "-replicate.csv";
        const MarginalMeasure run = RunMarginalInChild(threads, data, files, output);
        if (!run.ok) {
            std::printf("| %d | mml failed: %s |\n", seed, run.error.c_str());
            continue;
        }
        const Recovery r = Recover(Truth(files.itemFile), Estimates(output));
        std::printf("| %d | %.2f | %.2f | %.2f | %.4f | %.4f | %.4f |\n", seed, r.zSd[0], r.zSd[1],
                    r.zSd[2], r.rmse[0], r.rmse[1], r.rmse[2]);
        std::fflush(stdout);
        for (int u = 0; u < 3; ++u) {
            sum[u] += r.zSd[u];
            lowest[u] = std::min(lowest[u], r.zSd[u]);
            highest[u] = std::max(highest[u], r.zSd[u]);
        }
        ++done;
    }
    if (done == 0) return;
    std::printf(
        "| mean (lowest to highest) | %.2f (%.2f to %.2f) | %.2f (%.2f to %.2f) | %.2f "
        "(%.2f to %.2f) | | | |\n",
        sum[0] / done, lowest[0], highest[0], sum[1] / done, lowest[1], highest[1], sum[2] / done,
        lowest[2], highest[2]);
    std::fflush(stdout);
}

}  // namespace tarvo::bench
