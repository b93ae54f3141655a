#include "estimation/marginal/marginal_estimator.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "core/estimate_bounds.h"
#include "estimation/classic/estimators.h"
#include "estimation/em_progress.h"
#include "estimation/kernels/mml_kernels.h"
#include "estimation/marginal/held_items_check.h"
#include "estimation/marginal/mml_information.h"
#include "estimation/marginal/mml_population.h"
#include "estimation/marginal/mml_scoring.h"

namespace tarvo {

namespace {

constexpr std::size_t kExamineesPerMlTask = 125;
// Examinees scored between two looks at Stop.
constexpr std::size_t kExamineesPerBlock = 4096;
constexpr double kHighestGivenC = 0.999;
// The widest value the result file's parameter columns hold in their width
// ("* #.000"): b = -d / a of a slope near 0, and a slope at the search's
// reach, are written as far as that; the report keeps their values.
constexpr double kWidestPrinted = 99.999;

// The items as the result file writes them: each estimated a and b kept
// within what the columns hold.
ItemTable Printable(const ItemTable& items, const std::vector<char>& estimated) {
    ItemTable printed = items;
    for (std::size_t i = 0; i < items.itemCount(); ++i) {
        if (!estimated[i]) continue;
        printed.a[i] = std::clamp(printed.a[i], -kWidestPrinted, kWidestPrinted);
        printed.b[i] = std::clamp(printed.b[i], -kWidestPrinted, kWidestPrinted);
    }
    return printed;
}

// The model's own constraints on a held item: a = 1 for the 1PL, c = 0 for
// the models without a floor. A given c outside [0, 0.999] would leave no
// probability of a wrong (or a right) answer, so it is held at the bound.
void ApplyModel(const MarginalModelRules& rules, ItemTable& items, std::size_t i) {
    if (rules.aIsOne) items.a[i] = 1;
    if (rules.cIsZero) items.c[i] = 0;
    items.c[i] = std::clamp(items.c[i], 0.0, kHighestGivenC);
}

// False when Stop ended the work; the errors then stay -1.
// form tells which shortcut, if any, the errors took.
bool SetStandardErrors(const MarginalSettings& settings, const std::vector<char>& estimated,
                       mml::ItemSpans spans, const mml::PatternPosteriors& posteriors,
                       const mml::Quadrature& quadrature, const mml::ExpectedCounts& counts,
                       WorkerPool& pool, const mml::KeepGoing& keepGoing, ItemTable& items,
                       ErrorForm& form) {
    if (settings.standardErrors == StandardErrorMethod::None) {
        form = ErrorForm::NotFormed;
        std::fill(items.seea.begin(), items.seea.end(), kNotEstimated);
        std::fill(items.seeb.begin(), items.seeb.end(), kNotEstimated);
        std::fill(items.seec.begin(), items.seec.end(), kNotEstimated);
        return true;
    }
    const bool products = settings.standardErrors == StandardErrorMethod::CrossProduct;
    const mml::ParameterLayout layout = mml::MakeLayout(settings, estimated, spans);
    std::vector<double> se;
    form = products ? ErrorForm::CrossProduct : ErrorForm::Whole;
    if (items.itemCount() > mml::kLargestCrossItemTest) {
        if (!products) form = ErrorForm::ItemBlocks;
        se = mml::StandardErrorsByItem(posteriors, layout, settings, spans, quadrature, counts,
                                       pool, keepGoing, products);
        if (se.size() != static_cast<std::size_t>(layout.count)) return false;
    } else {
        const std::vector<double> information = mml::ObservedInformation(
            posteriors, layout, settings, spans, quadrature, counts, pool, keepGoing, products);
        if (information.size() != static_cast<std::size_t>(layout.count) * layout.count) {
            return false;
        }
        if (!mml::StandardErrorsFrom(information, layout.count, se)) {
            // Not positive definite (a parameter not identified by the
            // data): each parameter's own curvature, which understates the
            // error.
            form = ErrorForm::OwnCurvature;
            se.assign(layout.count, kStandardErrorCap);
            for (int p = 0; p < layout.count; ++p) {
                const double d = information[static_cast<std::size_t>(p) * layout.count + p];
                if (d > 0) se[p] = 1 / std::sqrt(d);
            }
        }
    }
    double* errors[3] = {items.seea.data(), items.seeb.data(), items.seec.data()};
    for (std::size_t i = 0; i < items.itemCount(); ++i) {
        for (int u = 0; u < 3; ++u) {
            const int p = layout.index[3 * i + u];
            errors[u][i] = p < 0 || se[p] < 0 ? kNotEstimated : std::min(se[p], kStandardErrorCap);
        }
    }
    return true;
}

void ScoreMl(const EngineSettings& engine, const ItemTable& items, PersonTable& persons,
             WorkerPool& pool, mml::ExamineeBlock block) {
    AbilityEstimator estimator(engine.arithmetic, engine.vectorUnit);
    estimator.UseItems(items.a, items.b, items.c);
    std::vector<AbilityEstimator::Workspace> workspaces(pool.Threads());
    const std::size_t count = block.to - block.from;
    const std::size_t tasks = (count + kExamineesPerMlTask - 1) / kExamineesPerMlTask;
    pool.ForEach(tasks, [&](std::size_t task, unsigned thread) {
        const std::size_t from = block.from + task * kExamineesPerMlTask;
        const std::size_t to = std::min(block.to, from + kExamineesPerMlTask);
        // Every examinee starts from theta 0, as in the theta-only modes.
        std::fill(persons.theta.begin() + from, persons.theta.begin() + to, 0.0);
        estimator.EstimateMany(to - from, persons.ResponsesOf(from).data(), &persons.theta[from],
                               &persons.seetheta[from], &persons.Nvalid[from], workspaces[thread]);
    });
}

std::string Count(std::size_t n) { return std::to_string(n); }

class MarginalEstimator final : public Estimator {
  public:
    explicit MarginalEstimator(const RunRequest& request)
        : settings_(request.marginal), rules_(RulesOf(request.marginal.model)) {}

    int LayoutMode() const override { return rules_.layoutMode; }

    std::string CheckInputs(const RunInputs& inputs, const std::function<bool()>&) const override {
        if (rules_.cFromItemFile && inputs.settings.itemParameterFile.empty()) {
            return "ERROR The model " + std::string(rules_.name) +
                   " takes c from the item parameter file, and no item parameter file was "
                   "given.";
        }
        if (settings_.fixItems && inputs.settings.itemParameterFile.empty()) {
            return "ERROR Holding items fixed needs an item parameter file, and none was given.";
        }
        if (settings_.fixItems) return mml::CheckHeldItems(inputs, rules_);
        return {};
    }

    EstimationOutcome Estimate(RunInputs& inputs, RunHost& host, ResultWriter& writer,
                               const Engine& engine) override;

  private:
    // Scores every examinee, block after block; returns how many were
    // scored before a Stop.
    std::size_t Score(const mml::PatternPosteriors& posteriors, mml::ItemSpans spans,
                      const mml::Quadrature& quadrature, const PopulationEstimate& population,
                      RunInputs& inputs, RunHost& host, const Engine& engine) const;

    MarginalSettings settings_;
    const MarginalModelRules& rules_;
};

std::size_t MarginalEstimator::Score(const mml::PatternPosteriors& posteriors, mml::ItemSpans spans,
                                     const mml::Quadrature& quadrature,
                                     const PopulationEstimate& population, RunInputs& inputs,
                                     RunHost& host, const Engine& engine) const {
    PersonTable& persons = inputs.persons;
    const mml::ScoreSpans scores{persons.theta, persons.seetheta, persons.Nvalid};
    const std::size_t personCount = persons.personCount();
    for (std::size_t from = 0; from < personCount; from += kExamineesPerBlock) {
        if (host.ProgressIsCancelled()) return from;
        const mml::ExamineeBlock block{from, std::min(personCount, from + kExamineesPerBlock)};
        switch (settings_.scoring) {
            case MarginalScoring::Eap:
                mml::ScoreEap(posteriors, quadrature, engine.pool, scores, block);
                break;
            case MarginalScoring::Map:
                mml::ScoreMap(posteriors, spans, quadrature, population.mean, population.sd,
                              engine.pool, scores, block);
                break;
            case MarginalScoring::Ml:
                ScoreMl({engine.arithmetic, engine.vectorUnit}, inputs.items, persons, engine.pool,
                        block);
                break;
        }
    }
    return personCount;
}

EstimationOutcome MarginalEstimator::Estimate(RunInputs& inputs, RunHost& host,
                                              ResultWriter& writer, const Engine& engine) {
    ItemTable& items = inputs.items;
    PersonTable& persons = inputs.persons;
    const std::size_t itemCount = items.itemCount();
    const mml::ResponseView view{persons.responses.data(), persons.personCount(), itemCount};

    EstimationOutcome outcome;
    std::vector<char> held(itemCount, 0);
    if (settings_.fixItems) {
        const std::vector<char>& given = inputs.itemLinesGiven;
        std::copy_n(given.begin(), std::min(given.size(), itemCount), held.begin());
    }
    std::vector<char> estimated(itemCount, 0);
    bool anyHeld = false;
    for (std::size_t i = 0; i < itemCount; ++i) {
        std::int32_t valid = 0;
        for (std::size_t j = 0; j < view.persons; ++j) valid += view.Row(j)[i] <= 1 ? 1 : 0;
        items.Nobs[i] = valid;
        estimated[i] = !held[i] && valid > 0 ? 1 : 0;
        anyHeld = anyHeld || held[i];
        items.seea[i] = items.seeb[i] = items.seec[i] = kNotEstimated;
        ApplyModel(rules_, items, i);
    }
    outcome.heldItems = held;
    const mml::ItemSpans spans{items.a, items.b, items.c};
    mml::SetStartValues(settings_.model, view, estimated, PriorsFor(settings_), spans);
    mml::SignStartSlopes(settings_.model, view, estimated, PriorsFor(settings_), spans);
    // Nothing is scored yet: an examinee a Stop leaves unscored is written
    // with theta 0 and seetheta -1.
    for (std::size_t j = 0; j < persons.personCount(); ++j) {
        persons.theta[j] = 0;
        persons.seetheta[j] = kNotEstimated;
        std::int32_t valid = 0;
        for (std::uint8_t code : view.Row(j)) valid += code <= 1 ? 1 : 0;
        persons.Nvalid[j] = valid;
    }

    LoopRecord& loop = outcome.loop;
    StartEmLoop(host, loop, settings_, "Calibrating items (marginal maximum likelihood) ...");
    mml::Quadrature quadrature =
        mml::NormalQuadrature(settings_.quadraturePoints, settings_.quadratureRange);
    mml::ExpectedCounts counts;
    mml::PatternPosteriors posteriors(view, quadrature.Points(),
                                      MarginalKernelsFor(engine.vectorUnit));
    const mml::EmOutcome em =
        mml::RunEm(posteriors, settings_, estimated, spans, engine.pool, quadrature, counts,
                   EmCycleProgress(host, loop, settings_));
    EndEmLoop(loop, em.cycles, em.largestChange, em.stopped, em.converged);
    outcome.logLikelihood = em.logLikelihood;
    PopulationEstimate& population = outcome.population;
    population.estimated = settings_.estimatePopulation && anyHeld;
    population.mean = em.populationMean;
    population.sd = em.populationSd;

    // After EM: the standard errors, the population's errors, the scores;
    // a Stop in any of them leaves the rest undone.
    bool stopped = em.stopped || host.ProgressIsCancelled();
    if (!stopped) {
        host.ProgressSet(100, "Standard errors.");
        stopped = !SetStandardErrors(
            settings_, estimated, spans, posteriors, quadrature, counts, engine.pool,
            [&] { return !host.ProgressIsCancelled(); }, items, outcome.errorForm);
    }
    if (stopped) {
        outcome.errorsFormed = false;
        outcome.leftUndone = "the standard errors and the scores were not computed (-1, theta 0)";
    } else {
        if (population.estimated) {
            mml::SetPopulationErrors(posteriors, quadrature, engine.pool, population);
        }
        host.ProgressSet(100, "Scoring examinees.");
        const std::size_t scored =
            Score(posteriors, spans, quadrature, population, inputs, host, engine);
        stopped = scored < persons.personCount();
        if (stopped) {
            outcome.leftUndone = "the scores of " + Count(persons.personCount() - scored) + " of " +
                                 Count(persons.personCount()) +
                                 " examinees were not computed (theta 0, seetheta -1)";
        }
    }
    outcome.stopped = stopped;
    host.ProgressShutdown();
    writer.ItemSection(Printable(items, estimated));
    writer.PersonSection(persons);
    return outcome;
}

}  // namespace

std::unique_ptr<Estimator> MakeMarginalEstimator(const RunRequest& request) {
    return std::make_unique<MarginalEstimator>(request);
}

}  // namespace tarvo
