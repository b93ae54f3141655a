#pragma once

#include "core/run_tables.h"
#include "report/run_report.h"

namespace tarvo {

// The input files as the run read them, as a section of the run report:
// under "inputs" the response file and the item parameter file (null when
// none was read), each with its name, its size in bytes and the SHA-256 of
// its bytes (both null for a pipe or when the file can no longer be read), so that a
// result can be traced to its inputs and checked against them.
ReportSection InputFilesSection(const RunSettings& settings);

}  // namespace tarvo
