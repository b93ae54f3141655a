#pragma once

#include <optional>
#include <string>
#include <vector>

#include "core/estimation_outcome.h"
#include "core/run_request.h"
#include "core/run_tables.h"
#include "irt/scored_item.h"
#include "report/run_report.h"

// The summed-score table of a calibration run, formed from the items the
// estimation ended with (never from the result file read back).
namespace tarvo {

// The population the table is formed for: the marginal estimator's
// quadrature moved to the population it estimated (or N(0, 1) when it held
// it), the request's score population for the classic estimator.
ScorePopulation ScorePopulationOfRun(const RunRequest& request, const EstimationOutcome& outcome);

// The run's items as the summed score counts them: right/wrong items with
// a, b and c as the table holds them; in a polytomous run the items scored
// 0..m with their thresholds, each by its own model.
std::vector<ScoredItem> ScoredItemsOfRun(const RunRequest& request, const ItemTable& items,
                                         const EstimationOutcome& outcome);

// The highest raw score of the run's items: their count, or in a
// polytomous run the sum of their highest scores.
int HighestScoreOfRun(const RunRequest& request, const ItemTable& items,
                      const EstimationOutcome& outcome);

// The table and the test curves of the run's final items, right/wrong and
// (in a polytomous run) scored 0..m; nothing, with why in problem, when an
// item's parameters are not all finite.
std::optional<SummedScoreReport> ScoreTableOfRun(const RunRequest& request, const ItemTable& items,
                                                 const EstimationOutcome& outcome,
                                                 std::string& problem);

}  // namespace tarvo
