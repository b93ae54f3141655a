#pragma once

#include "core/estimation_outcome.h"
#include "core/run_tables.h"
#include "report/run_report.h"

namespace tarvo {

// A polytomous run's statistics per item as a report section: the count and
// share of each score, the mean score, the item-rest correlation, and flags
// for an empty or rare category (fewer than 10 responses), a negative
// slope, partial-credit steps out of order (reported, not an error) and a
// threshold at its bound; Cronbach's alpha over the examinees who answered
// every item.
ReportSection PolytomousSection(const ItemTable& items, const PersonTable& persons,
                                const EstimationOutcome& outcome);

// The same section of a run of the nominal model, per item: the keyed
// option, each option's count and share, its slope and intercept with
// their errors (option 1 the reference), a (the keyed option's slope less
// the mean of the others'), and flags for an option nobody or fewer than
// 10 chose, a key less discriminating than the others' mean
// (negative_discrimination), a slope too near 0, and a distractor whose
// slope passes the key's (distractor_above_key: the ablest choose it more).
ReportSection NominalSection(const ItemTable& items, const EstimationOutcome& outcome);

// A run that calibrated several groups together as a report section: per
// group its examinees, its population (the reference's N(0, 1), the focal
// groups' estimated mean and SD with their errors and how those were
// formed), the mean raw score, Cronbach's alpha over its complete records,
// the empirical reliability of its abilities, and the histogram of its
// abilities beside the counts its fitted normal population expects; and the
// log-likelihood, -2LL, AIC and BIC of the whole model (the items'
// parameters and each focal group's mean and SD, over the examinees
// calibrated). Empty key when the run has no groups.
ReportSection GroupsSection(const PersonTable& persons, const EstimationOutcome& outcome);

}  // namespace tarvo
