#include "run/stop_line.h"

#include "report/plural.h"

namespace tarvo {

std::string WhatTheResultHolds(const EstimationOutcome& outcome, RunPath path) {
    const LoopRecord& loop = outcome.loop;
    std::string text;
    if (path != RunPath::Joint) {
        const bool items = path == RunPath::ItemsOnly;
        text = "the result holds the rows of " + std::to_string(outcome.rowsWritten) + " of " +
               report::Plural(outcome.rowsTotal, items ? "item" : "examinee",
                              items ? "items" : "examinees");
    } else if (loop.completed == 0) {
        text = loop.step == LoopStep::EmCycle
                   ? "the result holds the start values: no EM cycle was completed"
                   : "the result holds the start values: no pass was completed";
    } else {
        text = "the result holds the estimates as they stood after " +
               std::string(loop.step == LoopStep::EmCycle ? "EM cycle " : "pass ") +
               std::to_string(loop.completed);
    }
    if (!outcome.leftUndone.empty()) text += "; " + outcome.leftUndone;
    return text + ".";
}

}  // namespace tarvo
