#pragma once

#include <optional>

#include "core/run_tables.h"
#include "estimation/estimator.h"
#include "output/result_writer.h"
#include "platform/run_host.h"

namespace tarvo {

// The classic estimator's three paths (see core/modes.h): theta-only
// (modes 1, 7), items-only (2, 4, 8) and joint (3, 5, 6). Each shows
// progress, polls Stop at its check points and hands rows to the writer.
// The tables are left holding what the run ended with: the estimated
// abilities (the theta-only path keeps those it wrote) and item parameters
// (the items-only path keeps those of the rows it wrote).
EstimationOutcome RunThetaOnly(int mode, ItemTable& items, PersonTable& persons, RunHost& host,
                               ResultWriter& writer, const Engine& engine);
EstimationOutcome RunItemsOnly(int mode, ItemTable& items, const PersonTable& persons,
                               RunHost& host, ResultWriter& writer, const Engine& engine);
// standardize: the answer to the standardise question; nothing: ask the host.
EstimationOutcome RunJoint(int mode, std::optional<bool> standardize, ItemTable& items,
                           PersonTable& persons, RunHost& host, ResultWriter& writer,
                           const Engine& engine);

}  // namespace tarvo
