#include "report/report_warnings.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>

#include "core/polytomous_models.h"
#include "report/plural.h"

namespace tarvo::report {

namespace {

constexpr std::uint32_t kBoundFlags = kItemAAtBound | kItemBAtBound | kItemCAtBound | kItemSeAtCap;
constexpr std::uint32_t kAlike = kItemAllCorrect | kItemAllWrong;
constexpr std::uint32_t kNotEstimableFlags = kItemNotEstimated | kAlike | kItemTooFewResponses;

std::string Number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

std::string Scientific(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1e", value);
    return text;
}

// "3, 7 and 12", or "3, 7, ... and 5 more" past kListedItems.
std::string ItemList(const std::vector<int>& numbers) {
    std::string text;
    const std::size_t listed = std::min(numbers.size(), kListedItems);
    for (std::size_t k = 0; k < listed; ++k) {
        if (k > 0) text += (k + 1 == listed && listed == numbers.size()) ? " and " : ", ";
        text += std::to_string(numbers[k]);
    }
    if (listed < numbers.size())
        text += " and " + std::to_string(numbers.size() - listed) + " more";
    return text;
}

// "item 3" or "items 3, 7 and 12".
std::string Listed(const std::vector<int>& numbers) {
    return (numbers.size() == 1 ? "item " : "items ") + ItemList(numbers);
}

// Items whose flags meet mask and none of except.
std::vector<int> ItemsFlagged(const RunReport& report, std::uint32_t mask, std::uint32_t except) {
    std::vector<int> numbers;
    for (const ItemReport& item : report.itemRows) {
        if ((item.flags & mask) && !(item.flags & except)) numbers.push_back(item.seqItem);
    }
    return numbers;
}

}  // namespace

std::vector<std::string> WarningsFor(const RunReport& report) {
    std::vector<std::string> warnings;
    const bool cycles = report.loop.step == LoopStep::EmCycle;
    const char* pass = cycles ? "cycle" : "pass";
    const char* passes = cycles ? "cycles" : "passes";
    if (report.itemParametersMissing) {
        warnings.push_back(
            "No item parameters were read: every estimate uses a = b = c = 0. Name an item "
            "parameter file that exists and can be read, and run again.");
    }
    if (report.loop.end == LoopEnd::PassLimit) {
        warnings.push_back(
            "The estimation did not settle within its limit of " +
            Plural(static_cast<std::size_t>(std::max(report.loop.passLimit, 0)), pass, passes) +
            " (last change " + Scientific(report.loop.lastChange) +
            "), so the estimates are those of the last " + std::string(pass) +
            ": check the flagged items and examinees, and do not trust the "
            "abilities before the model or the data are mended.");
    }
    if (report.end == RunEnd::Stopped) {
        warnings.push_back(
            "The run was stopped before its end, so the result holds unfinished estimates: "
            "run it again to the end before using them.");
    }
    if (report.rawScoreOrderInversions > 0) {
        warnings.push_back(Plural(static_cast<std::size_t>(report.rawScoreOrderInversions),
                                  "pair of raw-score groups has",
                                  "pairs of raw-score groups have") +
                           " mean abilities in the wrong order (a "
                           "higher raw score with a lower theta), which a 1PL model cannot "
                           "give: do not use these abilities; run again without standardising "
                           "theta and check the items at a bound.");
    }
    if (report.errorForm == ErrorForm::ItemBlocks) {
        warnings.push_back(
            "The items' standard errors are approximate: with more than 400 items each item's "
            "own block of the observed information was inverted, leaving out the terms between "
            "items, which makes the errors smaller than the whole information's (SE(b) by a "
            "few percent, up to about a quarter): widen intervals built from them.");
    } else if (report.errorForm == ErrorForm::CrossProduct) {
        warnings.push_back(
            "The items' standard errors are approximate: they were formed from the "
            "cross-products of the examinees' gradients (--standard-errors crossproduct), not "
            "from the observed information, which the default (louis) gives.");
    } else if (report.errorForm == ErrorForm::NotFormed) {
        warnings.push_back(
            "No standard errors were formed (--standard-errors none): every item's error is "
            "-1; run with --standard-errors louis for them.");
    } else if (report.errorForm == ErrorForm::OwnCurvature) {
        warnings.push_back(
            "The items' standard errors are approximate: the observed information was not "
            "positive definite (a parameter the data do not identify), so each error is from "
            "its parameter's own curvature alone, which makes it smaller than it is: check the "
            "flagged items and do not build intervals from these errors.");
    }
    const std::vector<int> negative = ItemsFlagged(report, kItemNegativeDiscrimination, 0);
    if (!negative.empty()) {
        // Flagged by the item-rest correlation, or else by the slope alone.
        std::vector<int> byCorrelation, bySlope;
        for (const ItemReport& item : report.itemRows) {
            if (!(item.flags & kItemNegativeDiscrimination)) continue;
            (item.itemRest < 0 ? byCorrelation : bySlope).push_back(item.seqItem);
        }
        const auto has = [](const std::vector<int>& items) {
            return items.size() == 1 ? " has " : " have ";
        };
        std::string which;
        if (!byCorrelation.empty())
            which = Listed(byCorrelation) + has(byCorrelation) + "an item-rest correlation below 0";
        if (!byCorrelation.empty() && !bySlope.empty()) which += " and ";
        if (!bySlope.empty())
            which += Listed(bySlope) + (byCorrelation.empty() ? has(bySlope) : " ") +
                     (bySlope.size() == 1 ? "a slope" : "slopes") + " estimated below 0";
        const bool one = negative.size() == 1;
        warnings.push_back(Plural(negative.size(), "item discriminates", "items discriminate") +
                           " negatively: " + which +
                           ", so those who do well on the others tend to fail " +
                           (one ? "it" : "them") + ": check the key, then the wording, before " +
                           "using " + (one ? "it." : "them."));
    }
    const std::vector<int> noMaximum = ItemsFlagged(report, kItemNoMaximum, kNotEstimableFlags);
    if (!noMaximum.empty()) {
        const bool one = noMaximum.size() == 1;
        warnings.push_back(
            "The likelihood has no maximum: the slope of " + Listed(noMaximum) +
            " kept growing until the search stopped " + (one ? "it" : "them") + " at " +
            Number(report.judgement.slopeReach) + " (a step no ability grid tells from a steeper " +
            "one), so " + (one ? "its" : "their") +
            " estimates are where the search ended, not a maximum: give a a prior (--prior-a) "
            "or fit a model with fewer parameters.");
    }
    const std::vector<int> flat = ItemsFlagged(report, kItemNotDiscriminating, kNotEstimableFlags);
    if (!flat.empty()) {
        const bool one = flat.size() == 1;
        warnings.push_back(
            Plural(flat.size(), "item does", "items do") + " not discriminate: b is not defined (" +
            Listed(flat) + ": " + (one ? "its slope is" : "their slopes are") + " nearer 0 than " +
            Number(kLeastDiscrimination) +
            ", so b = -d/a is no location on the scale and the result file holds "
            "it only as far as its columns reach); " +
            (one ? "the item tells" : "these items tell") +
            " next to nothing about ability: review or drop " + (one ? "it." : "them."));
    }
    const std::vector<int> bound = ItemsFlagged(
        report, kBoundFlags, kNotEstimableFlags | kItemNoMaximum | kItemNotDiscriminating);
    if (!bound.empty()) {
        warnings.push_back(Plural(bound.size(), "item has", "items have") +
                           " an estimate or standard error at a bound (" + Listed(bound) +
                           "): a value at a bound is where the search stopped, not an "
                           "estimate, so do not use it; review or drop these items.");
    }
    // Items that could not be estimated, by their cause, each item under
    // the first cause it has.
    const std::vector<int> alike = ItemsFlagged(report, kAlike, 0);
    if (!alike.empty()) {
        warnings.push_back(Plural(alike.size(), "item was", "items were") +
                           " answered alike by everyone who answered (" + Listed(alike) +
                           ": every valid response correct, or every one wrong), so " +
                           (alike.size() == 1 ? "it tells" : "they tell") +
                           " nothing about ability and cannot be estimated: drop " +
                           (alike.size() == 1 ? "it." : "them."));
    }
    const std::vector<int> few = ItemsFlagged(report, kItemTooFewResponses, kAlike);
    if (!few.empty()) {
        const int fewest = report.judgement.fewestResponses;
        warnings.push_back(
            fewest <= 1 ? Plural(few.size(), "item has", "items have") + " no valid response (" +
                              Listed(few) + "), so nothing could be estimated for " +
                              (few.size() == 1 ? "it" : "them") + ": drop " +
                              (few.size() == 1 ? "it" : "them") + " or collect responses."
                        : Plural(few.size(), "item has", "items have") + " fewer than " +
                              std::to_string(fewest) + " valid responses (" + Listed(few) +
                              "), too few to estimate: collect more responses or drop " +
                              (few.size() == 1 ? "it." : "them."));
    }
    const std::vector<int> notEstimated =
        ItemsFlagged(report, kItemNotEstimated, kAlike | kItemTooFewResponses);
    if (!notEstimated.empty()) {
        warnings.push_back(
            Plural(notEstimated.size(), "item", "items") + " could not be estimated (" +
            Listed(notEstimated) + "): the responses gave no information about " +
            (notEstimated.size() == 1 ? "its" : "their") + " parameters; drop " +
            (notEstimated.size() == 1 ? "it" : "them") + " or collect more responses.");
    }
    std::size_t noValid = 0;
    for (const PersonReport& person : report.personRows) {
        if (person.flags & kPersonNoValid) ++noValid;
    }
    if (noValid > 0) {
        warnings.push_back(Plural(noValid, "examinee has", "examinees have") +
                           " no valid response, so their abilities carry no information: "
                           "remove them from the response file.");
    }
    if (report.standardized && report.model == "1pl" && std::isfinite(report.thetaSpread) &&
        report.thetaSpread < kSmallThetaSpread) {
        char spread[32];
        std::snprintf(spread, sizeof spread, "%.3f", report.thetaSpread);
        warnings.push_back(std::string("Theta was standardised in a 1PL mode although its "
                                       "spread was only ") +
                           spread +
                           ", so the scale of b depends on the data: answer No to the "
                           "standardise question to keep b on the logit metric.");
    }
    return warnings;
}

}  // namespace tarvo::report
