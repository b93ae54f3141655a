#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "report/run_report.h"
#include "shell/results/result_table.h"

// The fit statistics of the results window, read from the run report's
// sections ("fit" with each row's members, "local_dependence",
// "model_comparison"), without widgets. NaN stands for a statistic that is
// not defined; the notes say why.
namespace tarvo::results {

struct ItemFitValues {
    double sx2, df, p, pAdjusted, infit, outfit;
    std::vector<double> groupResiduals;  // standardised, by ability group
    std::string note;
};

struct PersonFitValues {
    double lz, infit, outfit;
    std::string note;
};

// The report's fit section (null without one); the items' fit by the
// report's item rows (empty without it); one examinee's from the section's
// row j, which it has.
const ReportSection* FitSectionOf(const RunReport& report);
std::vector<ItemFitValues> ReadItemFit(const RunReport& report);
PersonFitValues PersonFitOf(const ReportSection& fit, std::size_t j);

// The Q3 pairs the report lists (every pair when it holds the matrix),
// largest first, the flagged ones marked; no rows without the section.
ResultTable BuildLocalDependenceTable(const RunReport& report);
// The sentence above the pair table: the average Q3 and the flag's bound.
std::string LocalDependenceNote(const RunReport& report);

// The model comparison, fewest parameters first, each model's test against
// the one before it; no rows without the section.
ResultTable BuildComparisonTable(const RunReport& report);

// Rounded to the decimals, blank for NaN; p values in three significant digits.
std::string FitNumber(double value, int decimals);
std::string FitProbability(double p);

}  // namespace tarvo::results
