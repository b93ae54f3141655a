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

}  // namespace tarvo
