// tarvo-link-bench: how well the four linking methods, and Haebara's
// symmetric version, recover known constants. Each replicate draws a base
// form and a new form of 40 items that share 20, a base group of 2,000
// from N(0, 1) and a new group of 2,000 from N(B, A^2) (A = 1.2 and B = 0.5
// unless given), calibrates each form on its own by the marginal
// estimator, whose scale is its own group's, and links the new form to
// the base form: theta_base = A theta_new + B, with the delta-method
// standard errors from the calibrations' item errors.
//
// Three studies: 2PL forms calibrated as 2PL without priors, and 3PL forms
// calibrated as 3PL with the default priors (log a ~ N(0, 0.5), c ~
// Beta(5, 17)) and without them. A prior acts on each form's own scale:
// it pulls both forms' a towards the same values although the new form's
// are A times larger, and c the more the less a group's data determine it,
// so with priors every method is biased unless the groups are alike
// (A = 1 and B = 0).
//
// Beside the calibrated forms, each replicate links its true items plus
// normal errors of its calibrations' standard errors (3PL: those with the
// priors), four pairs per replicate: independent errors, and errors with
// the calibrations' joint covariance, the closer copy of a calibration's
// errors. These have no calibration's bias: what bias remains is the
// criterion's own response to errors in the parameters. The one-way
// Haebara criterion fits the base curves by the new ones item by item, a
// regression whose regressors carry errors; the 3PL's large errors in a
// bias its A upwards (+0.09 SD with the joint errors, +0.16 SD calibrated
// without priors), by an amount in proportion to the errors' variance,
// where the symmetric version, which fits both ways, stays near 0. Without
// errors every method recovers A and B exactly.
//
// For each method and constant: the bias and the SD of the estimates over
// the replicates, the mean of the reported standard errors, bias / SD with
// its Monte Carlo error (1 / sqrt(replicates)), and whether |bias / SD| is
// below 0.1. The calibrated forms are also shown over their first 20
// replicates (the study as first worded, whose Monte Carlo error of 0.22
// cannot resolve a tenth of an SD); then the mean error of the common
// items' calibrated parameters on the base scale, per form.
//
//   tarvo-link-bench [REPLICATES [STUDY [A B]]]  (400; STUDY: 2pl, 3pl-priors, 3pl)
//   tarvo-link-bench score-table                  (the score table's time instead)
//   tarvo-link-bench link-time [ITEMS...]         (a whole link's time instead;
//                                                  1000 4000 16000 60000 unless given)
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/estimate_bounds.h"
#include "estimation/kernels/mml_kernels.h"
#include "estimation/marginal/mml_em.h"
#include "estimation/marginal/mml_information.h"
#include "link_time.h"
#include "linking/methods/link_methods.h"
#include "score_table_time.h"
#include "simulator.h"

namespace {

using namespace tarvo;

constexpr double kA = 1.2, kB = 0.5;
constexpr std::size_t kCommon = 20, kUnique = 20, kPersons = 2000;
constexpr int kWordedReplicates = 20;

struct Study {
    const char* name;
    const char* title;
    bool threePL;
    bool priors;
};
const Study kStudies[] = {
    {"2pl", "2PL forms, 2PL calibrations without priors", false, false},
    {"3pl-priors", "3PL forms, 3PL calibrations with the default priors", true, true},
    {"3pl", "3PL forms, 3PL calibrations without priors", true, false},
};

struct Fitted {
    std::vector<double> a, b, c, seA, seB, seC;
    // The Cholesky factor L (lower, row-major) of the observed information
    // and where each parameter is in it (-1: not estimated), for errors
    // drawn with the estimates' covariance L^-T L^-1; empty where the
    // information is not positive definite.
    std::vector<double> cholesky;
    std::vector<int> index;
};

// The standard errors of the items in spans from the observed information
// at them (NaN where a parameter ended on a bound, 0 where the model fixes
// it).
void StandardErrors(const mml::PatternPosteriors& posteriors, const MarginalSettings& settings,
                    const mml::ItemSpans& spans, const mml::Quadrature& q,
                    const mml::ExpectedCounts& counts, const Study& study, WorkerPool& pool,
                    Fitted& fit) {
    const std::size_t items = fit.a.size();
    const std::vector<char> estimated(items, 1);
    const mml::ParameterLayout layout = mml::MakeLayout(settings, estimated, spans);
    const std::vector<double> information =
        mml::ObservedInformation(posteriors, layout, settings, spans, q, counts, pool);
    std::vector<double> se;
    mml::StandardErrorsFrom(information, layout.count, se);
    fit.cholesky = information;
    fit.index = layout.index;
    if (!mml::CholeskyInPlace(fit.cholesky, layout.count)) {
        fit.cholesky.clear();
    }
    std::vector<double>* errors[3] = {&fit.seA, &fit.seB, &fit.seC};
    for (int u = 0; u < 3; ++u) errors[u]->assign(items, NAN);
    for (std::size_t i = 0; i < items; ++i) {
        for (int u = 0; u < 3; ++u) {
            const int p = layout.index[3 * i + u];
            const bool fixedByModel = u == 2 && !study.threePL;
            if (fixedByModel) {
                (*errors[u])[i] = 0;
            } else if (p >= 0 && !se.empty()) {
                (*errors[u])[i] = std::min(se[p], kStandardErrorCap);
            }
        }
    }
}

// The items calibrated from their codes, with their standard errors.
Fitted Calibrate(const std::vector<std::uint8_t>& codes, std::size_t items, const Study& study,
                 WorkerPool& pool) {
    MarginalSettings settings =
        SettingsFor(study.threePL ? MarginalModel::ThreePL : MarginalModel::TwoPL);
    settings.priorLogA.on = settings.priorLogA.on && study.priors;
    settings.priorC.on = settings.priorC.on && study.priors;
    const mml::ResponseView view{codes.data(), codes.size() / items, items};
    Fitted fit;
    for (auto* column : {&fit.a, &fit.b, &fit.c}) column->assign(items, 0);
    const mml::ItemSpans spans{fit.a, fit.b, fit.c};
    std::vector<char> estimated(items, 1);
    mml::SetStartValues(settings.model, view, estimated, PriorsFor(settings), spans);
    mml::Quadrature q = mml::NormalQuadrature(settings.quadraturePoints, settings.quadratureRange);
    mml::ExpectedCounts counts;
    mml::PatternPosteriors posteriors(view, q.Points(), MarginalKernelsFor(VectorUnit::Best));
    mml::RunEm(posteriors, settings, estimated, spans, pool, q, counts,
               [](int, double, double) { return true; });
    StandardErrors(posteriors, settings, spans, q, counts, study, pool, fit);
    return fit;
}

// The true items of a form on its own group's scale (the base group's is
// the base scale, the new group's theta_new = (theta_base - B) / A), with
// the standard errors of a calibration.
Fitted TrueItems(const std::vector<sim::SimulatedItem>& items, double A, double B,
                 const Fitted& errors) {
    Fitted truth = errors;
    for (std::size_t i = 0; i < items.size(); ++i) {
        truth.a[i] = A * items[i].a;
        truth.b[i] = (items[i].b - B) / A;
        truth.c[i] = items[i].c;
    }
    return truth;
}

// The true items plus normal errors of the calibration's standard errors:
// independent ones, or (joint) with the covariance of all its estimates,
// whose a, b and c are strongly correlated in the 3PL. None where an error
// is unknown or 0.
Fitted WithNoise(const Fitted& truth, bool joint, sim::Random& random) {
    Fitted noisy = truth;
    double* value[3] = {noisy.a.data(), noisy.b.data(), noisy.c.data()};
    if (joint) {
        // e = L^-T z: solve L^T e = z from the last row up.
        const std::size_t n = static_cast<std::size_t>(std::sqrt(truth.cholesky.size()));
        const std::vector<double>& l = truth.cholesky;
        std::vector<double> e(n);
        for (double& z : e) z = random.Normal();
        for (std::size_t i = n; i-- > 0;) {
            for (std::size_t k = i + 1; k < n; ++k) e[i] -= l[k * n + i] * e[k];
            e[i] /= l[i * n + i];
        }
        for (std::size_t p = 0; p < truth.index.size(); ++p) {
            if (truth.index[p] >= 0)
                value[p % 3][p / 3] += e[static_cast<std::size_t>(truth.index[p])];
        }
        return noisy;
    }
    const double* se[3] = {truth.seA.data(), truth.seB.data(), truth.seC.data()};
    for (std::size_t i = 0; i < truth.a.size(); ++i) {
        for (int u = 0; u < 3; ++u) {
            const double draw = random.Normal();
            if (std::isfinite(se[u][i])) value[u][i] += se[u][i] * draw;
        }
    }
    return noisy;
}

linking::AnchorSet CommonItems(const Fitted& base, const Fitted& fresh) {
    linking::AnchorSet set;
    for (std::size_t k = 0; k < kCommon; ++k) {
        set.baseId.push_back(std::to_string(k));
        set.newId.push_back(std::to_string(k));
        set.aBase.push_back(base.a[k]);
        set.bBase.push_back(base.b[k]);
        set.cBase.push_back(base.c[k]);
        set.seABase.push_back(base.seA[k]);
        set.seBBase.push_back(base.seB[k]);
        set.seCBase.push_back(base.seC[k]);
        set.aNew.push_back(fresh.a[k]);
        set.bNew.push_back(fresh.b[k]);
        set.cNew.push_back(fresh.c[k]);
        set.seANew.push_back(fresh.seA[k]);
        set.seBNew.push_back(fresh.seB[k]);
        set.seCNew.push_back(fresh.seC[k]);
    }
    return set;
}

// The sums one constant of one method gathers over the replicates.
struct Sums {
    int n = 0;
    double error = 0, squares = 0;
    int errorsReported = 0;
    double reported = 0;

    void Add(double estimate, double truth, double se) {
        ++n;
        error += estimate - truth;
        squares += (estimate - truth) * (estimate - truth);
        if (std::isfinite(se)) {
            ++errorsReported;
            reported += se;
        }
    }
};

struct MethodSums {
    Sums A, B;
};

void PrintRow(const char* method, const char* constant, const Sums& s) {
    const double n = s.n;
    const double bias = s.error / n;
    const double sd = std::sqrt(std::fmax(0.0, (s.squares - n * bias * bias) / (n - 1)));
    const double ratio = bias / sd;
    const double meanSe = s.errorsReported > 0 ? s.reported / s.errorsReported : NAN;
    std::printf("| %-13s | %s | %+.4f | %.4f | %.4f (%d) | %+.3f | %.3f | %s |\n", method, constant,
                bias, sd, meanSe, s.errorsReported, ratio, 1 / std::sqrt(n),
                std::fabs(ratio) < 0.1 ? "PASS" : "FAIL");
}

void PrintTable(const char* title, const std::vector<MethodSums>& sums, int replicates) {
    std::printf("\n%s, %d replicates:\n\n", title, replicates);
    std::printf(
        "| method        | constant | bias | SD | mean reported SE (replicates with one) | "
        "bias / SD | Monte Carlo error | abs(bias / SD) < 0.1 |\n");
    std::printf("|---|---|---|---|---|---|---|---|\n");
    for (std::size_t m = 0; m < sums.size(); ++m) {
        const char* name = m < std::size(linking::kLinkMethods)
                               ? linking::LinkMethodName(linking::kLinkMethods[m])
                               : "haebara sym";
        PrintRow(name, "A", sums[m].A);
        PrintRow(name, "B", sums[m].B);
    }
    std::fflush(stdout);
}

struct Constants {
    double A, B;
};

// Every method, and Haebara's symmetric version, on one pair of forms.
void LinkAll(const Fitted& base, const Fitted& fresh, Constants truth, bool withErrors,
             std::vector<MethodSums>& sums) {
    const linking::AnchorSet set = CommonItems(base, fresh);
    linking::LinkSettings settings;
    settings.deltaErrors = withErrors;
    for (std::size_t m = 0; m <= std::size(linking::kLinkMethods); ++m) {
        const bool symmetric = m == std::size(linking::kLinkMethods);
        settings.criterion.symmetric = symmetric;
        const linking::LinkMethod method =
            symmetric ? linking::LinkMethod::Haebara : linking::kLinkMethods[m];
        const linking::LinkConstants k = linking::Link(method, set, settings);
        sums[m].A.Add(k.A, truth.A, k.seA);
        sums[m].B.Add(k.B, truth.B, k.seB);
    }
}

// The mean error of the common items' calibrated parameters, each carried
// to the base scale with the true constants, per form.
struct ItemErrors {
    double a[2] = {0, 0}, b[2] = {0, 0}, c[2] = {0, 0};
    int n = 0;

    void Add(const std::vector<sim::SimulatedItem>& common, const Fitted& base, const Fitted& fresh,
             Constants truth) {
        for (std::size_t k = 0; k < common.size(); ++k) {
            a[0] += base.a[k] - common[k].a;
            b[0] += base.b[k] - common[k].b;
            c[0] += base.c[k] - common[k].c;
            a[1] += fresh.a[k] / truth.A - common[k].a;
            b[1] += truth.A * fresh.b[k] + truth.B - common[k].b;
            c[1] += fresh.c[k] - common[k].c;
            ++n;
        }
    }
    void Print() const {
        std::printf(
            "\nMean error of the common items' calibrated parameters on the base scale "
            "(%d items):\n\n| form | a | b | c |\n|---|---|---|---|\n",
            n);
        const char* forms[2] = {"base", "new"};
        for (int f = 0; f < 2; ++f) {
            std::printf("| %s | %+.4f | %+.4f | %+.4f |\n", forms[f], a[f] / n, b[f] / n, c[f] / n);
        }
    }
};

constexpr int kNoiseDraws = 4;  // noisy pairs of forms per replicate

void RunStudy(const Study& study, int replicates, Constants truth, WorkerPool& pool) {
    std::printf("\n## %s, A = %.2f, B = %.2f\n", study.title, truth.A, truth.B);
    const sim::ItemModel model = sim::ItemModel::ThreePL;  // a, b as drawn; c dropped for 2PL
    auto draw = [&](sim::Random& random, std::size_t count) {
        std::vector<sim::SimulatedItem> items = sim::DrawItems(random, count, model);
        if (!study.threePL) {
            for (auto& item : items) item.c = 0;
        }
        return items;
    };
    const std::size_t methods = std::size(linking::kLinkMethods) + 1;
    std::vector<MethodSums> calibrated(methods), noisy(methods), jointNoisy(methods);
    int jointPairs = 0;
    ItemErrors itemErrors;
    for (int r = 0; r < replicates; ++r) {
        sim::Random random(static_cast<std::uint64_t>(1000 + r));
        const auto common = draw(random, kCommon);
        auto baseItems = common, newItems = common;
        for (const auto& item : draw(random, kUnique)) baseItems.push_back(item);
        for (const auto& item : draw(random, kUnique)) newItems.push_back(item);
        const std::vector<double> baseTheta = sim::DrawAbilities(random, kPersons);
        std::vector<double> newTheta = sim::DrawAbilities(random, kPersons);
        for (double& t : newTheta) t = truth.B + truth.A * t;  // on the base scale
        const std::vector<std::uint8_t> baseCodes =
            sim::DrawResponses(random, baseTheta, baseItems);
        const std::vector<std::uint8_t> newCodes = sim::DrawResponses(random, newTheta, newItems);
        const Fitted base = Calibrate(baseCodes, baseItems.size(), study, pool);
        const Fitted fresh = Calibrate(newCodes, newItems.size(), study, pool);
        LinkAll(base, fresh, truth, true, calibrated);
        itemErrors.Add(common, base, fresh, truth);

        // The true items plus noise of the calibrated errors: no
        // calibration's bias, only the criteria's response to errors in the
        // parameters. 3PL errors are those with the priors, whose
        // information is positive definite where one without them often
        // is not (c on its bound).
        const Study errorStudy{study.name, study.title, study.threePL, study.threePL};
        const bool same = errorStudy.priors == study.priors;
        const Fitted baseErrors =
            same ? base : Calibrate(baseCodes, baseItems.size(), errorStudy, pool);
        const Fitted newErrors =
            same ? fresh : Calibrate(newCodes, newItems.size(), errorStudy, pool);
        const Fitted trueBase = TrueItems(baseItems, 1, 0, baseErrors);
        const Fitted trueNew = TrueItems(newItems, truth.A, truth.B, newErrors);
        sim::Random noise(static_cast<std::uint64_t>(1000000 + r));
        for (int d = 0; d < kNoiseDraws; ++d) {
            LinkAll(WithNoise(trueBase, false, noise), WithNoise(trueNew, false, noise), truth,
                    false, noisy);
            if (trueBase.cholesky.empty() || trueNew.cholesky.empty()) continue;
            LinkAll(WithNoise(trueBase, true, noise), WithNoise(trueNew, true, noise), truth, false,
                    jointNoisy);
            ++jointPairs;
        }
        if (r + 1 == kWordedReplicates && replicates > kWordedReplicates) {
            PrintTable("Calibrated forms", calibrated, kWordedReplicates);
        }
    }
    PrintTable("Calibrated forms", calibrated, replicates);
    itemErrors.Print();
    char title[160];
    std::snprintf(title, sizeof title,
                  "True items plus independent normal errors of the calibrated standard errors "
                  "(3PL: with the priors), %d pairs per replicate",
                  kNoiseDraws);
    PrintTable(title, noisy, replicates * kNoiseDraws);
    if (jointPairs > 1) {
        PrintTable("The same with errors of the calibrations' joint covariance", jointNoisy,
                   jointPairs);
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::string(argv[1]) == "score-table") {
        tarvo::bench::PrintScoreTableTimes();
        return 0;
    }
    if (argc > 1 && std::string(argv[1]) == "link-time") {
        std::vector<std::size_t> counts;
        for (int k = 2; k < argc; ++k) counts.push_back(std::strtoul(argv[k], nullptr, 10));
        if (counts.empty()) counts = {1000, 4000, 16000, 60000};
        tarvo::bench::PrintLinkTimes(counts);
        return 0;
    }
    const int replicates = argc > 1 ? std::atoi(argv[1]) : 400;
    const std::string only = argc > 2 ? argv[2] : "";
    const Constants truth{argc > 3 ? std::atof(argv[3]) : kA, argc > 4 ? std::atof(argv[4]) : kB};
    bool known = only.empty();
    for (const Study& study : kStudies) known = known || only == study.name;
    if (replicates < 2 || !known || !(truth.A > 0) || argc == 4 || argc > 5) {
        std::fprintf(stderr,
                     "usage: tarvo-link-bench [REPLICATES of at least 2 [2pl|3pl-priors|3pl "
                     "[A above 0 and B]]]\n");
        return 2;
    }
    std::printf("# Linking accuracy: %zu common items of %zu, %zu examinees per form\n", kCommon,
                kCommon + kUnique, kPersons);
    WorkerPool pool(0);
    for (const Study& study : kStudies) {
        if (only.empty() || only == study.name) RunStudy(study, replicates, truth, pool);
    }
    return 0;
}
