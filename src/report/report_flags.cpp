#include "report/report_flags.h"

#include <cmath>
#include <utility>

#include "core/estimate_bounds.h"
#include "core/model_constants.h"
#include "core/modes.h"

namespace tarvo::report {

namespace {

constexpr std::pair<std::uint32_t, const char*> kItemFlagNames[] = {
    {kItemAAtBound, "a_at_bound"},        {kItemBAtBound, "b_at_bound"},
    {kItemCAtBound, "c_at_bound"},        {kItemSeAtCap, "se_at_cap"},
    {kItemNotEstimated, "not_estimated"}, {kItemAllCorrect, "all_correct"},
    {kItemAllWrong, "all_wrong"},         {kItemTooFewResponses, "too_few_responses"},
};

constexpr std::pair<std::uint32_t, const char*> kPersonFlagNames[] = {
    {kPersonAllCorrect, "all_correct"},
    {kPersonAllWrong, "all_wrong"},
    {kPersonNoValid, "no_valid_response"},
    {kPersonThetaAtBound, "theta_at_bound"},
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

}  // namespace

EstimatedParameters EstimatedIn(int mode) {
    if (!IsMode(mode) || !RulesOf(mode).estimatesItems()) return {};
    const ModeRules& rules = RulesOf(mode);
    return {rules.estimatesA, true, rules.estimatesC};
}

bool EstimatesTheta(int mode) { return IsMode(mode) && RulesOf(mode).estimatesTheta(); }

std::uint32_t ItemFlagsOf(const ItemReport& item, int mode) {
    const EstimatedParameters estimated = EstimatedIn(mode);
    std::uint32_t flags = 0;
    auto judge = [&](bool isEstimated, double se, bool atBound, std::uint32_t boundFlag) {
        if (!isEstimated) return;
        if (se == kNotEstimated) {
            flags |= kItemNotEstimated;
            return;
        }
        if (se >= kStandardErrorCap) flags |= kItemSeAtCap;
        if (atBound) flags |= boundFlag;
    };
    judge(estimated.a, item.seea, item.a >= kAUpper || item.a <= kABelowLower, kItemAAtBound);
    judge(estimated.b, item.seeb, std::fabs(item.b) >= kBBound, kItemBAtBound);
    judge(estimated.c, item.seec, item.c >= kCAboveUpper || item.c <= kCBelowLower, kItemCAtBound);
    if (item.nobs > 0 && item.pValue == 1) flags |= kItemAllCorrect;
    if (item.nobs > 0 && item.pValue == 0) flags |= kItemAllWrong;
    if (item.nobs < kFewestResponsesForFit) flags |= kItemTooFewResponses;
    return flags;
}

std::uint32_t PersonFlagsOf(const PersonReport& person, int mode) {
    std::uint32_t flags = 0;
    if (person.nvalid == 0) {
        flags |= kPersonNoValid;
    } else if (person.rawScore == person.nvalid) {
        flags |= kPersonAllCorrect;
    } else if (person.rawScore == 0) {
        flags |= kPersonAllWrong;
    }
    if (EstimatesTheta(mode) && !(std::fabs(person.theta) < kThetaBound)) {
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

}  // namespace tarvo::report
