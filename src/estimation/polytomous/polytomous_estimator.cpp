#include "estimation/polytomous/polytomous_estimator.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/estimate_bounds.h"
#include "core/model_constants.h"
#include "estimation/em_progress.h"
#include "estimation/marginal/mml_em.h"
#include "estimation/models/model_table.h"
#include "estimation/polytomous/inputs/item_models_file.h"
#include "estimation/polytomous/inputs/poly_categories.h"
#include "estimation/polytomous/inputs/poly_item_file.h"
#include "estimation/polytomous/poly_em.h"
#include "estimation/polytomous/poly_groups.h"
#include "estimation/polytomous/poly_information.h"
#include "estimation/polytomous/poly_population.h"
#include "estimation/polytomous/poly_scales.h"
#include "estimation/polytomous/poly_scores.h"
#include "estimation/polytomous/poly_start.h"
#include "output/nominal_rows.h"
#include "output/polytomous_rows.h"

namespace tarvo {

namespace {

using poly::Item;

// The widest value a parameter's cell ("* #.000", seven characters) holds
// with either sign.
constexpr double kWidestPrintedThreshold = 99.999;

// Where an upper asymptote starts, and the least c it starts with: both
// move on the logit scale, finite only inside (0, 1).
constexpr double kStartUpper = 0.95;
constexpr double kLeastStartC = 0.02;

// A nominal item's options in the outcome, the reference option first.
void AddNominalItem(const Item& item, const poly::CategoryCounts& counts,
                    EstimationOutcome& outcome) {
    const int m = item.Thresholds();
    const auto withReference = [m](double reference, const auto& values) {
        std::vector<double> all{reference};
        all.insert(all.end(), values.begin(), values.begin() + m);
        return all;
    };
    outcome.thresholds.emplace_back();
    outcome.thresholdErrors.emplace_back();
    outcome.keyedOptions.push_back(item.keyed);
    outcome.optionCounts.emplace_back(counts.begin(), counts.begin() + item.categories);
    outcome.optionSlopes.push_back(withReference(0, item.slopes));
    outcome.optionIntercepts.push_back(withReference(0, item.d));
    outcome.optionSlopeErrors.push_back(withReference(kNotEstimated, item.seSlopes));
    outcome.optionInterceptErrors.push_back(withReference(kNotEstimated, item.seB));
}

// The responses of a nominal run scored by the key once its items are
// estimated, so that the report's counts, raw scores and item-rest
// correlations are those of the number right: the keyed option 1, any
// other 0; an item without a key, and no option, is missing (9).
void ScoreByKey(std::span<const Item> items, PersonTable& persons) {
    const std::size_t itemCount = items.size();
    for (std::size_t at = 0; at < persons.responses.size(); ++at) {
        const Item& item = items[at % itemCount];
        std::uint8_t& code = persons.responses[at];
        if (item.keyed < 0 || code >= item.categories) {
            code = kNoResponse;
        } else {
            code = code == item.keyed ? kCorrect : kIncorrect;
        }
    }
}

// Every item of a nominal run needs its keyed option, one that somebody
// chose: the start values and the number right are formed from it.
std::string KeyError(std::string_view key, std::span<const poly::CategoryCounts> counts) {
    const std::vector<int> keyed = poly::KeyedOptions(key, counts.size());
    for (std::size_t i = 0; i < counts.size(); ++i) {
        const std::string item = "ERROR Item " + std::to_string(i + 1);
        if (keyed[i] < 0) {
            return item + " has no keyed option: the nominal model needs the key, one option " +
                   "code 1 to 8 per item (--key, --key-file or a key record).";
        }
        if (counts[i][static_cast<std::size_t>(keyed[i])] == 0) {
            return item + ": nobody chose its keyed option " + std::to_string(keyed[i] + 1) +
                   ". Check the key.";
        }
    }
    return {};
}

// An option nobody chose below an item's highest one: its curve has no
// maximum. Said by option code (option k + 1 is count k).
std::string EmptyOptionError(std::span<const poly::CategoryCounts> counts) {
    for (std::size_t i = 0; i < counts.size(); ++i) {
        const int options = poly::CategoriesOf(counts[i]);
        for (int k = 0; k + 1 < options; ++k) {
            if (counts[i][k] != 0) continue;
            return "ERROR Item " + std::to_string(i + 1) + ": nobody chose option " +
                   std::to_string(k + 1) + " of its options 1 to " + std::to_string(options) +
                   ", so its slope and intercept cannot be estimated. Recode its options, or "
                   "merge the unused ones (--collapse-empty: the options above move one down).";
        }
    }
    return {};
}

class PolytomousEstimator final : public Estimator {
  public:
    PolytomousEstimator(const RunRequest& request, const StartValues* start,
                        ItemCovariances* covariances)
        : settings_(request.marginal),
          binary_(RulesOf(request.marginal.model)),
          itemModelsFile_(request.itemModelsFile),
          groupSettings_(request.groups),
          start_(start),
          covariances_(covariances) {}

    // Not read for the rows: they have their own layout. The joint 3PL mode
    // names the run's parameters for the front ends.
    int LayoutMode() const override { return 3; }

    std::string CheckInputs(const RunInputs& inputs,
                            const std::function<bool()>& stop) const override {
        const std::vector<poly::CategoryCounts> counts =
            poly::CountCategories(inputs.persons.responses, inputs.persons.itemCount);
        if (!itemModelsFile_.empty()) {
            models_ = poly::ReadItemModels(itemModelsFile_, inputs.persons.itemCount, stop);
            if (!models_.error.empty()) return models_.error;
            const std::string wrong =
                poly::CheckItemModels(itemModelsFile_, models_.lines, counts, inputs.persons.keyed);
            if (!wrong.empty()) return wrong;
        }
        if (settings_.groups) {
            const poly::GroupPlan plan =
                poly::PlanGroups(groupSettings_, inputs.persons.group, inputs.persons.groupLabels);
            if (!plan.error.empty()) {
                return "ERROR Calibrating groups (--groups): " + plan.error + ".";
            }
        }
        if (settings_.polytomous == PolytomousModel::Nominal) {
            const std::string wrong = KeyError(inputs.persons.optionKey, counts);
            if (!wrong.empty()) return wrong;
        }
        if (settings_.polytomous == PolytomousModel::Nominal && settings_.fixItems) {
            return "ERROR Holding items fixed (--fix-items, --scoring-only) is not available for "
                   "the nominal model: calibrate every item.";
        }
        if (settings_.fixItems) {
            const std::string wrong = CheckHeld(inputs, counts, stop);
            if (!wrong.empty()) return wrong;
        }
        if (settings_.collapseEmpty) return {};
        if (settings_.polytomous == PolytomousModel::Nominal) return EmptyOptionError(counts);
        return poly::EmptyCategoryError(counts, inputs.persons.keyed);
    }

    EstimationOutcome Estimate(RunInputs& inputs, RunHost& host, ResultWriter& writer,
                               const Engine& engine) override;

  private:
    void WriteRows(const std::vector<Item>& items, const RunInputs& inputs,
                   ResultWriter& writer) const;
    Item ItemFor(std::size_t i, int categories) const;
    std::string CheckHeld(const RunInputs& inputs, std::span<const poly::CategoryCounts> counts,
                          const StopPoll& stop) const;

    MarginalSettings settings_;
    const MarginalModelRules& binary_;
    std::string itemModelsFile_;
    GroupSettings groupSettings_;
    const StartValues* start_ = nullptr;
    ItemCovariances* covariances_ = nullptr;
    // The item-models file as the check read it.
    mutable poly::ItemModels models_;
    // The held items' rows of the item file (--fix-items), as the check read them.
    mutable poly::HeldItems held_;
};

EstimationOutcome PolytomousEstimator::Estimate(RunInputs& inputs, RunHost& host,
                                                ResultWriter& writer, const Engine& engine) {
    ItemTable& table = inputs.items;
    PersonTable& persons = inputs.persons;
    const std::size_t itemCount = table.itemCount();
    std::vector<poly::CategoryCounts> counts =
        poly::CountCategories(persons.responses, persons.itemCount);
    // The options unused before any merge, to find a nominal item's keyed
    // option after it.
    std::vector<std::array<char, kMostCategories>> emptyBefore(itemCount);
    for (std::size_t i = 0; i < itemCount; ++i) {
        for (int k = 0; k < kMostCategories; ++k) emptyBefore[i][k] = counts[i][k] == 0 ? 1 : 0;
    }
    if (settings_.collapseEmpty) {
        for (const std::string& change :
             poly::CollapseEmptyCategories(persons.responses, counts, persons.keyed)) {
            host.ShowWarning(change);
        }
    }

    std::vector<Item> items(itemCount);
    std::vector<char> estimated(itemCount, 0), binary(itemCount, 0);
    for (std::size_t i = 0; i < itemCount; ++i) {
        items[i] = ItemFor(i, poly::CategoriesOf(counts[i]));
    }
    // A nominal item's keyed option, among the options as the responses
    // left them (a merged unused option moves the ones above it down; a
    // keyed option nobody chose is no key).
    const std::vector<int> keyed = poly::KeyedOptions(persons.optionKey, itemCount);
    for (std::size_t i = 0; i < itemCount; ++i) {
        if (!items[i].model->optionSlopes || keyed[i] < 0) continue;
        if (emptyBefore[i][keyed[i]]) continue;
        int below = 0;
        for (int k = 0; k < keyed[i]; ++k) below += emptyBefore[i][k] ? 1 : 0;
        if (keyed[i] - below < items[i].categories) items[i].keyed = keyed[i] - below;
    }
    const std::vector<int> signs = poly::RestSigns(persons.responses, items);
    for (std::size_t i = 0; i < itemCount; ++i) {
        const int categories = poly::CategoriesOf(counts[i]);
        std::int32_t valid = 0;
        for (int k = 0; k < kMostCategories; ++k) valid += counts[i][k];
        table.Nobs[i] = valid;
        // One score only: nothing to estimate; but an item scored right or
        // wrong by the key that everyone answered alike is estimated as a run
        // of such items alone does, its b ending on its bound.
        const bool byKey = i < persons.keyed.size() && persons.keyed[i] != 0;
        estimated[i] = categories >= 2 || (byKey && valid > 0) ? 1 : 0;
        binary[i] = items[i].model->start == nullptr && estimated[i];
        if (!estimated[i]) continue;
        // A common slope is one for all its items: it starts at +1.
        const int sign = items[i].commonSlope ? 1 : signs[i];
        poly::StartPolytomous(counts[i], sign, items[i]);
    }
    poly::StartNominal(persons.responses, estimated, items);
    // The item file is a result file: an item's AccNo is its AccNo cell, not
    // the columns an item ID takes in a fixed-column file (which cut the
    // CSV line: "   1,,3pl").
    if (settings_.fixItems && held_.items.size() == itemCount) {
        for (std::size_t i = 0; i < itemCount; ++i) {
            table.AccNo[i] = held_.items[i] ? held_.items[i]->accNo : std::string();
        }
    }
    // Held items keep the item file's values, categories included.
    std::vector<char> held(itemCount, 0);
    for (std::size_t i = 0; settings_.fixItems && i < held_.items.size() && i < itemCount; ++i) {
        if (!held_.items[i]) continue;
        const poly::HeldItemRow& row = *held_.items[i];
        items[i] = ItemFor(i, row.categories);
        items[i].a = row.a;
        std::copy(row.b.begin(), row.b.end(), items[i].b.begin());
        items[i].c = items[i].model->metric == models::Metric::Location ? row.c : 0;
        poly::InterceptsFromThresholds(items[i]);
        items[i].seB.fill(kNotEstimated);
        held[i] = 1;
        estimated[i] = 0;
        binary[i] = 0;
    }
    poly::ShareSteps(items, poly::ScalesOf(items, estimated));
    // The right/wrong items start as the dichotomous estimator starts them.
    {
        const mml::ItemSpans spans{table.a, table.b, table.c};
        std::fill(table.c.begin(), table.c.end(), 0.0);
        const Priors binaryPriors = poly::BinaryPriors(settings_);
        mml::SetStartValues(
            settings_.model,
            mml::ResponseView{persons.responses.data(), persons.personCount(), itemCount}, binary,
            binaryPriors, spans);
        for (std::size_t i = 0; i < itemCount; ++i) {
            if (!binary[i]) continue;
            // A slope with no log-normal prior starts on the side of 0 of
            // the item's correlation with the rest of the test.
            const int sign = items[i].slopeFree && !binaryPriors.logA.on ? signs[i] : 1;
            items[i].a = items[i].slopeFree ? sign * table.a[i] : 1;
            items[i].b[0] = sign * table.b[i];
            items[i].c = items[i].guessFree ? table.c[i] : 0;
            // An upper asymptote starts below 1 and c above 0, where their
            // logits are finite.
            if (items[i].upperFree) {
                items[i].u = kStartUpper;
                items[i].c = std::clamp(items[i].c, kLeastStartC, 0.5);
            }
            items[i].model->fromReported(items[i]);
        }
    }
    // A refit starts where a fit of nearly the same model ended.
    if (start_ != nullptr && start_->a.size() == itemCount && start_->b.size() == itemCount &&
        start_->c.size() == itemCount &&
        poly::SharedStepCount(poly::ScalesOf(items, estimated)) == 0) {
        for (std::size_t i = 0; i < itemCount; ++i) {
            Item& item = items[i];
            const std::vector<double>& b = start_->b[i];
            if (!estimated[i] || item.model->optionSlopes || item.upperFree ||
                static_cast<int>(b.size()) != item.Thresholds()) {
                continue;
            }
            if (item.slopeFree && !item.commonSlope) item.a = start_->a[i];
            std::copy(b.begin(), b.end(), item.b.begin());
            if (item.guessFree) item.c = start_->c[i];
            poly::InterceptsFromThresholds(item);
        }
    }
    for (std::size_t j = 0; j < persons.personCount(); ++j) {
        persons.theta[j] = 0;
        persons.seetheta[j] = kNotEstimated;
    }

    EstimationOutcome outcome;
    outcome.heldItems = held;
    outcome.itemParameters = poly::FreeParameterCount(items, estimated);
    LoopRecord& loop = outcome.loop;
    StartEmLoop(host, loop, settings_,
                "Calibrating items (marginal maximum likelihood, polytomous) ...");
    mml::Quadrature quadrature =
        mml::NormalQuadrature(settings_.quadraturePoints, settings_.quadratureRange);
    poly::EmTables tables(items, quadrature.Points(), engine.vectorUnit);
    poly::Responses responses{persons.responses, persons.personCount(), itemCount};
    // Several groups: the examinees of a calibrated group, with their
    // groups; those of no such group are left out of the calibration and
    // scored under the reference group's population.
    const bool grouped = settings_.groups;
    poly::GroupPlan plan;
    std::vector<std::uint8_t> groupedCodes;
    std::vector<std::int32_t> groupOf, scoredAs;
    std::optional<poly::Groups> groups;
    if (grouped) {
        plan = poly::PlanGroups(groupSettings_, persons.group, persons.groupLabels);
        for (std::size_t j = 0; j < persons.personCount(); ++j) {
            scoredAs.push_back(std::max(plan.index[j], 0));
            if (plan.index[j] < 0) continue;
            const std::span<const std::uint8_t> row = persons.ResponsesOf(j);
            groupedCodes.insert(groupedCodes.end(), row.begin(), row.end());
            groupOf.push_back(plan.index[j]);
        }
        groups.emplace(groupOf, static_cast<int>(plan.labels.size()), quadrature.Points(),
                       settings_.quadratureRange);
        if (start_ != nullptr && start_->groups.size() == plan.labels.size()) {
            for (std::size_t g = 1; g < plan.labels.size(); ++g) {
                groups->estimates[g].mean = start_->groups[g].mean;
                groups->estimates[g].sd = start_->groups[g].sd;
            }
        }
        responses = groups->Attach(poly::Responses{groupedCodes, groupOf.size(), itemCount});
    }
    const poly::EmOutcome em = poly::RunPolytomousEm(
        items, estimated, responses, settings_, quadrature, tables, engine.pool,
        EmCycleProgress(host, loop, settings_), grouped ? &*groups : nullptr);
    EndEmLoop(loop, em.cycles, em.largestChange, em.stopped, em.converged);
    outcome.logLikelihood = em.logLikelihood;
    outcome.population = em.population;

    bool stopped = em.stopped || host.ProgressIsCancelled();
    // The asked items' own parameters, where the information places them.
    poly::CovarianceQuery query;
    if (covariances_ != nullptr) {
        ItemCovariances& asked = *covariances_;
        asked.widths.clear();
        asked.values.clear();
        asked.covariance.clear();
        asked.problem.clear();
        for (const std::size_t i : asked.items) {
            const std::vector<int> places =
                poly::OwnPlaces(items, estimated, i < itemCount ? i : itemCount);
            asked.widths.push_back(static_cast<int>(places.size()));
            query.at.insert(query.at.end(), places.begin(), places.end());
        }
    }
    if (!stopped) {
        host.ProgressSet(100, "Standard errors.");
        const auto keepGoing = [&] { return !host.ProgressIsCancelled(); };
        poly::CovarianceQuery* ask = covariances_ == nullptr ? nullptr : &query;
        stopped = grouped
                      ? !poly::SetGroupStandardErrors(
                            items, estimated, *groups, responses, poly::BinaryPriors(settings_),
                            quadrature, tables, engine.pool, keepGoing, &outcome.errorForm,
                            &outcome.groupErrors, settings_.standardErrors, engine.vectorUnit, ask)
                      : !poly::SetStandardErrors(items, estimated, responses,
                                                 poly::BinaryPriors(settings_), quadrature, tables,
                                                 engine.pool, keepGoing, &outcome.errorForm,
                                                 settings_.standardErrors, engine.vectorUnit, ask);
    }
    if (covariances_ != nullptr) {
        ItemCovariances& asked = *covariances_;
        for (std::size_t k = 0; k < asked.items.size(); ++k) {
            if (asked.widths[k] == 0) continue;
            std::array<double, poly::kMostFree> x{};
            poly::PackFree(items[asked.items[k]], x);
            asked.values.insert(asked.values.end(), x.begin(), x.begin() + asked.widths[k]);
        }
        if (stopped) {
            asked.problem = "the calibration was stopped";
        } else if (query.formed) {
            asked.covariance = std::move(query.block);
        } else {
            asked.problem = query.problem;
        }
    }
    if (stopped) {
        outcome.errorsFormed = false;
        outcome.leftUndone = "the standard errors and the scores were not computed (-1, theta 0)";
        for (Item& item : items) {
            item.seA = item.seC = item.seU = kNotEstimated;
            item.seB.fill(kNotEstimated);
            item.seSlopes.fill(kNotEstimated);
        }
    } else {
        host.ProgressSet(100, "Scoring examinees.");
        // Every examinee under its own group's population.
        const poly::Responses scored =
            grouped ? poly::Responses{persons.responses, persons.personCount(), itemCount, scoredAs,
                                      groups->populations}
                    : responses;
        poly::ScoreExpected(items, scored, quadrature, tables, engine.pool, persons.theta,
                            persons.seetheta);
        // From the log probabilities the scores were formed with.
        if (outcome.population.estimated) {
            poly::SetPopulationErrors(items, responses, quadrature, tables, outcome.population);
        }
        // MAP and ML start from the EAP: MAP under the quadrature's normal
        // ability distribution, within its range; ML within the ability
        // bounds of the dichotomous ML.
        if (settings_.scoring != MarginalScoring::Eap) {
            poly::ModeScoring mode;
            mode.prior = settings_.scoring == MarginalScoring::Map;
            mode.mean = outcome.population.mean;
            mode.sd = outcome.population.sd;
            const double reach = mode.prior ? settings_.quadratureRange * mode.sd : kThetaBound;
            mode.lowest = (mode.prior ? mode.mean : 0) - reach;
            mode.highest = (mode.prior ? mode.mean : 0) + reach;
            poly::ScoreByMode(items, scored, mode, persons.theta, persons.seetheta,
                              grouped ? std::span<const PopulationEstimate>(groups->estimates)
                                      : std::span<const PopulationEstimate>(),
                              settings_.quadratureRange);
        }
    }
    if (grouped) {
        for (std::size_t g = 0; g < plan.labels.size(); ++g) {
            GroupEstimate group;
            group.label = plan.labels[g];
            group.examinees = plan.counts[g];
            group.reference = g == 0;
            group.population = groups->estimates[g];
            outcome.groups.push_back(group);
        }
        outcome.examineesWithoutGroup = plan.leftOut;
        if (stopped) outcome.groupErrors = GroupErrorSource::NotFormed;
    }
    outcome.stopped = stopped;
    host.ProgressShutdown();

    // The estimated items' thresholds from their slopes and intercepts; the
    // held ones keep the item file's.
    for (std::size_t i = 0; i < itemCount; ++i) {
        if (estimated[i]) poly::ReportThresholds(items[i]);
    }
    // The item table as the report reads it: a, the first threshold, c.
    for (std::size_t i = 0; i < itemCount; ++i) {
        const Item& item = items[i];
        table.a[i] = item.a;
        // A nominal item has no location: its b holds its intercepts.
        table.b[i] = item.model->optionSlopes ? 0 : item.b[0];
        table.c[i] = item.c;
        table.seea[i] =
            estimated[i] && (item.slopeFree || item.commonSlope || item.model->optionSlopes)
                ? item.seA
                : kNotEstimated;
        // A nominal item has no b: its intercepts' errors are the options'.
        table.seeb[i] = estimated[i] && !item.model->optionSlopes ? item.seB[0] : kNotEstimated;
        table.seec[i] = estimated[i] && item.guessFree ? item.seC : kNotEstimated;
    }
    const bool anyUpper =
        std::any_of(items.begin(), items.end(), [](const Item& item) { return item.upperFree; });
    for (std::size_t i = 0; anyUpper && i < itemCount; ++i) {
        outcome.upper.push_back(items[i].u);
        outcome.upperErrors.push_back(estimated[i] && items[i].upperFree ? items[i].seU
                                                                         : kNotEstimated);
    }
    const bool nominal = settings_.polytomous == PolytomousModel::Nominal;
    for (std::size_t i = 0; i < itemCount; ++i) {
        const Item& item = items[i];
        outcome.itemModels.emplace_back(poly::ModelNameOf(item));
        outcome.categories.push_back(item.categories);
        if (nominal) {
            AddNominalItem(item, counts[i], outcome);
            continue;
        }
        outcome.thresholds.emplace_back(item.B().begin(), item.B().end());
        const std::span<const double> errors =
            std::span<const double>(item.seB).first(item.Thresholds());
        outcome.thresholdErrors.emplace_back(errors.begin(), errors.end());
    }
    WriteRows(items, inputs, writer);
    if (nominal) ScoreByKey(items, persons);
    return outcome;
}

// The item file's rows: each held item of the model and at least the
// categories the run gives it, every item held when only scores are asked.
std::string PolytomousEstimator::CheckHeld(const RunInputs& inputs,
                                           std::span<const poly::CategoryCounts> counts,
                                           const StopPoll& stop) const {
    const std::string& path = inputs.settings.itemParameterFile;
    if (path.empty()) {
        return "ERROR Holding items fixed needs an item parameter file, and none was given.";
    }
    held_ = poly::ReadPolytomousItemFile(path, inputs.persons.itemCount, stop);
    if (!held_.error.empty()) return held_.error;
    const bool anyHeld = std::any_of(held_.items.begin(), held_.items.end(),
                                     [](const auto& row) { return row.has_value(); });
    if (settings_.estimatePopulation && !anyHeld) {
        return "ERROR Item file " + path +
               " holds no item: estimating the population (--estimate-population) needs held "
               "items, which set the scale.";
    }
    for (std::size_t i = 0; i < held_.items.size(); ++i) {
        const int seen = poly::CategoriesOf(counts[i]);
        if (!held_.items[i]) {
            if (!settings_.scoringOnly) continue;
            return "ERROR Item file " + path + " has no row for item " + std::to_string(i + 1) +
                   ": scoring only (--scoring-only) needs every item's parameters.";
        }
        const poly::HeldItemRow& row = *held_.items[i];
        const Item item = ItemFor(i, std::max(seen, row.categories));
        const std::string_view model = poly::ModelNameOf(item);
        const std::string where = "ERROR Item file " + path + ", line " + std::to_string(row.line) +
                                  " ('" + row.text + "'): item " + std::to_string(i + 1);
        // The item file's rows carry no upper asymptote: holding such an
        // item would fit it with u = 1 and call it the file's.
        if (item.upperFree) {
            return where + " is " + std::string(model) +
                   ": an item with an upper asymptote cannot be held at an item file's values "
                   "yet; estimate it instead.";
        }
        if (row.model != model) {
            return where + " is " + row.model + " in the file and " + std::string(model) +
                   " in this run.";
        }
        if (row.categories < seen) {
            return where + " has " + std::to_string(row.categories) +
                   " categories in the file, and its responses have scores 0 to " +
                   std::to_string(seen - 1) + ".";
        }
    }
    return {};
}

// The item's model: the item-models file's line, or the run's models by
// its categories.
Item PolytomousEstimator::ItemFor(std::size_t i, int categories) const {
    if (models_.lines.size() <= i) return poly::ItemOf(categories, binary_, settings_.polytomous);
    const poly::ItemModelLine& line = models_.lines[i];
    if (line.polytomous == PolytomousModel::None) {
        return poly::ItemOf(std::min(categories, 2), RulesOf(line.binaryModel),
                            PolytomousModel::None);
    }
    Item item = poly::PolytomousItem(std::max(categories, line.categories), line.polytomous);
    // A named scale is its own, apart from the scales by categories.
    if (item.model->sharedSteps && !line.scale.empty()) {
        int named = 0;
        for (std::size_t k = 0; k <= i; ++k) {
            if (models_.lines[k].scale == line.scale) break;
            if (!models_.lines[k].scale.empty()) ++named;
        }
        item.scale = kMostCategories + 1 + named;
    }
    return item;
}

void PolytomousEstimator::WriteRows(const std::vector<Item>& items, const RunInputs& inputs,
                                    ResultWriter& writer) const {
    const ItemTable& table = inputs.items;
    const PersonTable& persons = inputs.persons;
    int mostThresholds = 1;
    for (const Item& item : items) mostThresholds = std::max(mostThresholds, item.Thresholds());
    // The upper asymptote's columns only in a run with such an item: the
    // other runs keep their layout.
    const bool upper =
        std::any_of(items.begin(), items.end(), [](const Item& item) { return item.upperFree; });
    const bool nominal = settings_.polytomous == PolytomousModel::Nominal;
    writer.Line(nominal ? NominalItemHeader(mostThresholds + 1)
                        : PolytomousItemHeader(mostThresholds, upper));
    for (std::size_t i = 0; nominal && i < items.size(); ++i) {
        const Item& item = items[i];
        const auto first = [&](const auto& values) {
            return std::span<const double>(values).first(item.Thresholds());
        };
        NominalItemRow row;
        row.seq = i + 1;
        row.AccNo = table.AccNo[i];
        row.model = poly::ModelNameOf(item);
        row.options = item.categories;
        row.keyedOption = item.keyed + 1;
        row.a = item.a;
        row.seA = item.seA;
        row.slopes = first(item.slopes);
        row.intercepts = first(item.d);
        row.seSlopes = first(item.seSlopes);
        row.seIntercepts = first(item.seB);
        writer.Line(NominalItemRowText(row, mostThresholds + 1));
    }
    for (std::size_t i = 0; !nominal && i < items.size(); ++i) {
        const Item& item = items[i];
        PolytomousItemRow row;
        row.seq = i + 1;
        row.AccNo = table.AccNo[i];
        row.model = poly::ModelNameOf(item);
        row.categories = item.categories;
        row.hasC = item.model->metric == models::Metric::Location;
        row.a = item.a;
        row.c = item.c;
        row.seA = item.slopeFree || item.commonSlope ? item.seA : kNotEstimated;
        row.seC = item.guessFree ? item.seC : kNotEstimated;
        row.hasU = item.upperFree;
        row.u = item.u;
        row.seU = item.seU;
        // A threshold beyond the widest its mask prints (an item that does
        // not discriminate, or one everyone answered alike, whose intercept
        // has no bound) lies beyond any ability: the cell holds that widest
        // value (the report flags the item and keeps the exact one).
        std::array<double, poly::kMostThresholds> printed{};
        for (int k = 0; k < item.Thresholds(); ++k) {
            printed[k] = std::clamp(item.b[k], -kWidestPrintedThreshold, kWidestPrintedThreshold);
        }
        row.b = std::span<const double>(printed).first(item.Thresholds());
        row.seB = std::span<const double>(item.seB).first(item.Thresholds());
        writer.Line(PolytomousItemRowText(row, mostThresholds, upper));
    }
    writer.Line("");
    writer.Line(PolytomousPersonHeader());
    for (std::size_t j = 0; j < persons.personCount(); ++j) {
        std::int32_t raw = 0, most = 0;
        const std::span<const std::uint8_t> row = persons.ResponsesOf(j);
        for (std::size_t i = 0; i < items.size(); ++i) {
            if (static_cast<int>(row[i]) >= items[i].categories) continue;
            // A nominal item counts its keyed option as 1, any other as 0.
            if (items[i].model->optionSlopes) {
                raw += row[i] == items[i].keyed ? 1 : 0;
                most += items[i].keyed >= 0 ? 1 : 0;
                continue;
            }
            raw += row[i];
            most += items[i].categories - 1;
        }
        writer.Line(PolytomousPersonRowText(j + 1, persons.ExaminID[j], raw, most, persons.theta[j],
                                            persons.seetheta[j]));
    }
}

}  // namespace

std::unique_ptr<Estimator> MakePolytomousEstimator(const RunRequest& request) {
    return std::make_unique<PolytomousEstimator>(request, nullptr, nullptr);
}

std::unique_ptr<Estimator> MakePolytomousEstimator(const RunRequest& request,
                                                   const StartValues* start,
                                                   ItemCovariances* covariances) {
    return std::make_unique<PolytomousEstimator>(request, start, covariances);
}

}  // namespace tarvo
