#include "report/report_summary.h"

#include <cmath>
#include <cstdio>

namespace tarvo::report {

namespace {

std::string Scientific(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1e", value);
    return text;
}

std::string Fixed3(double value) {
    if (!std::isfinite(value)) return "n/a";
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", value);
    return text;
}

std::string RowsLine(const RunReport& report) {
    return std::to_string(report.examinees) + " examinees, " + std::to_string(report.items) +
           " items";
}

}  // namespace

std::string EndingLine(const RunReport& report) {
    const bool mml = report.method == "mml";
    const std::string passes = mml ? " EM cycles" : " passes";
    const std::string change = mml ? "change " : "MSError change ";
    const LoopRecord& loop = report.loop;
    switch (report.end) {
        case RunEnd::EndedAtCheck:
            return "Ended at a check: nothing was estimated.";
        case RunEnd::OutputIncomplete:
            return "The result file is incomplete: the run did not finish.";
        case RunEnd::Stopped:
            if (loop.end != LoopEnd::NotRun) {
                return "Stopped by the user during " + std::string(mml ? "EM cycle " : "pass ") +
                       std::to_string(loop.passes) +
                       "; the result holds the estimates as they stood.";
            }
            if (report.path == "items-only") {
                return "Stopped by the user after " + std::to_string(report.itemRows.size()) +
                       " of " + std::to_string(report.items) + " items.";
            }
            return "Stopped by the user after " + std::to_string(report.personRows.size()) +
                   " of " + std::to_string(report.examinees) + " examinees.";
        case RunEnd::Finished:
            break;
    }
    switch (loop.end) {
        case LoopEnd::Settled:
            return "Settled after " + std::to_string(loop.passes) + passes + " (" + change +
                   Scientific(loop.lastChange) + ").";
        case LoopEnd::PassLimit:
            return "Not settled: stopped at the pass limit of " + std::to_string(loop.passLimit) +
                   passes + ", last " + change + Scientific(loop.lastChange) + ".";
        case LoopEnd::Stopped:
        case LoopEnd::NotRun:
            break;
    }
    return "Finished: " + RowsLine(report) + " (" + report.path + " path).";
}

std::string SummaryText(const RunReport& report) {
    std::string text = EndingLine(report) + "\n";
    if (report.end == RunEnd::EndedAtCheck) return text;
    text += "Reliability: alpha (KR-20) " + Fixed3(report.alpha) + ", empirical " +
            Fixed3(report.empiricalReliability) + ".\n";
    if (report.rawScoreOrderInversions >= 0) {
        const int n = report.rawScoreOrderInversions;
        text += "Raw-score order: " + std::to_string(n) + (n == 1 ? " pair" : " pairs") +
                " of raw-score groups out of order.\n";
    }
    for (const std::string& warning : report.warnings) text += "WARNING " + warning + "\n";
    return text;
}

}  // namespace tarvo::report
