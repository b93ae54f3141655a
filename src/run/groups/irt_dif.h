#pragma once

// The IRT DIF screen of a calibration of several groups: per studied item
// the likelihood-ratio test of the model with that item's parameters free
// across the groups against the model with it equal, every fit a
// calibration of the groups together on the data as read, Lord's Wald test
// of each focal group's copy against the reference group's from the
// observed information of the fit with it free, and the signed and
// unsigned areas between the reference group's and each focal group's
// expected score curves over that focal group's fitted ability
// distribution.

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "core/run_request.h"
#include "estimation/engine_settings.h"
#include "input/front_part.h"
#include "platform/run_host.h"
#include "report/run_report.h"
#include "run/groups/lords_wald.h"

namespace tarvo {

struct IrtDifRow {
    std::size_t item = 0;  // as read, 0-based
    int categories = 2;
    double minus2Equal = 0, minus2Free = 0;  // -2LL of the two compared models
    double statistic = 0;                    // G2 = 2 (LL free - LL equal)
    int df = 0;                              // the freed parameters times (groups - 1)
    double p = 0, pAdjusted = 0;
    // Per focal group (1 on; [0] unused): reference minus focal expected
    // score, averaged and its size averaged over the focal group's N(mean, SD).
    std::vector<double> signedArea, unsignedArea;
    bool flagged = false;  // adjusted p below 0.05
    std::string note;      // why it has no test
    // Per focal group (1 on; [0] unused): Lord's Wald test of the item's
    // reference copy against that group's, from the fit with it free.
    std::vector<WaldTest> wald;
};

struct IrtDifScreen {
    std::vector<std::string> labels;  // the calibrated groups, the reference first
    std::vector<std::size_t> counts;
    std::vector<std::size_t> anchors;  // as read, 0-based; empty: every other item
    std::string models;                // the two compared models in words
    std::vector<IrtDifRow> rows;
    double seconds = 0;       // the refits' wall time
    std::string problem;      // why the screen was not formed
    std::string waldProblem;  // why Lord's Wald tests were not formed
};

// The screen over the inputs as read (before any item was split), with
// the run's request (its model, quadrature, priors and group settings).
// Progress and Stop go through host.
IrtDifScreen ScreenIrtDif(const RunRequest& request, const RunInputs& asRead, RunHost& host,
                          const EngineSettings& engine);

// The screen's part of the report's dif section: one table per focal group
// (the columns of the other screens' tables), the summary's lines and the
// warnings naming flagged items.
struct IrtDifTables {
    std::vector<std::string> tables;  // JSON objects, per focal group (1 on)
    // Lord's Wald tests' tables likewise; empty where they were not formed.
    std::vector<std::string> waldTables;
    std::vector<std::string> summary;
    std::vector<std::string> warnings;
};
IrtDifTables DescribeIrtDif(const IrtDifScreen& screen, const RunInputs& asRead);

// Joins the screen's tables into the dif section's JSON (the counted
// screens' comparisons, or a section of its own when none was asked).
ReportSection IrtDifSection(const IrtDifScreen& screen, const RunInputs& asRead,
                            std::optional<ReportSection> counted);

}  // namespace tarvo
