#pragma once

#include <limits>

#include "core/estimation_outcome.h"
#include "core/run_request.h"
#include "estimation/engine_settings.h"
#include "platform/run_host.h"
#include "report/run_report.h"

namespace tarvo {

// What a run adds to its report besides its own parts: the request as a job
// file and the sections other layers compute.
struct ReportExtras {
    std::string job;  // the request as a job file (JSON text)
    std::vector<ReportSection> sections;
    // Form the summed-score table of a finished run for the report even
    // when no score table file is asked for (the results window shows it),
    // for tests whose highest raw score is at most mostRawScore: the table's
    // cost grows with the items times the square of the raw scores.
    bool summedScores = false;
    int mostRawScore = std::numeric_limits<int>::max();
};

// One whole calibration run, as "Go" or the runner starts it, in this order:
// the estimator the request asks for, the input files, the estimator's
// check of them, the result file's checks and opening, the estimation, the
// Stopped line when it was stopped, the closing of the result, the viewer,
// and last the report. Everything it needs from the user interface goes
// through host, from the calling thread only; the result file is the same
// for every thread count and does not depend on the report. When report is
// not null it is filled by the report builder, for every ending as far as
// the run got.
RunEnd RunCalibration(const RunRequest& request, RunHost& host, RunReport* report = nullptr,
                      const EngineSettings& engine = {}, const ReportExtras& extras = {});

}  // namespace tarvo
