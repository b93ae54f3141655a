#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "report/run_report.h"
#include "shell/results/result_table.h"

// The Groups tab's model, without widgets: the examinees' groups (the
// report's "groups" section) and, when they were calibrated together, each
// group's population with its errors, scores and reliability, the model's
// fit and each group's abilities against its fitted normal density
// ("group_calibration").
namespace tarvo::results {

bool HasGroupsSection(const RunReport& report);

// Group, Role, Examinees; calibrated together also Mean, SE mean, SD, SE SD,
// Mean score, Alpha, Reliability.
ResultTable BuildGroupTable(const RunReport& report);

// The line above the table: the model's log-likelihood, -2LL, AIC and BIC,
// or the groups' field and the examinees without a group.
std::string GroupModelLine(const RunReport& report);

// A calibrated group's abilities in bars and its fitted normal population.
struct GroupHistogram {
    std::string label;
    double mean = 0, sd = 1;
    std::vector<double> from, to, count, fitted;  // fitted: the count the population expects
    double Total() const;
};
// One per calibrated group, in the report's order; none without the
// calibration.
std::vector<GroupHistogram> GroupHistograms(const RunReport& report);

}  // namespace tarvo::results
