#pragma once

#include <QtCharts/QChart>

#include "report/run_report.h"

// The person-item map as a chart of the results window's Plots: the
// abilities' histogram as bars to the left, the items' locations named on
// the right-hand axis (an item scored 0..m at each threshold, "12.3"), on
// one vertical axis of theta or, for the Rasch family, logits.
namespace tarvo::shell {

// scale: 1 for theta, report::kLogitsPerTheta for logits. The series are
// named "Examinees (N)" and "Items", so that a test can read them back.
QChart* MakePersonItemMapChart(const RunReport& report, double scale);

}  // namespace tarvo::shell
