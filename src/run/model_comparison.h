#pragma once

#include <string>
#include <vector>

#include "core/estimation_outcome.h"
#include "core/run_request.h"
#include "estimation/engine_settings.h"
#include "fit/model_fit.h"
#include "input/front_part.h"
#include "platform/run_host.h"
#include "report/run_report.h"

namespace tarvo {

// One model of a comparison: its -2LL, parameters, AIC and BIC when its
// estimation finished, and how the estimation ended.
struct ComparedModel {
    MarginalModel model = MarginalModel::ThreePL;
    // A polytomous run's compared model (None: a right/wrong model, above).
    PolytomousModel polytomous = PolytomousModel::None;
    bool runModel = false;  // the run's own estimation, not fitted again
    fit::ModelFit fit;
    LoopEnd end = LoopEnd::NotRun;
    int cycles = 0;
    std::string note;  // why it has no fit, or why its fit is in doubt
};

struct ModelComparison {
    // Fewest parameters first, each nested in the next; a polytomous run's
    // GRM comes last and is nested in none of the others.
    std::vector<ComparedModel> models;
    // tests[k]: models[k] against models[k + 1], by the likelihood ratio
    // (not defined, with a note, against the GRM).
    std::vector<fit::NestedComparison> tests;
};

// Fits every model of request.compareModels (or comparePolytomous) on the tables as they were read
// (asRead, before the run's estimation changed them) through the estimator
// table, writing no result. Every model is fitted by maximum likelihood,
// without priors, as the likelihood-ratio test needs, with the run's
// quadrature, cycle limit, tolerances and held items; the run's own model
// is taken from its finished estimation (runInputs, runOutcome) when no
// prior acted in it. Progress and Stop go through host; a stopped or failed
// fit costs only its own row.
ModelComparison CompareModels(const RunRequest& request, const RunInputs& asRead,
                              const RunInputs& runInputs, const EstimationOutcome& runOutcome,
                              RunHost& host, const EngineSettings& engine);

// The comparison as the report's "model_comparison" section, with its table
// as summary lines.
ReportSection ModelComparisonSection(const ModelComparison& comparison);

// The section that stands for the comparison when it could not be made.
ReportSection ModelComparisonFailedSection(const std::string& why);

}  // namespace tarvo
