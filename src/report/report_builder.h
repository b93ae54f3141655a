#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "core/estimation_outcome.h"
#include "core/run_request.h"
#include "core/run_tables.h"
#include "report/run_report.h"

namespace tarvo::report {

// Everything the report is built from: what was asked, how the run ended,
// the tables as the run left them and the estimator's outcome, each as far
// as the run got.
struct ReportSources {
    const RunRequest* request = nullptr;
    RunEnd end = RunEnd::Finished;
    std::string error;     // the message that ended the run, or why nothing was estimated
    std::string stopLine;  // a stopped run: what the result holds
    std::vector<std::string> messages;
    // The settings the inputs were read with (the item parameter file
    // cleared when it was not read), and the tables; null: not read.
    const RunSettings* inputSettings = nullptr;
    const ItemTable* items = nullptr;
    const PersonTable* persons = nullptr;
    const EstimationOutcome* outcome = nullptr;  // null: the estimation was not reached
    // A delimited file's item names from its header, item 1 first; null or
    // empty: the file gave none.
    const std::vector<std::string>* itemNames = nullptr;
    std::string arithmetic;
    unsigned threads = 0;
    double wallSeconds = 0;
    std::string program;  // "TARVO 0.93"
    std::string job;      // the request as a job file
    std::vector<ReportSection> sections;
    const SummedScoreReport* summedScores = nullptr;  // null: none formed
    const OptionAnalysis* options = nullptr;          // null: none formed
    std::vector<std::string> unwrittenFiles;
};

// The one builder of the run report: the run's own fields, the rows,
// statistics, flags (judged by the estimator's and the model's bounds) and
// warnings, and the extra sections. In the theta-only and items-only paths,
// where rows are estimated one after another, only the rows the run wrote
// have estimates: the rows after them are left out.
RunReport BuildRunReport(const ReportSources& sources);

// The path and the model of a calibration mode ("joint", "1pl", ...).
const char* PathOf(int mode);
const char* ModelOf(int mode);

// Sets what a classic mode alone tells: mode, path, model and judgement.
void DescribeRun(RunReport& report, int mode);

// Fills the rows, statistics, flags and warnings from the tables as the run
// left them; the run's own fields must be set before. Only the first
// `reached` examinees (theta-only) or items (items-only) are reported. A
// polytomous run gives each item's categories, thresholds and model (its
// EstimationOutcome's): an item of more than two categories is scored 0..m
// and judged by the report's polytomous judgement.
void CompleteRunReport(RunReport& report, const ItemTable& items, const PersonTable& persons,
                       std::size_t reached = static_cast<std::size_t>(-1),
                       const std::vector<char>& heldItems = {}, bool withoutErrors = false,
                       const std::vector<int>& categories = {},
                       const std::vector<std::vector<double>>& thresholds = {},
                       const std::vector<std::string>& models = {});

}  // namespace tarvo::report
