#include "report/ability_statistics.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <numeric>
#include <utility>

namespace tarvo::report {

namespace {

constexpr double kUndefined = std::numeric_limits<double>::quiet_NaN();
// Abilities closer than this (relative, above 1) are one ability.
constexpr double kEqualAbilities = 1e-9;

}  // namespace

double EmpiricalReliability(std::span<const double> theta, std::span<const double> seetheta,
                            const std::vector<bool>& use) {
    double n = 0, sum = 0, sumErrorSquares = 0;
    for (std::size_t j = 0; j < theta.size(); ++j) {
        if (!use[j] || !std::isfinite(theta[j]) || !std::isfinite(seetheta[j]) || seetheta[j] < 0) {
            continue;
        }
        n += 1;
        sum += theta[j];
        sumErrorSquares += seetheta[j] * seetheta[j];
    }
    if (n < 2) return kUndefined;
    const double mean = sum / n;
    double variance = 0;
    for (std::size_t j = 0; j < theta.size(); ++j) {
        if (!use[j] || !std::isfinite(theta[j]) || !std::isfinite(seetheta[j]) || seetheta[j] < 0) {
            continue;
        }
        variance += (theta[j] - mean) * (theta[j] - mean) / n;
    }
    const double total = variance + sumErrorSquares / n;
    if (!(total > 0)) return kUndefined;
    return variance / total;
}

int RawScoreOrderInversions(std::span<const double> theta, std::span<const std::int32_t> rawScore,
                            std::span<const std::int32_t> nvalid) {
    // (valid responses, raw score) -> sum of theta and count; ordered, so the
    // groups of one valid count follow each other by rising raw score.
    std::map<std::pair<std::int32_t, std::int32_t>, std::pair<double, double>> groups;
    for (std::size_t j = 0; j < theta.size(); ++j) {
        if (nvalid[j] == 0 || !std::isfinite(theta[j])) continue;
        auto& [sum, count] = groups[{nvalid[j], rawScore[j]}];
        sum += theta[j];
        count += 1;
    }
    std::vector<std::pair<std::int32_t, double>> means;  // valid count, mean theta
    means.reserve(groups.size());
    for (const auto& [key, value] : groups)
        means.emplace_back(key.first, value.first / value.second);
    int inversions = 0;
    for (std::size_t x = 0; x < means.size(); ++x) {
        for (std::size_t y = x + 1; y < means.size() && means[y].first == means[x].first; ++y) {
            if (means[y].second < means[x].second) ++inversions;
        }
    }
    return inversions;
}

AbilityGroups AbilityGroupsOf(std::span<const double> theta, std::span<const std::int32_t> nvalid,
                              std::size_t groupsWanted) {
    std::vector<std::size_t> order;
    order.reserve(theta.size());
    for (std::size_t j = 0; j < theta.size(); ++j) {
        if (nvalid[j] > 0 && std::isfinite(theta[j])) order.push_back(j);
    }
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t x, std::size_t y) { return theta[x] < theta[y]; });
    const std::size_t n = order.size();
    const std::size_t wanted = std::min(groupsWanted, n);
    // The positions where theta rises: a group may end only there, so that
    // equal abilities share their group whatever the rows' order. Equal up
    // to rounding is equal: the same score reached by other patterns (a
    // Rasch EAP, a classic raw score) differs in its last bits.
    const auto rises = [&](std::size_t k) {
        if (k == 0 || k == n) return true;
        const double below = theta[order[k - 1]], above = theta[order[k]];
        return above - below > kEqualAbilities * (1 + std::fabs(above));
    };
    std::vector<std::size_t> cuts{0};
    for (std::size_t g = 1; g < wanted; ++g) {
        const std::size_t even = g * n / wanted;
        std::size_t below = even, above = even;
        while (!rises(below)) --below;
        while (!rises(above)) ++above;
        // The nearer rise; at equal distance the later.
        const std::size_t cut = even - below < above - even ? below : above;
        if (cut > cuts.back() && cut < n) cuts.push_back(cut);
    }
    if (n > 0) cuts.push_back(n);
    AbilityGroups result;
    result.order = std::move(order);
    result.groups = cuts.empty() ? 0 : cuts.size() - 1;
    result.of.assign(theta.size(), -1);
    for (std::size_t g = 0; g < result.groups; ++g) {
        for (std::size_t k = cuts[g]; k < cuts[g + 1]; ++k) {
            result.of[result.order[k]] = static_cast<std::int32_t>(g);
        }
    }
    return result;
}

void FillAbilityGroups(const PersonTable& persons, std::span<const double> theta,
                       std::span<const std::int32_t> nvalid, std::vector<ItemReport>& items) {
    const AbilityGroups grouped = AbilityGroupsOf(theta, nvalid);
    const std::size_t groupCount = grouped.groups;
    const std::size_t itemCount = items.size();

    // Per group and item, walked examinee by examinee along the rows.
    std::vector<double> sumTheta(itemCount * groupCount, 0);
    std::vector<int> valid(itemCount * groupCount, 0), correct(itemCount * groupCount, 0);
    std::vector<double> score(itemCount * groupCount, 0);
    for (const std::size_t j : grouped.order) {
        const auto g = static_cast<std::size_t>(grouped.of[j]);
        const auto row = persons.ResponsesOf(j);
        for (std::size_t i = 0; i < itemCount; ++i) {
            const int isValid = row[i] != kNoResponse;
            const std::size_t at = g * itemCount + i;
            sumTheta[at] += isValid * theta[j];
            valid[at] += isValid;
            correct[at] += row[i] == kCorrect;
            score[at] += isValid * row[i];
        }
    }
    for (std::size_t i = 0; i < itemCount; ++i) {
        ItemReport& item = items[i];
        item.groupTheta.assign(groupCount, kUndefined);
        item.groupProportion.assign(groupCount, kUndefined);
        item.groupCount.assign(groupCount, 0);
        item.groupMeanScore.assign(groupCount, kUndefined);
        for (std::size_t g = 0; g < groupCount; ++g) {
            const std::size_t at = g * itemCount + i;
            item.groupCount[g] = valid[at];
            if (valid[at] == 0) continue;
            item.groupTheta[g] = sumTheta[at] / valid[at];
            item.groupProportion[g] = static_cast<double>(correct[at]) / valid[at];
            item.groupMeanScore[g] = score[at] / valid[at];
        }
    }
}

}  // namespace tarvo::report
