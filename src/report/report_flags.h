#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/marginal_settings.h"
#include "report/run_report.h"

namespace tarvo::report {

// How the classic estimator's estimates are judged in a calibration mode:
// the parameters the mode estimates, the ranges of the scoring loops, at
// least 10 valid responses per item. Given or forced values are not judged:
// a given value on a bound is no sign of trouble.
EstimateJudgement ClassicJudgement(int mode);

// How the marginal estimator's are: the parameters and ranges of the model
// table; theta by the quadrature's range (EAP, MAP) or the classic
// ability bounds (ML); one valid response per item.
EstimateJudgement MarginalJudgement(const MarginalSettings& settings, double populationMean,
                                    double populationSd);

// How the polytomous estimator's items scored 0..m are: a slope of either
// sign within its own range (the PCM's common slope within the right/wrong
// items' range), every threshold within b's range, no c; theta as above.
EstimateJudgement PolytomousJudgement(const MarginalSettings& settings, double populationMean,
                                      double populationSd);

// What an item of the report was judged by: the polytomous judgement for
// an item scored 0..m, a right/wrong item's own model's judgement where an
// item-models file gave it one, the report's judgement otherwise.
const EstimateJudgement& JudgementOf(const RunReport& report, const ItemReport& item);

// True when the mode estimates the abilities (not the items-only modes).
bool EstimatesTheta(int mode);

// The flags of an item row whose estimates, standard errors, nobs, p-value
// and item-rest correlation are filled. A held item's parameters are not
// judged; an estimated parameter on a bound is flagged at the bound, and one
// that is not on a bound but has no standard error (-1) as not estimated,
// unless withoutErrors (a stopped run that never formed them).
std::uint32_t ItemFlagsOf(const ItemReport& item, const EstimateJudgement& judgement,
                          bool withoutErrors = false);

// The flags of an item scored 0..m: as above by the polytomous judgement,
// with every threshold judged beside the first (the row's b).
std::uint32_t PolytomousItemFlagsOf(const ItemReport& item, const std::vector<double>& thresholds,
                                    const EstimateJudgement& judgement, bool withoutErrors = false);

// The flags of an examinee row whose theta, raw score and nvalid are filled.
std::uint32_t PersonFlagsOf(const PersonReport& person, const EstimateJudgement& judgement);

// Short names of the set flags, in bit order ("a_at_bound", ...).
std::vector<std::string> ItemFlagNames(std::uint32_t flags);
std::vector<std::string> PersonFlagNames(std::uint32_t flags);

// Why a flag is set, as a sentence naming the judgement's numbers (the
// results window's tooltips).
std::string ItemFlagReason(std::uint32_t flag, const EstimateJudgement& judgement);
std::string PersonFlagReason(std::uint32_t flag, const EstimateJudgement& judgement);

}  // namespace tarvo::report
