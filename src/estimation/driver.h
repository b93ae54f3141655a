#pragma once

#include <cstddef>

#include "input/run_tables.h"
#include "output/result_writer.h"
#include "platform/run_host.h"

namespace tarvo {

// The estimation stage of a run: dispatches on the calibration mode into the
// theta-only path (modes 1, 7), the items-only path (2, 4, 8) or the joint
// path (3, 5, 6), shows progress, polls Stop at its check points and hands
// rows to the writer. Returns true when the user stopped the run.
bool RunEstimation(int mode, ItemTable& items, PersonTable& persons, RunHost& host,
                   ResultWriter& writer);

bool RunThetaOnly(int mode, ItemTable& items, const PersonTable& persons, RunHost& host,
                  ResultWriter& writer);
bool RunItemsOnly(int mode, ItemTable& items, const PersonTable& persons, RunHost& host,
                  ResultWriter& writer);
bool RunJoint(int mode, ItemTable& items, PersonTable& persons, RunHost& host,
              ResultWriter& writer);

// done * 100 / total rounded to the nearest whole number, halves to even.
int RoundedPercent(std::size_t done, std::size_t total);

}  // namespace tarvo
