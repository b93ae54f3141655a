#include "linking/link_session.h"

#include "linking/forms/form_values.h"
#include "linking/forms/transform.h"

namespace tarvo::linking {

const MethodResult* LinkOutcome::Chosen(LinkMethod method) const {
    for (const MethodResult& result : Final()) {
        if (result.method == method) return &result;
    }
    return nullptr;
}

std::vector<MethodResult> LinkEveryMethod(const AnchorSet& set, const LinkSettings& settings,
                                          int bootstrap, std::uint64_t seed) {
    std::vector<MethodResult> results;
    for (const LinkMethod method : kLinkMethods) {
        MethodResult result;
        result.method = method;
        result.constants = Link(method, set, settings);
        if (bootstrap > 0 && result.constants.ok) {
            const BootstrapErrors errors = Bootstrap(method, set, settings, bootstrap, seed);
            result.constants.seA = settings.slopeFixed ? 0 : errors.seA;
            result.constants.seB = errors.seB;
            result.bootstrapReplicates = errors.replicates;
        }
        results.push_back(std::move(result));
    }
    return results;
}

namespace {

std::optional<ItemForm> ReadForm(const std::string& path, const ItemForm* held,
                                 const ItemColumns& columns, std::optional<FormModel> model,
                                 const StopPoll& stop, std::string& error) {
    FormRead read = held != nullptr ? CheckedForm(path, *held, model)
                                    : ReadLinkForm(path, columns, model, stop);
    if (!read.form) error = read.error;
    return std::move(read.form);
}

}  // namespace

FormRead ReadLinkForm(const std::string& path, const ItemColumns& columns,
                      std::optional<FormModel> model, const StopPoll& stop) {
    FormRead read = ReadItemForm(path, columns, model, stop);
    if (!read.form) return read;
    std::string error;
    if (!read.resultFile) {
        // Only the fields the form's model takes its values from.
        ItemColumns taken = columns;
        const FormModel as = model.value_or(FormModel::ThreePL);
        if (as == FormModel::OnePL) taken.a = taken.seA = {};
        if (as != FormModel::ThreePL) taken.c = taken.seC = {};
        error = CheckItemFileTexts(path, taken, read.form->size());
    }
    if (error.empty()) error = CheckFormValues(path, *read.form);
    if (!error.empty()) {
        read.form.reset();
        read.error = std::move(error);
    }
    return read;
}

FormRead CheckedForm(const std::string& name, const ItemForm& form,
                     std::optional<FormModel> model) {
    FormRead read;
    read.form = form;
    if (model) ApplyModel(*read.form, *model);
    read.error = CheckFormValues(name, *read.form);
    if (!read.error.empty()) read.form.reset();
    return read;
}

LinkOutcome RunLink(const LinkRequest& request) {
    LinkOutcome outcome;
    auto base = ReadForm(request.basePath, request.baseForm, request.baseColumns, request.baseModel,
                         request.stop, outcome.error);
    if (!base) return outcome;
    auto fresh = ReadForm(request.newPath, request.newForm, request.newColumns, request.newModel,
                          request.stop, outcome.error);
    if (!fresh) return outcome;
    outcome.base = std::move(*base);
    outcome.fresh = std::move(*fresh);

    MatchResult match;
    if (request.anchorPairs) {
        match = MatchByPairs(outcome.base, outcome.fresh, *request.anchorPairs);
    } else if (request.anchorsPath.empty()) {
        match = MatchById(outcome.base, outcome.fresh);
        outcome.matchedByPosition = match.byPosition;
    } else {
        const AnchorPairs pairs = ReadAnchorPairs(request.anchorsPath, request.stop);
        if (!pairs.pairs) {
            outcome.error = pairs.error;
            return outcome;
        }
        match = MatchByPairs(outcome.base, outcome.fresh, *pairs.pairs);
    }
    if (!match.common) {
        outcome.error = match.error;
        return outcome;
    }
    if (match.common->size() < kFewestCommonItems) {
        outcome.error = "the forms " + request.basePath + " and " + request.newPath + " share " +
                        std::to_string(match.common->size()) + " items; a link needs at least " +
                        std::to_string(kFewestCommonItems);
        return outcome;
    }
    outcome.anchors = MakeAnchorSet(outcome.base, outcome.fresh, *match.common);

    LinkSettings settings;
    settings.criterion = request.criterion;
    settings.slopeFixed =
        outcome.base.model == FormModel::OnePL && outcome.fresh.model == FormModel::OnePL;
    outcome.slopeFixed = settings.slopeFixed;
    outcome.first = LinkEveryMethod(outcome.anchors, settings, request.bootstrap, request.seed);

    const LinkConstants& chosenFirst =
        outcome.first[static_cast<std::size_t>(request.chosen)].constants;
    outcome.drift = ScreenDrift(outcome.anchors, chosenFirst, request.driftThreshold);
    if (request.dropDrifting && outcome.drift.DriftingCount() > 0) {
        std::vector<std::size_t> kept;
        for (std::size_t k = 0; k < outcome.drift.items.size(); ++k) {
            if (outcome.drift.items[k].drifting) {
                outcome.dropped.push_back(outcome.drift.items[k].newId);
            } else {
                kept.push_back(k);
            }
        }
        if (kept.size() < kFewestCommonItems) {
            outcome.error = "without the " + std::to_string(outcome.dropped.size()) +
                            " drifting items fewer than " + std::to_string(kFewestCommonItems) +
                            " common items are left";
            return outcome;
        }
        AnchorSet keptSet;
        PickAnchors(outcome.anchors, kept, keptSet);
        outcome.relinked = LinkEveryMethod(keptSet, settings, request.bootstrap, request.seed);
    }

    const MethodResult* chosen = outcome.Chosen(request.chosen);
    if (chosen == nullptr || !chosen->constants.ok) {
        outcome.error = std::string("the ") + LinkMethodName(request.chosen) +
                        " method found no constants: " +
                        (chosen != nullptr ? chosen->constants.problem : std::string());
        return outcome;
    }
    outcome.transformed = TransformItems(outcome.fresh, chosen->constants.A, chosen->constants.B);
    const std::vector<double> theta = CurveAbilities();
    outcome.baseCurves = MakeTestCurves(outcome.base, theta);
    outcome.newCurves = MakeTestCurves(outcome.transformed, theta);
    outcome.equating = TrueScoreEquating(outcome.transformed, outcome.base);
    const PopulationSettings& p = request.population;
    outcome.scoreTable =
        SummedScoreTable(outcome.transformed, NormalGrid(p.points, p.range, p.mean, p.sd));
    return outcome;
}

}  // namespace tarvo::linking
