// tarvo-link-bench: how well the four linking methods recover known
// constants. Each replicate draws a base form and a new form of 40 3PL
// items that share 20, a base group of 2,000 from N(0, 1) and a new group
// of 2,000 from N(B, A^2) with A = 1.2 and B = 0.5, calibrates each form on
// its own by the marginal estimator (3PL, default priors), whose scale is
// its own group's, and links the new form to the base form: theta_base =
// A theta_new + B. Prints, per method, the bias and the SD of the
// constants over the replicates, the bias in SDs, and the Monte Carlo
// error of that ratio (1 / sqrt(replicates)): with 20 replicates a bias of
// a tenth of an SD cannot be told from none.
//
// The default priors on a and c pull both forms' items towards the same
// values although the new form's a are A times larger; "no-priors" leaves
// them out to tell the methods' bias from the calibrations'.
//
//   tarvo-link-bench [REPLICATES [no-priors]] (20 unless given)
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "estimation/kernels/mml_kernels.h"
#include "estimation/marginal/mml_em.h"
#include "linking/methods/link_methods.h"
#include "simulator.h"

namespace {

using namespace tarvo;

constexpr double kA = 1.2, kB = 0.5;
constexpr std::size_t kCommon = 20, kUnique = 20, kPersons = 2000;

struct Fitted {
    std::vector<double> a, b, c;
};

Fitted Calibrate(const std::vector<std::uint8_t>& codes, std::size_t items, bool priors,
                 WorkerPool& pool) {
    MarginalSettings settings;  // 3PL with the default priors, unless they are left out
    settings.priorLogA.on = settings.priorLogA.on && priors;
    settings.priorC.on = settings.priorC.on && priors;
    const mml::ResponseView view{codes.data(), codes.size() / items, items};
    Fitted fit{std::vector<double>(items), std::vector<double>(items), std::vector<double>(items)};
    const mml::ItemSpans spans{fit.a, fit.b, fit.c};
    std::vector<char> estimated(items, 1);
    mml::SetStartValues(settings.model, view, estimated, PriorsFor(settings), spans);
    mml::Quadrature q = mml::NormalQuadrature(settings.quadraturePoints, settings.quadratureRange);
    mml::ExpectedCounts counts;
    mml::PatternPosteriors posteriors(view, q.Points(), MarginalKernelsFor(VectorUnit::Best));
    mml::RunEm(posteriors, settings, estimated, spans, pool, q, counts,
               [](int, double, double) { return true; });
    return fit;
}

}  // namespace

int main(int argc, char** argv) {
    const int replicates = argc > 1 ? std::atoi(argv[1]) : 20;
    const bool priors = !(argc > 2 && std::string(argv[2]) == "no-priors");
    if (replicates < 2) {
        std::fprintf(stderr, "usage: tarvo-link-bench [REPLICATES of at least 2 [no-priors]]\n");
        return 2;
    }
    std::printf(
        "Linking accuracy: %d replicates, %zu common items of %zu, %zu examinees per form, "
        "true A = %.2f, B = %.2f, marginal 3PL calibrations %s\n\n",
        replicates, kCommon, kCommon + kUnique, kPersons, kA, kB,
        priors ? "with the default priors" : "without priors");
    WorkerPool pool(0);
    const std::size_t methods = std::size(linking::kLinkMethods);
    std::vector<double> sumA(methods), sumB(methods), squaresA(methods), squaresB(methods);
    for (int r = 0; r < replicates; ++r) {
        sim::Random random(static_cast<std::uint64_t>(1000 + r));
        const auto common = sim::DrawItems(random, kCommon, sim::ItemModel::ThreePL);
        auto baseItems = common, newItems = common;
        for (const auto& item : sim::DrawItems(random, kUnique, sim::ItemModel::ThreePL))
            baseItems.push_back(item);
        for (const auto& item : sim::DrawItems(random, kUnique, sim::ItemModel::ThreePL))
            newItems.push_back(item);
        const std::vector<double> baseTheta = sim::DrawAbilities(random, kPersons);
        std::vector<double> newTheta = sim::DrawAbilities(random, kPersons);
        for (double& t : newTheta) t = kB + kA * t;  // on the base scale
        const Fitted base = Calibrate(sim::DrawResponses(random, baseTheta, baseItems),
                                      baseItems.size(), priors, pool);
        const Fitted fresh = Calibrate(sim::DrawResponses(random, newTheta, newItems),
                                       newItems.size(), priors, pool);

        linking::AnchorSet set;
        for (std::size_t k = 0; k < kCommon; ++k) {
            set.baseId.push_back(std::to_string(k));
            set.newId.push_back(std::to_string(k));
            set.aBase.push_back(base.a[k]);
            set.bBase.push_back(base.b[k]);
            set.cBase.push_back(base.c[k]);
            set.aNew.push_back(fresh.a[k]);
            set.bNew.push_back(fresh.b[k]);
            set.cNew.push_back(fresh.c[k]);
            for (auto* se :
                 {&set.seABase, &set.seBBase, &set.seCBase, &set.seANew, &set.seBNew, &set.seCNew})
                se->push_back(NAN);
        }
        linking::LinkSettings settings;
        settings.deltaErrors = false;
        std::printf("replicate %2d:", r + 1);
        for (std::size_t m = 0; m < methods; ++m) {
            const linking::LinkConstants k = linking::Link(linking::kLinkMethods[m], set, settings);
            sumA[m] += k.A - kA;
            sumB[m] += k.B - kB;
            squaresA[m] += (k.A - kA) * (k.A - kA);
            squaresB[m] += (k.B - kB) * (k.B - kB);
            std::printf("  %s %.4f %.4f", linking::LinkMethodName(linking::kLinkMethods[m]), k.A,
                        k.B);
        }
        std::printf("\n");
        std::fflush(stdout);
    }
    const double n = replicates;
    std::printf("\n| method | bias A | SD A | bias A / SD | bias B | SD B | bias B / SD |\n");
    std::printf("|---|---|---|---|---|---|---|\n");
    for (std::size_t m = 0; m < methods; ++m) {
        const double biasA = sumA[m] / n, biasB = sumB[m] / n;
        const double sdA = std::sqrt((squaresA[m] - n * biasA * biasA) / (n - 1));
        const double sdB = std::sqrt((squaresB[m] - n * biasB * biasB) / (n - 1));
        std::printf("| %s | %+.4f | %.4f | %+.2f | %+.4f | %.4f | %+.2f |\n",
                    linking::LinkMethodName(linking::kLinkMethods[m]), biasA, sdA, biasA / sdA,
                    biasB, sdB, biasB / sdB);
    }
    std::printf("\nMonte Carlo error of each bias / SD: %.2f\n", 1 / std::sqrt(n));
    return 0;
}
