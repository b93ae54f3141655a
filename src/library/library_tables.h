#pragma once

#include "report/run_report.h"
#include "tarvo/tarvo.hpp"

namespace tarvo::lib {

// The typed tables of a run's report: its rows, its loop and population,
// and its sections (fit, local dependence, model fit and comparison, the
// input check) read back from their JSON, whose numbers read back as the
// same doubles.
void FillTables(const RunReport& report, Result& result);

}  // namespace tarvo::lib
