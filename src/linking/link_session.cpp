#include "linking/link_session.h"

#include <algorithm>
#include <array>

#include "linking/forms/form_values.h"
#include "linking/forms/transform.h"

namespace tarvo::linking {

const char* LinkPhaseName(LinkPhase phase) {
    switch (phase) {
        case LinkPhase::Reading:
            return "reading the forms";
        case LinkPhase::Methods:
            return "linking";
        case LinkPhase::Errors:
            return "errors";
        case LinkPhase::Bootstrap:
            return "bootstrap";
        case LinkPhase::Drift:
            return "drift screen";
        case LinkPhase::Tables:
            break;
    }
    return "tables";
}

const MethodResult* LinkOutcome::Chosen(LinkMethod method) const {
    for (const MethodResult& result : Final()) {
        if (result.method == method) return &result;
    }
    return nullptr;
}

namespace {

// The shares of LinkEveryMethod's step: the moment methods cost next to
// nothing, each characteristic-curve method about as much as the other.
constexpr std::array<double, 5> kMethodShares = {0, 0.01, 0.02, 0.51, 1};
// Of a method's share, with the bootstrap: its constants, then the resamples.
constexpr double kConstantsShare = 0.1;

// A watch over [from, to] of one step that tells progress its phase: the
// curve methods report their minimum in the first half and their errors
// in the second (CharacteristicCurveLink).
StepWatch MethodWatch(const LinkProgress& progress, const StopPoll& stop, LinkPhase whole,
                      bool split, double from, double to) {
    return StepWatch(
        [&progress, whole, split, from, to](double f) {
            if (!progress) return;
            const LinkPhase phase = split && f >= 0.5 ? LinkPhase::Errors : whole;
            progress(phase, from + (to - from) * f);
        },
        stop);
}

}  // namespace

std::vector<MethodResult> LinkEveryMethod(const AnchorSet& set, const LinkSettings& settings,
                                          int bootstrap, std::uint64_t seed,
                                          const LinkProgress& progress, const StopPoll& stop) {
    std::vector<MethodResult> results;
    for (std::size_t m = 0; m < std::size(kLinkMethods); ++m) {
        const LinkMethod method = kLinkMethods[m];
        const double from = kMethodShares[m], to = kMethodShares[m + 1];
        const double middle = bootstrap > 0 ? from + kConstantsShare * (to - from) : to;
        MethodResult result;
        result.method = method;
        if (stop && stop()) {
            result.constants.problem = kStoppedProblem;
        } else {
            const StepWatch watch =
                MethodWatch(progress, stop, LinkPhase::Methods, settings.deltaErrors, from, middle);
            result.constants = Link(method, set, settings, watch);
        }
        if (bootstrap > 0 && result.constants.ok) {
            const StepWatch watch =
                MethodWatch(progress, stop, LinkPhase::Bootstrap, false, middle, to);
            const BootstrapErrors errors = Bootstrap(method, set, settings, bootstrap, seed, watch);
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

// The request's progress with the fractions kept from going back, and its
// stop.
class Steps {
  public:
    explicit Steps(const LinkRequest& request) : request_(request) {}

    void At(LinkPhase phase, double fraction) {
        reached_ = std::max(reached_, fraction);
        phase_ = phase;
        if (request_.progress) request_.progress(phase, reached_);
    }
    LinkPhase Phase() const { return phase_; }
    bool Stopped() const { return request_.stop && request_.stop(); }

    // Reports of a step over [from, to] of the whole link.
    LinkProgress Over(double from, double to) {
        return [this, from, to](LinkPhase phase, double f) { At(phase, from + (to - from) * f); };
    }
    StepWatch Watch(LinkPhase phase, double from, double to) {
        return StepWatch([this, phase, from, to](double f) { At(phase, from + (to - from) * f); },
                         request_.stop);
    }

  private:
    const LinkRequest& request_;
    LinkPhase phase_ = LinkPhase::Reading;
    double reached_ = 0;
};

// The shares of the whole link: the forms read, the first link, the relink
// (when drifting items are to be dropped), the tables.
constexpr double kReadEnd = 0.05, kTablesFrom = 0.75;

bool EndedByStop(Steps& steps, LinkOutcome& outcome) {
    if (!steps.Stopped()) return false;
    outcome.stopped = true;
    outcome.error = std::string("the link was stopped (") + LinkPhaseName(steps.Phase()) + ")";
    return true;
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
    Steps steps(request);
    steps.At(LinkPhase::Reading, 0);
    auto base = ReadForm(request.basePath, request.baseForm, request.baseColumns, request.baseModel,
                         request.stop, outcome.error);
    if (EndedByStop(steps, outcome) || !base) return outcome;
    steps.At(LinkPhase::Reading, kReadEnd / 2);
    auto fresh = ReadForm(request.newPath, request.newForm, request.newColumns, request.newModel,
                          request.stop, outcome.error);
    if (EndedByStop(steps, outcome) || !fresh) return outcome;
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
        if (EndedByStop(steps, outcome)) return outcome;
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
    steps.At(LinkPhase::Methods, kReadEnd);

    LinkSettings settings;
    settings.criterion = request.criterion;
    // The bootstrap's errors take the place of the delta method's.
    settings.deltaErrors = request.bootstrap == 0;
    settings.slopeFixed =
        outcome.base.model == FormModel::OnePL && outcome.fresh.model == FormModel::OnePL;
    outcome.slopeFixed = settings.slopeFixed;
    const double firstEnd = request.dropDrifting ? (kReadEnd + kTablesFrom) / 2 : kTablesFrom;
    outcome.first = LinkEveryMethod(outcome.anchors, settings, request.bootstrap, request.seed,
                                    steps.Over(kReadEnd, firstEnd), request.stop);
    if (EndedByStop(steps, outcome)) return outcome;

    steps.At(LinkPhase::Drift, firstEnd);
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
        outcome.relinked = LinkEveryMethod(keptSet, settings, request.bootstrap, request.seed,
                                           steps.Over(firstEnd, kTablesFrom), request.stop);
        if (EndedByStop(steps, outcome)) return outcome;
    }

    const MethodResult* chosen = outcome.Chosen(request.chosen);
    if (chosen == nullptr || !chosen->constants.ok) {
        outcome.error = std::string("the ") + LinkMethodName(request.chosen) +
                        " method found no constants: " +
                        (chosen != nullptr ? chosen->constants.problem : std::string());
        return outcome;
    }
    steps.At(LinkPhase::Tables, kTablesFrom);
    outcome.transformed = TransformItems(outcome.fresh, chosen->constants.A, chosen->constants.B);
    const std::vector<double> theta = CurveAbilities();
    outcome.baseCurves = MakeTestCurves(outcome.base, theta);
    outcome.newCurves = MakeTestCurves(outcome.transformed, theta);
    // The equating and the score table share the tables' step by their cost.
    const double equated = kTablesFrom + 0.4 * (1 - kTablesFrom);
    outcome.equating = TrueScoreEquating(outcome.transformed, outcome.base,
                                         steps.Watch(LinkPhase::Tables, kTablesFrom, equated));
    if (EndedByStop(steps, outcome)) return outcome;
    const PopulationSettings& p = request.population;
    outcome.scoreTable =
        SummedScoreTable(outcome.transformed, NormalGrid(p.points, p.range, p.mean, p.sd),
                         steps.Watch(LinkPhase::Tables, equated, 1));
    if (EndedByStop(steps, outcome)) return outcome;
    steps.At(LinkPhase::Tables, 1);
    return outcome;
}

}  // namespace tarvo::linking
