// tarvo-groups-bench: the recovery of the focal groups' populations by the
// multiple-group calibration. 20 replicates (or argv[1]) of 10 graded items
// (four categories) and 4 right/wrong items, 1,500 examinees per group: the
// reference N(0, 1), focal A N(0.5, 1.2^2), focal B N(-0.3, 0.8^2). Prints
// per parameter the truth, the mean estimate, the bias, the mean standard
// error, the SD of the estimates over the replicates, and the bias in SEs
// (the bias against the SE of one replicate) with its Monte Carlo error, and
// the time per fit. `--ml` fits without the slopes' prior to a tight
// convergence; `--per-group=N` sets the examinees per group.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string_view>
#include <vector>

#include "estimation/polytomous/poly_em.h"
#include "estimation/polytomous/poly_groups.h"

namespace tarvo::poly {
namespace {

constexpr double kMeans[] = {0.0, 0.5, -0.3};
constexpr double kSds[] = {1.0, 1.2, 0.8};
constexpr int kGroups = 3;

std::vector<Item> Truth() {
    std::vector<Item> items;
    std::mt19937 random(7);
    std::uniform_real_distribution<double> slope(0.7, 1.6), first(-1.6, -0.6), gap(0.6, 1.2),
        location(-1.0, 1.0);
    for (int i = 0; i < 10; ++i) {
        Item item = ItemOf(4, RulesOf(MarginalModel::TwoPL), PolytomousModel::Grm);
        item.a = slope(random);
        item.b[0] = first(random);
        for (int k = 1; k < 3; ++k) item.b[k] = item.b[k - 1] + gap(random);
        InterceptsFromThresholds(item);
        items.push_back(item);
    }
    for (int i = 0; i < 4; ++i) {
        Item item = ItemOf(2, RulesOf(MarginalModel::TwoPL), PolytomousModel::Grm);
        item.a = slope(random);
        item.b[0] = location(random);
        items.push_back(item);
    }
    return items;
}

struct Replicate {
    std::vector<PopulationEstimate> groups;
    double seconds = 0;
    bool converged = false;
};

// How the fits are made: the program's defaults, or pure maximum likelihood
// (no prior on the slopes) run to a tight convergence.
struct FitChoice {
    int perGroup = 1500;  // examinees per group
    bool maximumLikelihood = false;
};

Replicate Fit(const std::vector<Item>& truth, std::uint32_t seed, WorkerPool& pool,
              FitChoice choice) {
    std::mt19937 random(seed);
    std::normal_distribution<double> normal;
    std::uniform_real_distribution<double> uniform;
    std::vector<std::int32_t> of;
    std::vector<std::uint8_t> codes;
    std::vector<double> p(kMostCategories);
    for (int j = 0; j < kGroups * choice.perGroup; ++j) {
        const int g = j % kGroups;
        const double theta = kMeans[g] + kSds[g] * normal(random);
        of.push_back(g);
        for (const Item& item : truth) {
            CategoryProbabilities(item, theta, p);
            double u = uniform(random);
            int k = 0;
            while (k + 1 < item.categories && u >= p[k]) u -= p[k++];
            codes.push_back(static_cast<std::uint8_t>(k));
        }
    }
    MarginalSettings settings = SettingsFor(MarginalModel::TwoPL);
    settings.polytomous = PolytomousModel::Grm;
    settings.groups = true;
    if (choice.maximumLikelihood) {
        settings.priorLogA.on = false;
        settings.tolerance = 1e-7;
        settings.logLikelihoodTolerance = 1e-7;
        settings.maxCycles = 5000;
    }
    std::vector<Item> items = truth;
    for (Item& item : items) {
        item.a = 1;
        for (int k = 0; k < item.Thresholds(); ++k) item.b[k] = -0.5 + 0.5 * k;
        InterceptsFromThresholds(item);
    }
    const std::vector<char> estimated(items.size(), 1);
    Groups groups(of, kGroups, settings.quadraturePoints, settings.quadratureRange);
    mml::Quadrature grid =
        mml::NormalQuadrature(settings.quadraturePoints, settings.quadratureRange);
    EmTables tables(items, grid.Points());
    const Responses responses = groups.Attach(Responses{codes, of.size(), items.size()});
    const auto start = std::chrono::steady_clock::now();
    const EmOutcome em = RunPolytomousEm(
        items, estimated, responses, settings, grid, tables, pool,
        [](int, double, double) { return true; }, &groups);
    ErrorForm form = ErrorForm::Whole;
    GroupErrorSource source = GroupErrorSource::NotFormed;
    SetGroupStandardErrors(
        items, estimated, groups, responses, BinaryPriors(settings), grid, tables, pool,
        [] { return true; }, &form, &source, StandardErrorMethod::Louis, VectorUnit::Best);
    Replicate replicate;
    replicate.seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    replicate.converged = em.converged;
    replicate.groups = groups.estimates;
    return replicate;
}

}  // namespace
}  // namespace tarvo::poly

int main(int argc, char** argv) {
    using namespace tarvo::poly;
    const int replicates = argc > 1 ? std::atoi(argv[1]) : 20;
    FitChoice choice;
    bool understood = replicates >= 2;
    for (int k = 2; k < argc; ++k) {
        const std::string_view arg = argv[k];
        if (arg == "--ml") {
            choice.maximumLikelihood = true;
        } else if (arg.rfind("--per-group=", 0) == 0) {
            choice.perGroup = std::atoi(argv[k] + 12);
            understood = understood && choice.perGroup >= 100;
        } else {
            understood = false;
        }
    }
    if (!understood) {
        std::fprintf(stderr,
                     "usage: tarvo-groups-bench [REPLICATES >= 2] [--ml] [--per-group=N >= 100]\n");
        return 2;
    }
    const std::vector<Item> truth = Truth();
    tarvo::WorkerPool pool(2);
    std::vector<Replicate> fits;
    double seconds = 0;
    int converged = 0;
    for (int r = 0; r < replicates; ++r) {
        fits.push_back(Fit(truth, 1000 + static_cast<std::uint32_t>(r), pool, choice));
        seconds += fits.back().seconds;
        converged += fits.back().converged ? 1 : 0;
    }
    std::printf(
        "Multiple-group recovery: %d replicates, %d converged, %d examinees per group, "
        "%zu items (10 GRM, 4 2PL); %.2f s per fit (EM and errors, 2 threads)\n",
        replicates, converged, choice.perGroup, truth.size(), seconds / replicates);
    std::printf("%-14s %7s %9s %9s %9s %9s %12s %9s\n", "parameter", "truth", "mean", "bias",
                "mean SE", "SD", "bias / SE", "+- (MC)");
    for (int g = 1; g < kGroups; ++g) {
        for (int which = 0; which < 2; ++which) {
            const double truthValue = which == 0 ? kMeans[g] : kSds[g];
            double sum = 0, squares = 0, errors = 0;
            for (const Replicate& fit : fits) {
                const tarvo::PopulationEstimate& e = fit.groups[static_cast<std::size_t>(g)];
                const double value = which == 0 ? e.mean : e.sd;
                sum += value;
                squares += value * value;
                errors += which == 0 ? e.seMean : e.seSd;
            }
            const double n = replicates;
            const double mean = sum / n;
            const double sd = std::sqrt(std::max(0.0, (squares - sum * sum / n) / (n - 1)));
            const double se = errors / n;
            char name[32];
            std::snprintf(name, sizeof name, "group %c %s", 'A' + g - 1,
                          which == 0 ? "mean" : "SD");
            // The bias's own Monte Carlo error, in SEs: the replicates' SD
            // over the root of their count.
            std::printf("%-14s %7.3f %9.4f %9.4f %9.4f %9.4f %12.3f %9.3f\n", name, truthValue,
                        mean, mean - truthValue, se, sd, (mean - truthValue) / se,
                        sd / std::sqrt(n) / se);
        }
    }
    return 0;
}
