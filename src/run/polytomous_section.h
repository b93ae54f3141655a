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

}  // namespace tarvo
