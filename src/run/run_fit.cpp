#include "run/run_fit.h"

#include <algorithm>
#include <cmath>

#include "core/marginal_models.h"
#include "core/modes.h"
#include "estimation/marginal/mml_quadrature.h"
#include "fit/compute_fit.h"
#include "fit/model_fit.h"
#include "parallel/worker_pool.h"
#include "report/ability_statistics.h"
#include "report/response_counts.h"
#include "run/run_score_table.h"

namespace tarvo {

namespace {

// The marginal estimator's default quadrature, laid over a classic run's
// abilities: fine enough that S-X2 does not move with the grid.
constexpr int kClassicGridPoints = 61;
constexpr double kClassicGridRange = 6;

FitGrid GridOf(const mml::Quadrature& quadrature) {
    return FitGrid{quadrature.theta, quadrature.weight};
}

// Per item, the parameters the run moved (none for an item held at given
// values or without a valid response); S-X2's degrees of freedom lose them.
std::vector<int> EstimatedParameters(const RunRequest& request, const EstimationOutcome& outcome,
                                     const std::vector<std::int32_t>& itemValid) {
    int each = 0;
    if (request.method == Method::Marginal) {
        const FreeParameters free = RulesOf(request.marginal.model).free;
        each = int{free.a} + int{free.b} + int{free.c};
    } else if (const ModeRules& rules = RulesOf(request.mode); rules.estimatesItems()) {
        each = 1 + int{rules.estimatesA} + int{rules.estimatesC};
    }
    std::vector<int> estimated(itemValid.size(), 0);
    for (std::size_t i = 0; i < itemValid.size(); ++i) {
        const bool held = i < outcome.heldItems.size() && outcome.heldItems[i] != 0;
        estimated[i] = held || itemValid[i] == 0 ? 0 : each;
    }
    return estimated;
}

// The marginal likelihood's parameters: the items' own, the common slope,
// and the population's mean and SD when they were estimated.
int ModelParameters(const RunRequest& request, const EstimationOutcome& outcome,
                    const std::vector<int>& estimated) {
    int parameters = 0;
    for (const int each : estimated) parameters += each;
    const bool anyEstimated =
        std::any_of(estimated.begin(), estimated.end(), [](int each) { return each > 0; });
    if (RulesOf(request.marginal.model).commonSlope && anyEstimated) ++parameters;
    if (outcome.population.estimated) parameters += 2;
    return parameters;
}

// An item of a polytomous run, by the model the run names for it: the GRM
// and GPCM estimate a slope and every threshold, the PCM its thresholds
// (the slope is common), the RSM its location (the steps are the scale's);
// a right/wrong item its model's free parameters.
int EstimatedByModel(const std::string& name, int categories, const RunRequest& request) {
    if (const auto polytomous = PolytomousModelNamed(name)) {
        const PolytomousModelRules& rules = RulesOf(*polytomous);
        if (rules.sharedSteps) return 1;
        return categories - 1 + int{rules.slopeFree};
    }
    const FreeParameters free = RulesOf(ModelNamed(name).value_or(request.marginal.model)).free;
    return int{free.a} + int{free.b} + int{free.c};
}

// A polytomous run's marginal likelihood's parameters: those its estimator
// moved, the population's mean and SD when they were estimated, and each
// focal group's of a run of several groups.
int PolytomousParameters(const EstimationOutcome& outcome) {
    const int focal = outcome.groups.empty() ? 0 : static_cast<int>(outcome.groups.size()) - 1;
    return outcome.itemParameters + (outcome.population.estimated ? 2 : 0) + 2 * focal;
}

}  // namespace

FitGrid MarginalFitGrid(const MarginalSettings& settings, const PopulationEstimate& population) {
    const double mean = population.estimated ? population.mean : 0;
    const double sd = population.estimated ? population.sd : 1;
    return GridOf(
        mml::NormalQuadrature(settings.quadraturePoints, settings.quadratureRange, mean, sd));
}

FitGrid ClassicFitGrid(std::span<const double> theta, std::span<const std::int32_t> nvalid) {
    double sum = 0, n = 0;
    for (std::size_t j = 0; j < theta.size(); ++j) {
        if (nvalid[j] <= 0 || !std::isfinite(theta[j])) continue;
        sum += theta[j];
        n += 1;
    }
    if (n == 0) return {};
    const double mean = sum / n;
    double square = 0;
    for (std::size_t j = 0; j < theta.size(); ++j) {
        if (nvalid[j] <= 0 || !std::isfinite(theta[j])) continue;
        square += (theta[j] - mean) * (theta[j] - mean);
    }
    // Abilities without spread still need a distribution of some width.
    const double sd = std::max(std::sqrt(square / n), 1e-6);
    return GridOf(mml::NormalQuadrature(kClassicGridPoints, kClassicGridRange, mean, sd));
}

bool PriorsActed(const RunRequest& request, const EstimationOutcome& outcome) {
    if (request.method != Method::Marginal) return false;
    const Priors priors = PriorsFor(request.marginal);
    const std::size_t items =
        outcome.heldItems.empty() ? outcome.itemModels.size() : outcome.heldItems.size();
    for (std::size_t i = 0; i < std::max<std::size_t>(items, 1); ++i) {
        if (i < outcome.heldItems.size() && outcome.heldItems[i] != 0) continue;
        const std::string name = i < outcome.itemModels.size()
                                     ? outcome.itemModels[i]
                                     : std::string(ModelName(request.marginal.model));
        if (const auto polytomous = PolytomousModelNamed(name)) {
            const PolytomousModelRules& rules = RulesOf(*polytomous);
            if (priors.polytomousB.on ||
                (priors.polytomousLogA.on && (rules.slopeFree || rules.commonSlope))) {
                return true;
            }
            continue;
        }
        const MarginalModelRules& rules =
            RulesOf(ModelNamed(name).value_or(request.marginal.model));
        if ((priors.logA.on && (rules.free.a || rules.commonSlope)) ||
            (priors.b.on && rules.free.b) || (priors.c.on && rules.free.c)) {
            return true;
        }
    }
    return false;
}

fit::ModelFit ModelFitOfRun(const RunRequest& request, const RunInputs& inputs,
                            const EstimationOutcome& outcome) {
    const report::ResponseCounts counts = report::CountResponses(inputs.persons);
    const std::vector<int> estimated = EstimatedParameters(request, outcome, counts.itemValid);
    const std::size_t examinees = static_cast<std::size_t>(
        std::count_if(counts.nvalid.begin(), counts.nvalid.end(), [](auto n) { return n > 0; }));
    // A polytomous run's estimator counted what it moved.
    const int parameters = outcome.itemModels.empty() ? ModelParameters(request, outcome, estimated)
                                                      : PolytomousParameters(outcome);
    fit::ModelFit model =
        fit::DescribeModelFit(fit::ModelLikelihood{outcome.logLikelihood, parameters}, examinees);
    model.penalised = PriorsActed(request, outcome);
    return model;
}

fit::FitResults FitOfRun(const RunRequest& request, const RunInputs& inputs,
                         const EstimationOutcome& outcome, const TaskExecutor& executor) {
    const ItemTable& items = inputs.items;
    const PersonTable& persons = inputs.persons;
    const report::ResponseCounts counts = report::CountResponses(persons);
    const report::AbilityGroups groups = report::AbilityGroupsOf(persons.theta, counts.nvalid);
    const bool marginal = request.method == Method::Marginal;
    const FitGrid grid = marginal ? MarginalFitGrid(request.marginal, outcome.population)
                                  : ClassicFitGrid(persons.theta, counts.nvalid);
    const std::vector<int> estimated = EstimatedParameters(request, outcome, counts.itemValid);

    fit::FitInputs in;
    in.a = items.a;
    in.b = items.b;
    in.c = items.c;
    in.estimatedParameters = estimated;
    in.responses = persons.responses;
    in.theta = persons.theta;
    in.abilityGroup = groups.of;
    in.abilityGroups = groups.groups;
    in.grid = {grid.theta, grid.weight};
    if (marginal) {
        in.likelihood = fit::ModelLikelihood{outcome.logLikelihood,
                                             ModelParameters(request, outcome, estimated)};
    }
    // On the run's threads: the figures do not depend on their number.
    WorkerPool pool(request.threads, executor);
    fit::FitResults fit = fit::ComputeFit(in, pool);
    fit.model.penalised = PriorsActed(request, outcome);
    return fit;
}

fit::FitResults FitOfPolytomousRun(const RunRequest& request, const RunInputs& inputs,
                                   const EstimationOutcome& outcome, const TaskExecutor& executor) {
    const PersonTable& persons = inputs.persons;
    const report::ResponseCounts counts = report::CountResponses(persons, outcome.categories);
    // The report's ability groups: by the items answered over every item.
    const report::AbilityGroups groups = report::AbilityGroupsOf(
        persons.theta, counts.answered.empty() ? counts.nvalid : counts.answered);
    const std::vector<ScoredItem> items = ScoredItemsOfRun(request, inputs.items, outcome);
    std::vector<int> estimated(items.size(), 0);
    for (std::size_t i = 0; i < items.size(); ++i) {
        const bool held = i < outcome.heldItems.size() && outcome.heldItems[i] != 0;
        if (held || counts.itemValid[i] == 0 || i >= outcome.itemModels.size()) continue;
        estimated[i] = EstimatedByModel(outcome.itemModels[i], items[i].categories, request);
    }
    const FitGrid grid = MarginalFitGrid(request.marginal, outcome.population);
    fit::CategoryFitInputs in;
    in.items = items;
    in.estimatedParameters = estimated;
    in.responses = persons.responses;
    in.grid = {grid.theta, grid.weight};
    in.theta = persons.theta;
    in.abilityGroup = groups.of;
    in.abilityGroups = groups.groups;
    in.likelihood = fit::ModelLikelihood{outcome.logLikelihood, PolytomousParameters(outcome)};
    WorkerPool pool(request.threads, executor);
    fit::FitResults fit = fit::ComputeCategoryFit(in, pool);
    fit.model.penalised = PriorsActed(request, outcome);
    for (std::size_t i = 0; i < fit.items.size() && i < outcome.itemModels.size(); ++i) {
        fit.items[i].model = outcome.itemModels[i];
    }
    return fit;
}

}  // namespace tarvo
