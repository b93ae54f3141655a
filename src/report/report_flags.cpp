#include "report/report_flags.h"

#include <cmath>
#include <cstdio>
#include <utility>

#include "core/estimate_bounds.h"
#include "core/model_constants.h"
#include "core/modes.h"
#include "core/polytomous_models.h"

namespace tarvo::report {

namespace {

constexpr std::pair<std::uint32_t, const char*> kItemFlagNames[] = {
    {kItemAAtBound, "a_at_bound"},
    {kItemBAtBound, "b_at_bound"},
    {kItemCAtBound, "c_at_bound"},
    {kItemSeAtCap, "se_at_cap"},
    {kItemNotEstimated, "not_estimated"},
    {kItemAllCorrect, "all_correct"},
    {kItemAllWrong, "all_wrong"},
    {kItemTooFewResponses, "too_few_responses"},
    {kItemNegativeDiscrimination, "negative_discrimination"},
    {kItemMisfit, "misfit"},
    {kItemLocalDependence, "local_dependence"},
    {kItemNotDiscriminating, "not_discriminating"},
    {kItemNoMaximum, "no_maximum"},
};

constexpr std::pair<std::uint32_t, const char*> kPersonFlagNames[] = {
    {kPersonAllCorrect, "all_correct"},
    {kPersonAllWrong, "all_wrong"},
    {kPersonNoValid, "no_valid_response"},
    {kPersonThetaAtBound, "theta_at_bound"},
    {kPersonMisfit, "misfit"},
};

template <std::size_t N>
std::vector<std::string> NamesOf(std::uint32_t flags,
                                 const std::pair<std::uint32_t, const char*> (&names)[N]) {
    std::vector<std::string> result;
    for (const auto& [bit, name] : names) {
        if (flags & bit) result.emplace_back(name);
    }
    return result;
}

// On a bound: at an end of the range (within slack) or beyond it.
bool OnBound(double value, const JudgedParameter& p) {
    return value <= p.lowest + p.slack || value >= p.highest - p.slack;
}

std::string Number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

std::string RangeOf(const JudgedParameter& p) {
    return "(" + Number(p.lowest) + " or " + Number(p.highest) + ")";
}

}  // namespace

EstimateJudgement ClassicJudgement(int mode) {
    EstimateJudgement judgement;
    judgement.fewestResponses = kFewestResponsesForFit;
    judgement.a = {false, kABelowLower, kAUpper, 0};
    judgement.b = {false, -kBBound, kBBound, 0};
    judgement.c = {false, kCBelowLower, kCAboveUpper, 0};
    judgement.theta = {false, -kThetaBound, kThetaBound, 0};
    if (!IsMode(mode)) return judgement;
    const ModeRules& rules = RulesOf(mode);
    judgement.a.estimated = rules.estimatesItems() && rules.estimatesA;
    judgement.b.estimated = rules.estimatesItems();
    judgement.c.estimated = rules.estimatesItems() && rules.estimatesC;
    judgement.theta.estimated = rules.estimatesTheta();
    return judgement;
}

EstimateJudgement MarginalJudgement(const MarginalSettings& settings, double populationMean,
                                    double populationSd) {
    const MarginalModelRules& rules = RulesOf(settings.model);
    const Priors priors = PriorsFor(settings);
    EstimateJudgement judgement;
    judgement.fewestResponses = 1;
    judgement.boundsExplainMissingErrors = true;
    // Both engines move a right/wrong item's slope and intercept free of
    // sign; a polytomous run's items keep c on its own range.
    const bool lines = settings.polytomous == PolytomousModel::None;
    const EstimateRange a = rules.a;
    const EstimateRange b = rules.b;
    const EstimateRange c = lines ? rules.c : kMarginalC;
    const double lowestC = priors.c.on && rules.priorOnC ? kLowestCWithPrior : c.lowest;
    judgement.a = {rules.free.a || rules.commonSlope, a.lowest, a.highest, kOnBound};
    judgement.b = {rules.free.b, b.lowest, b.highest, kOnBound};
    judgement.c = {rules.free.c, lowestC, c.highest, kOnBound};
    if (rules.free.a) {
        judgement.smallestLocatingSlope = kSmallestLocatingSlope;
        judgement.slopeReach = kSlopeReach;
    }
    if (settings.scoring == MarginalScoring::Ml) {
        judgement.theta = {true, -kThetaBound, kThetaBound, 0};
    } else {
        // The scores stay inside the quadrature, which follows the population.
        const double reach = settings.quadratureRange * populationSd;
        judgement.theta = {true, populationMean - reach, populationMean + reach, kOnBound};
    }
    return judgement;
}

EstimateJudgement PolytomousJudgement(const MarginalSettings& settings, double populationMean,
                                      double populationSd) {
    const PolytomousModelRules& rules = RulesOf(settings.polytomous);
    EstimateJudgement judgement = MarginalJudgement(settings, populationMean, populationSd);
    // The estimator moves the slope and the intercepts free of any bound:
    // neither a nor a threshold has an end to stop at. Items scored 0..m are
    // judged not discriminating by their own rule (PolytomousItemFlagsOf).
    judgement.a = {rules.slopeFree || rules.commonSlope, -HUGE_VAL, HUGE_VAL, 0};
    judgement.smallestLocatingSlope = judgement.slopeReach = 0;
    judgement.b = {true, -HUGE_VAL, HUGE_VAL, 0};
    judgement.c.estimated = false;
    return judgement;
}

const EstimateJudgement& JudgementOf(const RunReport& report, const ItemReport& item) {
    if (item.categories > 2) {
        return report.polytomousJudgement ? *report.polytomousJudgement : report.judgement;
    }
    for (const auto& [model, judgement] : report.itemModelJudgements) {
        if (model == item.model) return judgement;
    }
    return report.judgement;
}

bool EstimatesTheta(int mode) { return IsMode(mode) && RulesOf(mode).estimatesTheta(); }

std::uint32_t ItemFlagsOf(const ItemReport& item, const EstimateJudgement& judgement,
                          bool withoutErrors) {
    std::uint32_t flags = 0;
    const bool slopeJudged = judgement.a.estimated && !item.held && item.categories <= 2;
    const double slopeSize = std::fabs(item.a);
    const bool noMaximum =
        slopeJudged && judgement.slopeReach > 0 && slopeSize >= judgement.slopeReach * (1 - 1e-9);
    // stopped: the search ended the parameter where it formed no error.
    auto judge = [&](const JudgedParameter& p, double value, double se, std::uint32_t boundFlag,
                     bool stopped) {
        if (!p.estimated || item.held) return;
        const bool onBound = OnBound(value, p);
        if (se == kNotEstimated && !stopped && !(onBound && judgement.boundsExplainMissingErrors)) {
            if (!withoutErrors) flags |= kItemNotEstimated;
            return;
        }
        if (se >= kStandardErrorCap) flags |= kItemSeAtCap;
        if (onBound) flags |= boundFlag;
    };
    judge(judgement.a, item.a, item.seea, kItemAAtBound, noMaximum);
    judge(judgement.b, item.b, item.seeb, kItemBAtBound, false);
    judge(judgement.c, item.c, item.seec, kItemCAtBound, false);
    if (item.nobs > 0 && item.pValue == 1) flags |= kItemAllCorrect;
    if (item.nobs > 0 && item.pValue == 0) flags |= kItemAllWrong;
    if (item.nobs < judgement.fewestResponses) flags |= kItemTooFewResponses;
    // A slope estimated below 0 is a finding, as a negative item-rest r is:
    // the model has the item discriminate the other way round (a key or a
    // reverse-keyed wording). Nearer 0 than kLeastDiscrimination its sign
    // says nothing: the item does not discriminate.
    const bool slopeEstimated = judgement.a.estimated && !item.held;
    if (item.itemRest < 0 || (slopeEstimated && item.a <= -kLeastDiscrimination))
        flags |= kItemNegativeDiscrimination;
    if (slopeJudged && slopeSize < judgement.smallestLocatingSlope) flags |= kItemNotDiscriminating;
    if (noMaximum) flags |= kItemNoMaximum;
    return flags;
}

std::uint32_t PolytomousItemFlagsOf(const ItemReport& item, const std::vector<double>& thresholds,
                                    const EstimateJudgement& judgement, bool withoutErrors) {
    std::uint32_t flags = ItemFlagsOf(item, judgement, withoutErrors);
    if (!judgement.b.estimated || item.held) return flags;
    for (const double b : thresholds) {
        if (OnBound(b, judgement.b)) flags |= kItemBAtBound;
    }
    // A slope this near 0 leaves b = -d / (D a) beyond any ability: its
    // thresholds and their errors say nothing, the item does not
    // discriminate.
    if (judgement.a.estimated && std::abs(item.a) < kLeastDiscrimination) {
        flags &= ~(kItemBAtBound | kItemSeAtCap);
        flags |= kItemNotDiscriminating;
    }
    return flags;
}

std::uint32_t PersonFlagsOf(const PersonReport& person, const EstimateJudgement& judgement) {
    std::uint32_t flags = 0;
    if (person.nvalid == 0) {
        flags |= kPersonNoValid;
    } else if (person.rawScore == (person.maxScore >= 0 ? person.maxScore : person.nvalid)) {
        flags |= kPersonAllCorrect;
    } else if (person.rawScore == 0) {
        flags |= kPersonAllWrong;
    }
    const JudgedParameter& theta = judgement.theta;
    if (theta.estimated && !(person.theta > theta.lowest + theta.slack &&
                             person.theta < theta.highest - theta.slack)) {
        flags |= kPersonThetaAtBound;
    }
    return flags;
}

std::vector<std::string> ItemFlagNames(std::uint32_t flags) {
    return NamesOf(flags, kItemFlagNames);
}

std::vector<std::string> PersonFlagNames(std::uint32_t flags) {
    return NamesOf(flags, kPersonFlagNames);
}

std::string ItemFlagReason(std::uint32_t flag, const EstimateJudgement& judgement) {
    switch (flag) {
        case kItemAAtBound:
            return "a stopped at a bound of its range " + RangeOf(judgement.a) +
                   ": the data do not determine it.";
        case kItemBAtBound:
            return "b stopped at a bound of its range " + RangeOf(judgement.b) +
                   ": the item is far too easy or too hard for these examinees.";
        case kItemCAtBound:
            return "c stopped at a bound of its range " + RangeOf(judgement.c) + ".";
        case kItemSeAtCap:
            return "The standard error reached its cap of 99: the data do not determine the "
                   "estimate.";
        case kItemNotEstimated:
            return "-1 means this parameter was not estimated.";
        case kItemAllCorrect:
            return "Every valid response is correct: the item tells nothing about ability.";
        case kItemAllWrong:
            return "Every valid response is wrong: the item tells nothing about ability.";
        case kItemTooFewResponses:
            return judgement.fewestResponses <= 1
                       ? std::string("No valid response: nothing to estimate the item from.")
                       : "Fewer than " + std::to_string(judgement.fewestResponses) +
                             " valid responses: too few to estimate the item.";
        case kItemNegativeDiscrimination:
            return "The item discriminates negatively (its item-rest correlation or its "
                   "estimated slope is below 0): those who do well on the others tend to fail "
                   "it; check its key.";
        case kItemNotDiscriminating:
            return "The item does not discriminate: b is not defined (|a| < " +
                   Number(kLeastDiscrimination) +
                   ", so b = -d/a lies beyond any ability and its error says nothing).";
        case kItemNoMaximum:
            return "The likelihood has no maximum: the slope kept growing until the search "
                   "stopped it at " +
                   Number(judgement.slopeReach) +
                   ", a step no ability grid tells from a steeper one; a prior on a gives it "
                   "one.";
        default:
            break;
    }
    return {};
}

std::string PersonFlagReason(std::uint32_t flag, const EstimateJudgement& judgement) {
    switch (flag) {
        case kPersonAllCorrect:
            return "Every valid response is correct: the ability has no finite estimate.";
        case kPersonAllWrong:
            return "Every valid response is wrong: the ability has no finite estimate.";
        case kPersonNoValid:
            return "No valid response: nothing to estimate from.";
        case kPersonThetaAtBound:
            return "theta is at a bound of its range " + RangeOf(judgement.theta) + " or beyond.";
        default:
            break;
    }
    return {};
}

}  // namespace tarvo::report
