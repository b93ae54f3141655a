#pragma once

#include <string>

#include "core/estimation_outcome.h"
#include "core/modes.h"

namespace tarvo {

// What the result of a stopped estimation holds, for every estimator in the
// same words: "the result holds the rows of 3 of 45 items.", "... the
// estimates as they stood after pass 7.", "... after EM cycle 12; the
// standard errors and the scores were not computed (-1, theta 0)." The
// path is the layout mode's, which names the rows.
std::string WhatTheResultHolds(const EstimationOutcome& outcome, RunPath path);

// A run stopped while its inputs were opened or read has no result.
inline constexpr const char* kStoppedWhileReading =
    "the run was stopped while its input files were read; no result file was written.";

}  // namespace tarvo
