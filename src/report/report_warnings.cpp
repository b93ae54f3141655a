#include "report/report_warnings.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>

namespace tarvo::report {

namespace {

constexpr std::uint32_t kBoundFlags = kItemAAtBound | kItemBAtBound | kItemCAtBound | kItemSeAtCap;
constexpr std::uint32_t kNotEstimableFlags =
    kItemNotEstimated | kItemAllCorrect | kItemAllWrong | kItemTooFewResponses;

std::string Scientific(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1e", value);
    return text;
}

std::string Plural(std::size_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
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
    const bool mml = report.method == "mml";
    const std::string pass = mml ? "cycle" : "pass";
    const std::string passes = mml ? "cycles" : "passes";
    if (report.loop.end == LoopEnd::PassLimit) {
        warnings.push_back("The estimation did not settle within its limit of " +
                           std::to_string(report.loop.passLimit) + " " + passes + " (last change " +
                           Scientific(report.loop.lastChange) +
                           "), so the estimates are those of the last " + pass +
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
    const std::vector<int> bound = ItemsFlagged(report, kBoundFlags, kNotEstimableFlags);
    if (!bound.empty()) {
        warnings.push_back(Plural(bound.size(), "item has", "items have") +
                           " an estimate or standard error at a bound (" +
                           (bound.size() == 1 ? "item " : "items ") + ItemList(bound) +
                           "): a value at a bound is where the search stopped, not an "
                           "estimate, so do not use it; review or drop these items.");
    }
    const std::vector<int> notEstimable = ItemsFlagged(report, kNotEstimableFlags, 0);
    if (!notEstimable.empty()) {
        warnings.push_back(
            Plural(notEstimable.size(), "item", "items") + " could not be estimated (" +
            (notEstimable.size() == 1 ? "item " : "items ") + ItemList(notEstimable) +
            "): all valid responses are equal, or there are fewer than 10, or "
            "the item gave no information; drop them or collect more responses.");
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
