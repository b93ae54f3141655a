#pragma once

#include <cstddef>
#include <limits>

#include "core/run_tables.h"
#include "report/run_report.h"

namespace tarvo::report {

// The path and the model of a calibration mode ("joint", "1pl", ...).
const char* PathOf(int mode);
const char* ModelOf(int mode);

// Sets what the mode alone tells: mode, path and model.
void DescribeRun(RunReport& report, int mode);

// Sets the counts of what the run read: examinees, items, missing responses.
void CountRunInputs(RunReport& report, const PersonTable& persons);

// Fills the rows, statistics, flags and warnings from the tables as the run
// left them; the run's own fields (mode, end, loop, standardisation) must be
// set before. In the theta-only and items-only paths, where rows are
// estimated one after another, only the first `reached` examinees or items
// have estimates: the rows after them are left out.
void CompleteRunReport(RunReport& report, const ItemTable& items, const PersonTable& persons,
                       std::size_t reached = std::numeric_limits<std::size_t>::max());

}  // namespace tarvo::report
