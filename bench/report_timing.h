#pragma once

#include <cstddef>

namespace tarvo::bench {

// What gathering the run report costs beside a run: the statistics, flags
// and warnings from the tables of a finished joint run, and its JSON text.
struct ReportTiming {
    double statisticsSeconds = 0;  // CompleteRunReport
    double jsonSeconds = 0;        // ReportJson
    std::size_t jsonBytes = 0;
};

ReportTiming TimeReport(std::size_t persons, std::size_t items);

}  // namespace tarvo::bench
