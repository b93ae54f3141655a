// The 3PL without priors on the simulated sets, fitted by this program and by
// the reference: the same data should reach the same maximum.
#include <cmath>
#include <cstdio>
#include <string>

#include "item_values.h"
#include "marginal_bench.h"
#include "marginal_child.h"
#include "openmx_reference.h"

namespace tarvo::bench {

namespace {

// Two decimals agree when the estimates differ by less than half a unit in
// the second.
constexpr double kTwoDecimals = 0.005;

struct Differences {
    double largest[3] = {0, 0, 0};
    int agreeing = 0;  // items whose a, b and c all agree to two decimals
};

Differences Compare(const std::vector<ItemValues>& ours, const std::vector<ItemValues>& theirs) {
    Differences d;
    for (std::size_t i = 0; i < ours.size() && i < theirs.size(); ++i) {
        const double gaps[3] = {std::fabs(ours[i].a - theirs[i].a),
                                std::fabs(ours[i].b - theirs[i].b),
                                std::fabs(ours[i].c - theirs[i].c)};
        bool agree = true;
        for (int u = 0; u < 3; ++u) {
            d.largest[u] = std::max(d.largest[u], gaps[u]);
            agree = agree && gaps[u] < kTwoDecimals;
        }
        d.agreeing += agree ? 1 : 0;
    }
    return d;
}

}  // namespace

void PrintMaximumSection(const std::string& dataDir, unsigned threads, bool quick,
                         const std::string& only, const std::string& referenceScript) {
    if (referenceScript.empty()) return;
    std::printf(
        "\nThe 3PL without priors (--method mml, no prior on a or c) beside OpenMx's fit of the "
        "same model and quadrature: the marginal log-likelihood of each and how far apart the "
        "estimates are:\n\n");
    std::printf(
        "| set | examinees x items | log-likelihood | OpenMx | difference | largest a difference "
        "| largest b difference | largest c difference | items agreeing to 0.01 | cycles (OpenMx) "
        "| cycles to within 0.01 of the maximum | wall s (OpenMx) |\n");
    std::printf("|---|---|---|---|---|---|---|---|---|---|---|---|\n");
    for (const MarginalSet& s : kMarginalSets) {
        if ((quick && s.large) || !s.withReference) continue;
        if (!only.empty() && (std::string("mml ") + s.name).find(only) == std::string::npos)
            continue;
        DataSet data;
        data.persons = s.persons;
        data.items = s.items;
        const DataFiles files = EnsureDataFiles(data, dataDir);
        if (files.responseFile.empty()) continue;
        const std::string ours = dataDir + "/out-mml-nopriors-" + data.Name() + ".csv";
        const std::string theirs = dataDir + "/out-openmx-nopriors-" + data.Name() + ".csv";
        const MarginalMeasure m = RunMarginalInChild(threads, data, files, ours, false);
        if (!m.ok) {
            std::printf("| %s | mml failed: %s |\n", s.name, m.error.c_str());
            continue;
        }
        const ReferenceMeasure ref = RunReference(referenceScript, files, s.items, theirs, false);
        if (!ref.ok) {
            std::printf("| %s | OpenMx reference failed (is r-cran-openmx installed?) |\n", s.name);
            continue;
        }
        const Differences d = Compare(Estimates(ours), ref.items);
        std::printf(
            "| %s | %zu x %zu | %.3f | %.3f | %+.3f | %.3f | %.3f | %.3f | %d of %zu | %d%s (%d) | "
            "%d | %.2f (%.1f) |\n",
            s.name, s.persons, s.items, m.logLikelihood, ref.logLikelihood,
            m.logLikelihood - ref.logLikelihood, d.largest[0], d.largest[1], d.largest[2],
            d.agreeing, s.items, m.cycles, m.converged ? "" : " NOT converged", ref.cycles,
            m.cyclesToMaximum, m.wall, ref.seconds);
        std::fflush(stdout);
    }
}

}  // namespace tarvo::bench
