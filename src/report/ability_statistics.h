#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "core/run_tables.h"
#include "report/run_report.h"

namespace tarvo::report {

// The empirical reliability of the abilities: var(theta) / (var(theta) +
// mean of seetheta squared), variance with divisor n, over the examinees
// that are used (use[j]) and have a finite theta and a standard error of at
// least 0. NaN with fewer than two such examinees or no spread at all.
double EmpiricalReliability(std::span<const double> theta, std::span<const double> seetheta,
                            const std::vector<bool>& use);

// Pairs of raw-score groups whose mean abilities are in the wrong order: a
// group with the higher raw score has the lower mean theta. Examinees are
// grouped by raw score within the same number of valid responses (with
// missing responses only examinees who answered as many items compare), and
// only groups of the same count are paired. Examinees with no valid response
// or a theta that is not finite are left out.
int RawScoreOrderInversions(std::span<const double> theta, std::span<const std::int32_t> rawScore,
                            std::span<const std::int32_t> nvalid);

// Observed proportions correct for the fit plot: the examinees with a finite
// theta and at least one valid response are sorted by theta and cut into at
// most min(10, n) groups of about equal size. A group ends only where theta
// rises (by more than 1e-9, relative above 1), so examinees of equal theta
// share one and the groups do not depend
// on the rows' order: each of the nine cuts of equal sizes (g n / 10) moves
// to the nearer rise (at equal distance the later), and cuts that meet are
// one, leaving fewer groups. Per item and group: the mean theta, the proportion correct and
// the mean score over the group's valid responses to the item, and their
// count (NaN when the count is 0). Fills groupTheta, groupProportion,
// groupMeanScore and groupCount of every row of items, which correspond to
// the table's items.
void FillAbilityGroups(const PersonTable& persons, std::span<const double> theta,
                       std::span<const std::int32_t> nvalid, std::vector<ItemReport>& items);

inline constexpr std::size_t kAbilityGroups = 10;

// The ability group of every examinee by the rule above, 0 .. groups - 1, or
// -1 for an examinee in none (no finite theta or no valid response); at
// most `wanted` groups (the option analysis asks for five).
struct AbilityGroups {
    std::vector<std::int32_t> of;
    std::vector<std::size_t> order;  // the grouped examinees by theta, group after group
    std::size_t groups = 0;
};
AbilityGroups AbilityGroupsOf(std::span<const double> theta, std::span<const std::int32_t> nvalid,
                              std::size_t wanted = kAbilityGroups);

}  // namespace tarvo::report
