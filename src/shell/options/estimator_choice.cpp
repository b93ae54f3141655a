#include "shell/options/estimator_choice.h"

#include <array>
#include <string_view>
#include <vector>

#include "request/value_checks.h"

namespace tarvo::shell {
namespace {

constexpr const char* kScoringWords[] = {"eap", "map", "ml"};
// In the order of StandardErrorMethod, as the runner's --standard-errors.
constexpr const char* kErrorWords[] = {"louis", "crossproduct", "none"};

PriorEntry EntryOf(double first, double second) {
    return {PriorChoice::AsTheModel, request::ShortestText(first), request::ShortestText(second)};
}

void PutPrior(const PriorEntry& entry, request::PriorTexts& prior) {
    prior.first = entry.first;
    prior.second = entry.second;
    switch (entry.choice) {
        case PriorChoice::AsTheModel:
            prior.state.reset();
            break;
        case PriorChoice::On:
            prior.state = "on";
            break;
        case PriorChoice::Off:
            prior.state = "none";
            break;
    }
}

PriorEntry PriorOf(const request::PriorTexts& prior, const PriorEntry& defaults) {
    PriorEntry entry = defaults;
    if (prior.state) entry.choice = *prior.state == "none" ? PriorChoice::Off : PriorChoice::On;
    if (prior.first) entry.first = *prior.first;
    if (prior.second) entry.second = *prior.second;
    return entry;
}

// A polytomous prior is off unless it is on: off is the prior not given.
void PutSwitched(const SwitchedPrior& entry, request::PriorTexts& prior) {
    prior = {};
    if (!entry.on) return;
    prior.state = "on";
    prior.first = entry.mean;
    prior.second = entry.sd;
}

SwitchedPrior SwitchedOf(const request::PriorTexts& prior, const SwitchedPrior& defaults) {
    SwitchedPrior entry = defaults;
    entry.on = prior.state == "on";
    if (prior.first) entry.mean = *prior.first;
    if (prior.second) entry.sd = *prior.second;
    return entry;
}

}  // namespace

MarginalOptionsForm DefaultMarginalOptions() {
    const MarginalSettings defaults;
    MarginalOptionsForm form;
    form.priorA = EntryOf(defaults.priorLogA.mean, defaults.priorLogA.sd);
    form.priorB = EntryOf(defaults.priorB.mean, defaults.priorB.sd);
    form.priorC = EntryOf(defaults.priorC.alpha, defaults.priorC.beta);
    form.priorU = EntryOf(defaults.priorU.alpha, defaults.priorU.beta);
    form.polytomousPriorA = {false, request::ShortestText(defaults.polytomousLogA.mean),
                             request::ShortestText(defaults.polytomousLogA.sd)};
    form.polytomousPriorB = {false, request::ShortestText(defaults.polytomousB.mean),
                             request::ShortestText(defaults.polytomousB.sd)};
    form.quadraturePoints = std::to_string(defaults.quadraturePoints);
    form.scoring = defaults.scoring;
    form.standardErrors = defaults.standardErrors;
    form.emCycles = std::to_string(defaults.maxCycles);
    form.emTolerance = request::ShortestText(defaults.tolerance);
    return form;
}

bool HasPolytomousItems(const MarginalOptionsForm& form) {
    return form.polytomous != PolytomousModel::None || !form.itemModels.empty();
}

void PutForm(const MarginalOptionsForm& form, request::RequestTexts& texts) {
    texts.binaryModel.reset();
    const bool polytomous = HasPolytomousItems(form);
    texts.collapseEmpty = polytomous && form.collapseEmpty;
    PutSwitched(polytomous ? form.polytomousPriorA : SwitchedPrior{}, texts.polytomousPriorA);
    PutSwitched(polytomous ? form.polytomousPriorB : SwitchedPrior{}, texts.polytomousPriorB);
    texts.scoringOnly = polytomous && form.fixItems && form.scoringOnly;
    if (form.polytomous != PolytomousModel::None) {
        texts.model = std::string(RulesOf(form.polytomous).name);
        if (form.binaryModel) texts.binaryModel = std::string(ModelName(*form.binaryModel));
    } else if (form.model) {
        texts.model = std::string(ModelName(*form.model));
    } else {
        texts.model.reset();
    }
    PutPrior(form.priorA, texts.priorA);
    PutPrior(form.priorB, texts.priorB);
    PutPrior(form.priorC, texts.priorC);
    PutPrior(form.priorU, texts.priorU);
    texts.quadrature = form.quadraturePoints;
    texts.scoring = kScoringWords[static_cast<int>(form.scoring)];
    texts.standardErrors = kErrorWords[static_cast<int>(form.standardErrors)];
    texts.fixItems = form.fixItems;
    texts.estimatePopulation = form.estimatePopulation;
    texts.emCycles = form.emCycles;
    texts.emTolerance = form.emTolerance;
    // Blank asks for no comparison.
    if (request::WithoutBlanks(form.compare).empty()) {
        texts.compare.reset();
    } else {
        texts.compare = form.compare;
    }
    if (form.itemModels.empty()) {
        texts.itemModels.reset();
    } else {
        texts.itemModels = form.itemModels;
    }
    texts.groups = form.groupsTogether;
    PutGroupChoices(form.groups, texts);
    // Freeing items is a way of calibrating the groups together: the
    // marginal estimator's alone.
    texts.freeItems = form.groups.freeItems;
    if (request::WithoutBlanks(form.groups.freeItems).empty()) texts.freeItems.reset();
    texts.freeDif = form.groups.freeDif;
}

void PutGroupChoices(const GroupChoices& choices, request::RequestTexts& texts) {
    std::string screens;
    if (choices.mantelHaenszel) screens += ",mh";
    if (choices.standardization) screens += ",std";
    if (choices.logistic) screens += ",lr";
    if (choices.irt) screens += ",irt";
    // The matching score is a setting of the screens: without them it is
    // not written, as the parser refuses it alone.
    if (screens.empty()) {
        texts.dif.reset();
        texts.difMatch.reset();
    } else {
        texts.dif = screens.substr(1);
        texts.difMatch = choices.restScore ? "rest" : "total";
    }
    // Blank labels are no labels: the defaults.
    auto label = [](const std::string& text) -> request::Text {
        if (request::WithoutBlanks(text).empty()) return std::nullopt;
        return text;
    };
    texts.referenceGroup = label(choices.reference);
    texts.focalGroups = label(choices.focal);
    // The anchors are the IRT screen's: without it they are not written,
    // as the parser refuses them alone.
    texts.anchors = choices.irt ? label(choices.anchors) : std::nullopt;
}

MarginalOptionsForm FormOf(const request::RequestTexts& texts) {
    const MarginalOptionsForm defaults = DefaultMarginalOptions();
    MarginalOptionsForm form = defaults;
    if (texts.model) {
        form.model = ModelNamed(*texts.model);
        form.polytomous = PolytomousModelNamed(*texts.model).value_or(PolytomousModel::None);
    }
    if (texts.binaryModel) form.binaryModel = ModelNamed(*texts.binaryModel);
    form.collapseEmpty = texts.collapseEmpty;
    form.priorA = PriorOf(texts.priorA, defaults.priorA);
    form.priorB = PriorOf(texts.priorB, defaults.priorB);
    form.priorC = PriorOf(texts.priorC, defaults.priorC);
    form.priorU = PriorOf(texts.priorU, defaults.priorU);
    form.polytomousPriorA = SwitchedOf(texts.polytomousPriorA, defaults.polytomousPriorA);
    form.polytomousPriorB = SwitchedOf(texts.polytomousPriorB, defaults.polytomousPriorB);
    if (texts.quadrature) form.quadraturePoints = *texts.quadrature;
    if (texts.scoring) {
        for (int k = 0; k < 3; ++k) {
            if (*texts.scoring == kScoringWords[k]) form.scoring = static_cast<MarginalScoring>(k);
        }
    }
    if (texts.standardErrors) {
        for (int k = 0; k < 3; ++k) {
            if (*texts.standardErrors == kErrorWords[k])
                form.standardErrors = static_cast<StandardErrorMethod>(k);
        }
    }
    // Scoring only holds every item: the job names it alone.
    form.fixItems = texts.fixItems || texts.scoringOnly;
    form.scoringOnly = texts.scoringOnly;
    form.estimatePopulation = texts.estimatePopulation;
    if (texts.emCycles) form.emCycles = *texts.emCycles;
    if (texts.emTolerance) form.emTolerance = *texts.emTolerance;
    if (texts.compare) form.compare = *texts.compare;
    if (texts.itemModels) form.itemModels = *texts.itemModels;
    form.groupsTogether = texts.groups;
    if (texts.dif) {
        // The parser's own reading of the list, so the boxes show what a run
        // would screen.
        constexpr std::array<std::string_view, 4> kScreens{"mh", "std", "lr", "irt"};
        std::string ignored;
        const auto chosen = request::DistinctWordsIn(*texts.dif, kScreens, 1, "", {}, ignored);
        for (const std::size_t k : chosen.value_or(std::vector<std::size_t>{})) {
            (k == 0   ? form.groups.mantelHaenszel
             : k == 1 ? form.groups.standardization
             : k == 2 ? form.groups.logistic
                      : form.groups.irt) = true;
        }
    }
    form.groups.restScore =
        texts.difMatch && request::WithoutBlanks(*texts.difMatch) == std::string_view("rest");
    if (texts.referenceGroup) form.groups.reference = *texts.referenceGroup;
    if (texts.focalGroups) form.groups.focal = *texts.focalGroups;
    if (texts.anchors) form.groups.anchors = *texts.anchors;
    if (texts.freeItems) form.groups.freeItems = *texts.freeItems;
    form.groups.freeDif = texts.freeDif;
    return form;
}

void EstimatorChoice::PutInto(request::RequestTexts& texts) const {
    texts.method = method_ == EstimatorMethod::Marginal ? "mml" : "jml";
    if (method_ == EstimatorMethod::Marginal) {
        PutForm(options_, texts);
    } else {
        PutGroupChoices(options_.groups, texts);
    }
}

}  // namespace tarvo::shell
