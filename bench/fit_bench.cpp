#include "fit_bench.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <numeric>
#include <vector>

#include "bench_data.h"
#include "estimation/marginal/mml_quadrature.h"
#include "fit/compute_fit.h"
#include "fit/local_dependence.h"
#include "fit/residual_correlations.h"
#include "fit/residual_pass.h"
#include "fit/summed_score_fit.h"
#include "fit_data.h"
#include "item_values.h"
#include "marginal_child.h"
#include "parallel/worker_pool.h"
#include "quiet_host.h"
#include "report/ability_statistics.h"
#include "rpf_reference.h"
#include "run/calibration_run.h"
#include "run/run_fit.h"
#include "sample_layout.h"
#include "simulator.h"
#include "thread_time.h"

namespace tarvo::bench {

namespace {

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// The marginal estimator's default quadrature: 61 points from -6 to 6 SDs.
constexpr int kGridPoints = 61;
constexpr double kGridRange = 6;

using sim::FitData;

void UseGrid(FitData& data, const mml::Quadrature& grid) {
    data.gridTheta = grid.theta;
    data.gridWeight = grid.weight;
}

// The report's ability groups, as the run hands them to the fit.
std::vector<std::int32_t> AbilityGroups(const std::vector<double>& theta,
                                        const std::vector<std::uint8_t>& responses,
                                        std::size_t items) {
    std::vector<std::int32_t> nvalid(theta.size(), 0);
    for (std::size_t j = 0; j < theta.size(); ++j) {
        for (std::size_t i = 0; i < items; ++i)
            nvalid[j] += responses[j * items + i] != kNoResponse;
    }
    return report::AbilityGroupsOf(theta, nvalid).of;
}

struct FitTiming {
    double sx2 = 0, residuals = 0, q3 = 0, whole = 0;
    double wholeCpu = 0, residualsCpu = 0, q3Cpu = 0;  // the process's processor time
    std::size_t flaggedItems = 0, flaggedPersons = 0, flaggedPairs = 0;
};

// Each part on its own, then the whole entry point, on the pool's threads
// as a run forms them; the processor times are every thread's.
FitTiming TimeFit(const FitData& data, WorkerPool& pool) {
    FitTiming t;
    const fit::FitInputs in = data.Inputs();
    const std::size_t items = data.a.size();
    auto start = Clock::now();
    const fit::TotalScoreCounts counts = fit::CountTotalScores(in.responses, items);
    const auto sx2 = fit::SummedScoreFit(in.a, in.b, in.c, in.estimatedParameters, in.grid, counts);
    t.sx2 = SecondsSince(start);
    std::vector<fit::PersonFit> persons(data.theta.size());
    fit::ResidualCorrelations correlations(items);
    start = Clock::now();
    double cpu = ProcessCpuSeconds();
    fit::ResidualPass(in, persons, &correlations, pool);
    t.residuals = SecondsSince(start);
    t.residualsCpu = ProcessCpuSeconds() - cpu;
    start = Clock::now();
    cpu = ProcessCpuSeconds();
    std::vector<double> q3(items * items);
    correlations.Correlations(q3);
    const fit::LocalDependence dependence = fit::DescribeLocalDependence(q3, items);
    t.q3 = SecondsSince(start);
    t.q3Cpu = ProcessCpuSeconds() - cpu;
    start = Clock::now();
    cpu = ProcessCpuSeconds();
    const fit::FitResults whole = fit::ComputeFit(in, pool);
    t.whole = SecondsSince(start);
    t.wholeCpu = ProcessCpuSeconds() - cpu;
    t.flaggedItems = whole.misfittingItems;
    t.flaggedPersons = whole.misfittingPersons;
    t.flaggedPairs = whole.localDependence.flagged.size();
    return t;
}

// The run's wall and processor time (all its threads).
struct RunTime {
    double wall = 0, cpu = 0;
};

// Beside the ratio of wall times, the ratio of processor times (every
// thread's, the fit's over the run's): both run on the same threads, so it
// is what the wall ratio is on an idle machine, and much less disturbed by
// other load.
void PrintCost(const char* method, std::size_t persons, std::size_t items, const RunTime& run,
               const FitTiming& t) {
    std::printf(
        "| %s | %zu x %zu | %.2f (cpu %.2f) | %.3f | %.3f | %.3f | %.3f (cpu %.3f) | %.1f%% "
        "(cpu %.1f%%) | %zu items, %zu examinees, %zu pairs |\n",
        method, persons, items, run.wall, run.cpu, t.sx2, t.residuals, t.q3, t.whole, t.wholeCpu,
        100 * t.whole / run.wall, 100 * t.wholeCpu / run.cpu, t.flaggedItems, t.flaggedPersons,
        t.flaggedPairs);
    std::fflush(stdout);
}

// The run's tables as its report holds them, with the simulated codes the
// run read from the set's file.
FitData FromReport(const RunReport& report, const sim::SimulatedData& simulated, int estimated) {
    FitData data;
    for (const ItemReport& item : report.itemRows) {
        data.a.push_back(item.a);
        data.b.push_back(item.b);
        data.c.push_back(item.c);
    }
    data.estimated.assign(data.a.size(), estimated);
    for (const PersonReport& person : report.personRows) data.theta.push_back(person.theta);
    data.responses = simulated.responses;
    data.group = AbilityGroups(data.theta, data.responses, data.a.size());
    data.groups = 10;
    return data;
}

void PrintCostSection(const std::string& dataDir, unsigned threads, bool quick) {
    DataSet set;
    set.persons = quick ? 10'000 : 50'000;
    set.items = quick ? 60 : 100;
    const DataFiles files = EnsureDataFiles(set, dataDir);
    if (files.responseFile.empty()) {
        std::printf("Cannot write the data files under %s\n", dataDir.c_str());
        return;
    }
    const sim::SimulatedData simulated = sim::Simulate(SimulationOf(set));
    std::printf(
        "\nFit statistics beside the run that gave their inputs (3PL, %u threads for the run, "
        "whose time includes the fit it forms for its report; the fit again here on the same "
        "threads; S-X2 on the run's ability distribution, residuals with lz, infit, outfit and "
        "Q3's sums in one pass, then Q3's pairs):\n\n",
        threads);
    std::printf(
        "| run | examinees x items | run s | S-X2 s | residual pass s | Q3 pairs s | whole fit s "
        "| fit / run (cpu: fit / run, processor times) | flagged "
        "|\n|---|---|---|---|---|---|---|---|---|\n");
    const struct {
        const char* name;
        bool marginal;
    } runs[] = {{"classic (mode 3)", false}, {"marginal (3PL, EAP)", true}};
    for (const auto& r : runs) {
        const std::string output =
            dataDir + "/out-fit-" + (r.marginal ? "mml-" : "jml-") + set.Name() + ".csv";
        QuietHost host;
        const MarginalSettings marginal;
        const RunRequest request = RequestFor(ControlTexts(set, files, output), 3, threads,
                                              r.marginal ? &marginal : nullptr);
        RunReport report;
        RunTime run;
        const auto start = Clock::now();
        const double cpu = ProcessCpuSeconds();
        const RunEnd outcome = RunCalibration(request, host, &report);
        run.wall = SecondsSince(start);
        run.cpu = ProcessCpuSeconds() - cpu;
        if (outcome != RunEnd::Finished) {
            std::printf("| %s | failed: %s |\n", r.name, host.Messages().c_str());
            continue;
        }
        // The ability distribution S-X2 integrates over: the marginal run's
        // population, or a normal over the classic run's abilities.
        FitData data = FromReport(report, simulated, 3);
        if (r.marginal) {
            UseGrid(data, mml::NormalQuadrature(kGridPoints, kGridRange));
        } else {
            const std::vector<std::int32_t> answered(data.theta.size(), 1);
            const FitGrid grid = ClassicFitGrid(data.theta, answered);
            data.gridTheta = grid.theta;
            data.gridWeight = grid.weight;
        }
        WorkerPool pool(threads);
        PrintCost(r.name, set.persons, set.items, run, TimeFit(data, pool));
    }
}

// The generating items and abilities of a simulated set.
FitData FromTruth(const sim::SimulatedData& simulated, int estimated) {
    FitData data = sim::FitDataOf(simulated, estimated);
    data.group = AbilityGroups(data.theta, data.responses, data.Items());
    data.groups = 10;
    UseGrid(data, mml::NormalQuadrature(kGridPoints, kGridRange));
    return data;
}

void PrintQ3Section(bool quick, unsigned threads) {
    sim::SimulationSettings settings;
    settings.seed = 7;
    settings.personCount = quick ? 2'000 : 5'000;
    settings.itemCount = 1'000;
    settings.missingFraction = 0.02;
    const FitData data = FromTruth(sim::Simulate(settings), 3);
    for (const unsigned count : {1u, threads}) {
        WorkerPool pool(count);
        const FitTiming t = TimeFit(data, pool);
        std::printf(
            "\nQ3 over %zu items, %zu examinees (2%% missing), %u thread%s: residual pass with "
            "Q3's sums %.3f s, Q3 of the %zu pairs %.3f s, Q3 in all %.3f s (processor time "
            "%.3f s); S-X2 %.3f s; whole fit %.3f s\n",
            settings.itemCount, settings.personCount, pool.Threads(),
            pool.Threads() == 1 ? "" : "s", t.residuals,
            settings.itemCount * (settings.itemCount - 1) / 2, t.q3, t.residuals + t.q3,
            t.residualsCpu + t.q3Cpu, t.sx2, t.whole);
        std::fflush(stdout);
        if (threads == 1) break;
    }
}

// The public LSAT section 7 file: responses from column 20, five items.
std::vector<std::uint8_t> ReadLsat7(const std::string& path) {
    std::vector<std::uint8_t> codes;
    for (const std::string& line : Lines(ReadWhole(path))) {
        if (line.size() < 24) continue;
        for (std::size_t i = 19; i < 24; ++i) codes.push_back(line[i] == '1' ? 1 : 0);
    }
    return codes;
}

double RoundTo4(double x) { return std::round(x * 1e4) / 1e4; }

struct Agreement {
    double table = 0;  // largest relative difference of an expected count before joining
    bool sameObserved = true;
    double sx2Relative = 0;
    int dfDiffer = 0, sx2Within1Percent = 0;
    double meanSquare = 0, t = 0, personMeanSquare = 0, personT = 0;
    int itemsCompared = 0, personsCompared = 0;
};

double Relative(double ours, double theirs) {
    return theirs == 0 ? std::fabs(ours) : std::fabs(ours - theirs) / std::fabs(theirs);
}

// Our S-X2 tables before joining: observed and expected counts by rest score.
void CompareTables(const FitData& data, const RpfFit& rpf, Agreement& out) {
    const std::size_t items = data.a.size();
    const fit::TotalScoreCounts counts = fit::CountTotalScores(data.responses, items);
    std::vector<double> expected(items * items), examinees(items), correct(items);
    fit::ExpectedProportionsByRestScore(data.a, data.b, data.c, {data.gridTheta, data.gridWeight},
                                        expected);
    for (const RpfTableRow& row : rpf.tables) {
        counts.RestScoreTable(row.item, examinees, correct);
        const double n = examinees[row.rest], e = expected[row.item * items + row.rest];
        out.sameObserved &=
            n - correct[row.rest] == row.observed[0] && correct[row.rest] == row.observed[1];
        if (n == 0) continue;
        out.table = std::max(
            {out.table, Relative(n * (1 - e), row.expected[0]), Relative(n * e, row.expected[1])});
    }
}

Agreement Compare(const FitData& data, const RpfFit& rpf) {
    Agreement out;
    CompareTables(data, rpf, out);
    const fit::FitResults ours = fit::ComputeFit(data.Inputs());
    for (std::size_t i = 0; i < rpf.items.size(); ++i) {
        const fit::ItemFit& item = ours.items[i];
        const RpfItem& theirs = rpf.items[i];
        ++out.itemsCompared;
        const double sx2 = Relative(item.sx2, theirs.sx2);
        out.sx2Relative = std::max(out.sx2Relative, sx2);
        out.sx2Within1Percent += sx2 <= 0.01;
        out.dfDiffer += item.df != static_cast<int>(theirs.df);
        out.meanSquare = std::max({out.meanSquare, std::fabs(item.infit - theirs.infit),
                                   std::fabs(item.outfit - theirs.outfit)});
        out.t = std::max({out.t, std::fabs(item.infitT - theirs.infitT),
                          std::fabs(item.outfitT - theirs.outfitT)});
    }
    for (const RpfPerson& theirs : rpf.persons) {
        const fit::PersonFit& person = ours.persons[theirs.index];
        ++out.personsCompared;
        out.personMeanSquare =
            std::max({out.personMeanSquare, std::fabs(person.infit - theirs.infit),
                      std::fabs(person.outfit - theirs.outfit)});
        out.personT = std::max({out.personT, std::fabs(person.infitT - theirs.infitT),
                                std::fabs(person.outfitT - theirs.outfitT)});
    }
    return out;
}

void PrintAgreement(const char* name, const FitData& data, const std::string& script,
                    const std::string& workDir) {
    const RpfFit rpf = RunRpf(script, workDir, name, data.responses, data.a, data.b, data.c,
                              data.estimated, data.theta);
    if (!rpf.ok) {
        std::printf("| %s | rpf failed (is r-cran-rpf installed?) |\n", name);
        return;
    }
    const Agreement a = Compare(data, rpf);
    std::printf(
        "| %s | %.1e, observed %s | %.2e (%d of %d within 1%%) | %d of %d | %.1e | %.2e | %.1e | "
        "%.2e (%d examinees) |\n",
        name, a.table, a.sameObserved ? "equal" : "DIFFER", a.sx2Relative, a.sx2Within1Percent,
        a.itemsCompared, a.dfDiffer, a.itemsCompared, a.meanSquare, a.t, a.personMeanSquare,
        a.personT, a.personsCompared);
    std::printf("\nrpf's numbers on %s (item: S-X2, df, infit, outfit, infit t, outfit t):\n\n",
                name);
    for (const RpfItem& r : rpf.items) {
        std::printf("    {%.10g, %d, %.10g, %.10g, %.10g, %.10g},\n", r.sx2, static_cast<int>(r.df),
                    r.infit, r.outfit, r.infitT, r.outfitT);
    }
    std::printf("\n");
    std::fflush(stdout);
}

void PrintRpfSection(const std::string& dataDir, const std::string& realDir,
                     const std::string& script) {
    std::printf(
        "\nAgreement with R's rpf (SitemFit with the items' estimated parameters free, "
        "rpf.1dim.fit), on the same item parameters and abilities, standard normal on 61 "
        "points from -6 to 6:\n\n");
    std::printf(
        "| data | S-X2 tables before joining: largest relative difference | S-X2, largest "
        "relative difference | df differ | infit/outfit, largest difference | their t, largest "
        "difference | persons: infit/outfit | persons: t |\n|---|---|---|---|---|---|---|---|\n");

    // LSAT section 7: the marginal 2PL without priors, its EAP scores;
    // both rounded to 4 decimals, the form the tests keep them in.
    const std::string lsat = realDir + "/lsat7.dat";
    const std::vector<std::uint8_t> codes = ReadLsat7(lsat);
    if (codes.empty()) {
        std::printf("| lsat7 | not found under %s |\n", realDir.c_str());
    } else {
        const std::string output = dataDir + "/out-fit-lsat7-2pl.csv";
        QuietHost host;
        const MarginalSettings settings = WithoutPriors(MarginalModel::TwoPL);
        RunReport report;
        if (RunCalibration(
                RequestFor(sim::SampleControlTexts(5, lsat, "", output), 3, 0, &settings), host,
                &report) != RunEnd::Finished) {
            std::printf("| lsat7 | the marginal fit failed: %s |\n", host.Messages().c_str());
        } else {
            sim::SimulatedData table;
            table.responses = codes;
            FitData data = FromReport(report, table, 2);
            for (auto* values : {&data.a, &data.b, &data.c, &data.theta}) {
                for (double& x : *values) x = RoundTo4(x);
            }
            UseGrid(data, mml::NormalQuadrature(kGridPoints, kGridRange));
            std::printf("(lsat7 2PL items, a b:");
            for (std::size_t i = 0; i < data.a.size(); ++i)
                std::printf(" %.4f %.4f", data.a[i], data.b[i]);
            std::printf("; EAP of the patterns 00000 and 11111: %.4f %.4f)\n\n", data.theta.front(),
                        data.theta.back());
            PrintAgreement("lsat7", data, script, dataDir);
        }
    }

    // A simulated 1,000 x 20 3PL set, on its generating items and abilities.
    sim::SimulationSettings settings;
    settings.seed = 20;
    settings.personCount = 1'000;
    settings.itemCount = 20;
    PrintAgreement("sim1000x20", FromTruth(sim::Simulate(settings), 3), script, dataDir);
}

}  // namespace

void PrintFitSection(const std::string& dataDir, const std::string& realDir, unsigned threads,
                     bool quick, const std::string& rpfScript) {
    PrintCostSection(dataDir, threads, quick);
    PrintQ3Section(quick, threads);
    if (!rpfScript.empty()) PrintRpfSection(dataDir, realDir, rpfScript);
}

}  // namespace tarvo::bench
